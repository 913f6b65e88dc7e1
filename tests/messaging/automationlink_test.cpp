// The automation link over D-Bus: a session bus of this program's own (the
// simulator's door activatable on it), the simulator's automation door in
// this process under a name that is not activatable, a real local database
// and the whole send path.
#include "messaging/comserver.h"
#include "messaging/dispatcher.h"
#include "messaging/formhidden.h"
#include "messaging/popupwin.h"
#include "messaging/protocol.h"
#include "messagingfixture.h"
#include "platform/codepage.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <csignal>

namespace {
// The in-process door's name: no service file names it, so once it is
// gone a call to it fails instead of starting the simulator program.
QString TestBusName()
{
    return QStringLiteral("org.tovix.PagingServer.Test");
}

TSimOptions AutomationSim(TSimOptions options = TSimOptions())
{
    options.tcpDoor = false;
    options.automationDoor = true;
    options.busName = TestBusName();
    return options;
}

bool NameHasOwner(const QString& name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}
}  // namespace

class AutomationLinkTest : public MessagingTest {
protected:
    void SetUp() override
    {
        MessagingTest::SetUp();
        RegisterLinkFactory(SERVER_TYPE_COM_NO, [](const QString& host, qint32, const QString&) -> TBaseServer* {
            return new TComServer(host, TestBusName());
        });
    }
    void TearDown() override
    {
        MessagingTest::TearDown();
        RegisterLinkFactory(SERVER_TYPE_COM_NO, [](const QString& host, qint32, const QString&) -> TBaseServer* {
            return new TComServer(host);
        });
    }

    // A type-2 server for Host, a carrier on it and Count contacts.
    QList<qint32> ComContacts(const QString& host, int count)
    {
        const qint32 server = m_book->Server(QStringLiteral("Automation %1").arg(host), SERVER_TYPE_COM_NO,
                                             CommaTextFromList({QString(), QStringLiteral("0"), host}));
        const qint32 carrier = m_book->Carrier(QStringLiteral("Via %1").arg(host), 6, server, QStringLiteral("p,444"));
        QList<qint32> contacts;
        for (int i = 0; i < count; ++i)
            contacts << Contact(QStringLiteral("%1-%2").arg(host).arg(i), carrier);
        return contacts;
    }

    // A link connected as the dispatcher connects it.
    static std::unique_ptr<TComServer> Connected(TConnectResult* result, const QString& host = QStringLiteral("pc1"))
    {
        auto link = std::make_unique<TComServer>(host, TestBusName());
        link->SetTesting(true);
        *result = link->SafeConnect(kLogonTimeoutMs);
        return link;
    }

    // The real hidden window acts on close requests (the probe only
    // records them).
    void UseHiddenWindow() { HiddenWindowHandle = m_formHidden.Handle(); }

    TFormHidden m_formHidden;
};

TEST_F(AutomationLinkTest, StoppedEngineIsStartedAndConnectReturnsOnlyOnceItRuns)
{
    TSimOptions options = AutomationSim();
    options.engine = TSimEngine::Stopped;
    options.engineStartDelayMs = 300;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    ASSERT_FALSE(sim.EngineRunning());
    TConnectResult result;
    auto link = Connected(&result);
    EXPECT_EQ(result, crConnected) << qPrintable(link->ErrorText());
    EXPECT_TRUE(sim.EngineRunning());
    EXPECT_TRUE(link->LoggedOn());
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 1);
}

TEST_F(AutomationLinkTest, EngineThatNeverRunsGivesResultFiveAfterTheLimit)
{
    TSimOptions options = AutomationSim();
    options.engine = TSimEngine::Never;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    TComServer link(QStringLiteral("pc1"), TestBusName());
    link.SetStartLimit(2500);
    EXPECT_EQ(link.SafeConnect(kLogonTimeoutMs), crAutomationError);
    EXPECT_TRUE(link.ErrorText().contains(QStringLiteral("did not report running within 2500 ms")))
        << qPrintable(link.ErrorText());
    EXPECT_FALSE(link.TovixServer().Connected());
    EXPECT_TRUE(Received(sim, QStringLiteral("LOGON")).isEmpty());
}

TEST_F(AutomationLinkTest, ShutDownCutsShortAConnectionWaitingForTheEngine)
{
    TSimOptions options = AutomationSim();
    options.engine = TSimEngine::Never;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Stuck"), ComContacts(QStringLiteral("pagehost"), 1));
    SendOutBox();
    ASSERT_TRUE(WaitUntil([&] { return sim.EngineStartRequests() == 1; }));
    // The dispatcher waits up to 10 s for the engine; asked to stop, it
    // gives up well within the stop's bound.
    ASSERT_NE(ActivateSendThread, nullptr);
    EXPECT_TRUE(ActivateSendThread->Stop(5000));
}

TEST_F(AutomationLinkTest, NameNobodyOwnsAndNoServiceFileNamesIsNotInstalled)
{
    TComServer link(QStringLiteral("pc1"), QStringLiteral("org.tovix.PagingServer.Absent"));
    EXPECT_EQ(link.SafeConnect(kLogonTimeoutMs), crNotInstalled);
    EXPECT_EQ(ConnectFailureText(crNotInstalled, link, link.ErrorText()),
              QStringLiteral("Error trying to connect to the Server at Host = \"pc1\"\r\r : There doesn't seem to be "
                             "TovixServer installed on that workstation!!!\r\rMessages can't be sent from the "
                             "OutBox.\r\r(Corresponding messages are deleted from the OutBox)."));
}

TEST_F(AutomationLinkTest, ActivatableNameIsStartedByTheBus)
{
    ASSERT_FALSE(NameHasOwner(AutomationServiceName()));
    {
        TComServer link(QStringLiteral("pc1"));
        EXPECT_EQ(link.SafeConnect(kLogonTimeoutMs), crConnected) << qPrintable(link.ErrorText());
    }
    // The simulator program the bus started: end it, so the name is free.
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(AutomationServiceName());
    ASSERT_TRUE(pid.isValid());
    ::kill(pid_t(pid.value()), SIGTERM);
    EXPECT_TRUE(WaitUntil([] { return !NameHasOwner(AutomationServiceName()); }));
}

TEST_F(AutomationLinkTest, RefusedLogonGivesFiveWithTheReasonAndItsCloseRequestIsIgnoredWhileTesting)
{
    TSimOptions options = AutomationSim();
    options.logon = TSimLogon::Deny;
    options.denyText = QStringLiteral("Unknown client");
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    TConnectResult result;
    auto link = Connected(&result);
    EXPECT_EQ(result, crAutomationError);
    EXPECT_EQ(link->ErrorText(), QStringLiteral("Unknown client"));
    ASSERT_TRUE(sim.WaitForClosed(1, 5000));

    // The server is done with this connection and refuses what it is sent.
    // Events arrive in order: once the refusal is in and the events before
    // it are handled, the close request has been too, and it was ignored.
    EXPECT_THROW(link->TovixServer().PostClientMessage(FromCodePage(FrameLine(LogonLine(QStringLiteral("{X}"))))),
                 EAutomationError);
    link->TovixServer().FlushEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_hidden.Count(WM_CLOSE_CONNECTION_REQUEST), 0);
    EXPECT_FALSE(link->LoggedOn());
}

TEST_F(AutomationLinkTest, OneEventWithLogonOkAndABroadcastHandlesBoth)
{
    TSimOptions options = AutomationSim();
    options.joinFrames = true;
    options.logonBroadcast = QStringLiteral("Welcome");
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    TConnectResult result;
    auto link = Connected(&result);
    EXPECT_EQ(result, crConnected);
    ASSERT_TRUE(WaitUntil([] { return InMessagesList.PendingCount() == 1; }));
    TClientInputMessage broadcast;
    ASSERT_TRUE(InMessagesList.TakeFirst(&broadcast));
    EXPECT_EQ(broadcast.MsgType, rkBroadcastMessage);
    EXPECT_EQ(broadcast.Text, QStringLiteral("Welcome"));
}

TEST_F(AutomationLinkTest, RowsAreSentThroughTheDoorAndAcrossBothKindsInOneSend)
{
    TPagingServerSim door(AutomationSim());
    ASSERT_TRUE(door.Start());
    TPagingServerSim tcp(LoopbackSim());
    ASSERT_TRUE(tcp.Start());
    QList<qint32> contacts = ComContacts(QStringLiteral("pagehost"), 3);
    contacts << Contact(QStringLiteral("Tcp"), Carrier(tcp.Port()));
    Queue(QStringLiteral("Both ways"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(Received(door, QStringLiteral("LOGON")).size(), 1);
    EXPECT_EQ(Received(door, QStringLiteral("MESSAGE")).size(), 3);
    EXPECT_EQ(Received(tcp, QStringLiteral("MESSAGE")).size(), 1);
    EXPECT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(OutBoxTexts(), 0);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed <> 0 and ErrorStatus = 0 "
                                    "and ServerTypeNo = 2 and HostName = 'pagehost'")),
              3);
    EXPECT_EQ(LogRows(), 4);
    // One WM_SEND_DONE, and no second one within a bounded window.
    EXPECT_FALSE(WaitForSendDone(2, 500));
}

TEST_F(AutomationLinkTest, AnswersForRowsTheServerNeverGotMakeNothingCountAsDelivered)
{
    // The logon's event also accepts and reports rows 1 to 50, none of
    // them sent: each of the 20 rows still goes out once and is confirmed by
    // its own answers (server records 51 on).
    TSimOptions options = AutomationSim();
    options.strayAnswers = 50;
    options.joinFrames = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Twenty"), ComContacts(QStringLiteral("pagehost"), 20));
    ExpectStrayAnswersCountForNothing(sim, 20, 50, QStringLiteral("Host = \"pagehost\""));
}

TEST_F(AutomationLinkTest, EventEndingInsideAFrameHandlesTheFramesBeforeIt)
{
    // The second event carries MESSAGE_ACCEPTED and half of MESSAGE_SENT.
    TSimOptions options = AutomationSim();
    options.joinFrames = true;
    options.eventSplit = 2;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Half"), ComContacts(QStringLiteral("pagehost"), 1));
    SendOutBox();
    ASSERT_TRUE(WaitUntil([&] { return LogRows() == 1; }));
    ASSERT_TRUE(sim.WaitForSent(QStringLiteral("MESSAGE_SENT"), 1, 5000));
    // The report was cut and lost: the row is logged, unconfirmed, queued.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed <> 0")), 0);
    EXPECT_EQ(OutBoxRows(), 1);
}

TEST_F(AutomationLinkTest, CloseRequestOfAnIdleLinkFreesItAndTheNextSendConnectsAnew)
{
    UseHiddenWindow();
    TPagingServerSim sim(AutomationSim());
    ASSERT_TRUE(sim.Start());
    const QList<qint32> contacts = ComContacts(QStringLiteral("pagehost"), 1);
    Queue(QStringLiteral("One"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    ASSERT_EQ(ServersList.LiveCount(), 1);
    sim.CloseConnections();
    ASSERT_TRUE(WaitUntil([] { return ServersList.LiveCount() == 0; }));
    Queue(QStringLiteral("Two"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 2);
    EXPECT_TRUE(WaitForOutBoxRows(0));
}

TEST_F(AutomationLinkTest, CloseRequestInTheMiddleOfABatchIsToldEveryTimeAndKeepsTheRestQueued)
{
    UseHiddenWindow();
    struct TClosePopups {
        ~TClosePopups() { FreeAllPopupWins(); }
    } closePopups;
    TSimOptions options = AutomationSim();
    options.closeAfter = 2;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const QList<qint32> contacts = ComContacts(QStringLiteral("pagehost"), 5);
    // The request races the send thread's next row and the main thread's
    // closing of the link; whichever way it goes, the operator is told.
    constexpr int kRounds = 10;
    for (int round = 1; round <= kRounds; ++round) {
        Queue(QStringLiteral("Round %1").arg(round), contacts);
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(round));
        ASSERT_TRUE(WaitUntil([] { return ServersList.LiveCount() == 0 && ClosedLinksWaiting() == 0; }));
        // Two more rows logged each round; the rest stay queued, unacknowledged.
        EXPECT_EQ(LogRows(), 2 * round);
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is null")), 3 * round);
        // Posted before Send came back: it is on the screen by now.
        QStringList shown;
        for (const TPopupWin* popup : OpenPopupWins())
            shown << popup->Text();
        ASSERT_EQ(shown.size(), round) << qPrintable(shown.join(u'\n'));
        EXPECT_EQ(shown.last(), QStringLiteral("The Server at Host = \"pagehost\" closed the connection before all "
                                               "messages were sent.\r\r%1 messages stay in the OutBox; the next Send "
                                               "sends them.")
                                    .arg(3 * round))
            << "round " << round;
    }

    ExpectNextSendDelivers(sim, options, kRounds + 1, 5 * kRounds);
}

TEST_F(AutomationLinkTest, ReportsHeldForTheNextConnectionConfirmTheirRows)
{
    // After the close request the link may still post row 3; its answer is
    // late enough to find the link gone (the row goes with the next Send).
    UseHiddenWindow();
    TSimOptions options = AutomationSim();
    options.closeAfter = 2;
    options.ackDelayMs = 300;
    options.reportDelayMs = 500;
    options.holdReports = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Five"), ComContacts(QStringLiteral("pagehost"), 5));
    ExpectHeldReportsConfirmTheirRows(sim, options);
}

TEST_F(AutomationLinkTest, StaleReportBeforeTheAcceptanceLeavesTheRealReportToConfirmTheRow)
{
    TSimOptions options = AutomationSim();
    options.staleReports = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Stale"), ComContacts(QStringLiteral("pagehost"), 2));
    ExpectStaleReportsChangeNothing(2, QStringLiteral("Host = \"pagehost\""));
}

TEST_F(AutomationLinkTest, AnotherServersAnswersChangeNoRow)
{
    // A on the automation link, B on TCP.
    TSimOptions options = AutomationSim();
    TPagingServerSim a(options);
    ASSERT_TRUE(a.Start());
    ExpectOtherServersAnswersChangeNothing(a, options, ComContacts(QStringLiteral("pagehost"), 3));
}

TEST_F(AutomationLinkTest, ReportsBeforeTheirAcceptanceConfirmEveryRow)
{
    TSimOptions options = AutomationSim();
    options.reportsFirst = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Early"), ComContacts(QStringLiteral("pagehost"), 5));
    ExpectReportsBeforeTheirAcceptanceConfirmEveryRow(5);
}

TEST_F(AutomationLinkTest, AcceptanceJustAfterTheBatchsEndIsNotToldAsUnanswered)
{
    TSimOptions options = AutomationSim();
    options.ackDelayMs = kAckTimeoutMs + 500;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Late"), ComContacts(QStringLiteral("pagehost"), 1));
    ExpectAcceptanceJustAfterTheBatchTellsNothing();
}

TEST_F(AutomationLinkTest, LinkWhoseServerEndedUnlistsItselfSoTheNextSendConnectsAnew)
{
    auto sim = std::make_unique<TPagingServerSim>(AutomationSim());
    ASSERT_TRUE(sim->Start());
    const QList<qint32> contacts = ComContacts(QStringLiteral("pagehost"), 1);
    Queue(QStringLiteral("One"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    ASSERT_EQ(ServersList.LiveCount(), 1);

    // The server goes without a word: the link's send thread ends and the
    // link leaves the list (it would otherwise be found and woken idle).
    sim.reset();
    ASSERT_TRUE(WaitUntil([] { return ServersList.LiveCount() == 0 && ClosedLinksWaiting() == 0; }));

    TPagingServerSim back(AutomationSim());
    ASSERT_TRUE(back.Start());
    Queue(QStringLiteral("Two"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    EXPECT_EQ(Received(back, QStringLiteral("LOGON")).size(), 1);
    EXPECT_EQ(Received(back, QStringLiteral("MESSAGE")).size(), 1);
    EXPECT_TRUE(WaitForOutBoxRows(0));
}

TEST_F(AutomationLinkTest, CloseRequestActsOnlyOnTheListedLinkItWasMadeFor)
{
    TPagingServerSim sim(AutomationSim());
    ASSERT_TRUE(sim.Start());
    TConnectResult result;
    auto owned = Connected(&result);
    ASSERT_EQ(result, crConnected);
    TComServer* link = owned.release();
    ASSERT_TRUE(ServersList.AddConnected(link));
    link->SetTesting(false);
    UseHiddenWindow();
    // A request naming the address with another link's serial is stale.
    PostMessage(m_formHidden.Handle(), WM_CLOSE_CONNECTION_REQUEST, qint64(quintptr(link)), qint64(link->Serial() + 1));
    QCoreApplication::processEvents();
    EXPECT_EQ(ServersList.LiveCount(), 1);
    // Two requests for the link: the first frees it, the second finds it
    // gone and touches nothing (the sanitizer build checks).
    PostCloseConnectionRequest(*link);
    PostCloseConnectionRequest(*link);
    QCoreApplication::processEvents();
    EXPECT_EQ(ServersList.LiveCount(), 0);
    ASSERT_TRUE(sim.WaitForClosed(1, 5000));
}

TEST_F(AutomationLinkTest, DestroyingALinkWhoseSendThreadRunsStopsAndFreesIt)
{
    TPagingServerSim sim(AutomationSim());
    ASSERT_TRUE(sim.Start());
    TConnectResult result;
    auto link = Connected(&result);
    ASSERT_EQ(result, crConnected);
    link->RequestBatch();
    link.reset();
    // The link left the bus with its connection: the server saw it go.
    EXPECT_TRUE(sim.WaitForClosed(1, 5000));
    EXPECT_EQ(SendWorkInFlight(), 0);
}
