// The send path end to end over real sockets on 127.0.0.1: the out-box of a
// real local database, a live "Local Database" client, the dispatcher, TCP
// links, the message processor and the paging-server simulator.
#include "db/connection.h"
#include "foundation/netfunctions.h"
#include "messaging/dispatcher.h"
#include "messaging/messageprocessor.h"
#include "messaging/popupwin.h"
#include "messaging/protocol.h"
#include "messaging/tcpserver.h"
#include "messagingfixture.h"
#include "platform/profilefile.h"
#include "support/writelockholder.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlQuery>
#include <QTcpServer>
#include <algorithm>
#include <optional>

namespace {
// A port on which nothing listens.
quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.serverPort();
}

QString NoListenerText(quint16 port)
{
    return QStringLiteral(
               "Error trying to connect to the Server at IP Address= 127.0.0.1, Port=%1\r\r : No listening socket at "
               "that address!!!\r\rMessages can't be sent from the OutBox.\r\r(Corresponding messages are deleted "
               "from the OutBox).")
        .arg(port);
}

QString LogonFailedText(quint16 port, const QString& reason)
{
    return QStringLiteral(
               "Error trying to connect to the Server at IP Address= 127.0.0.1, Port=%1\r\rFollowing Error message "
               "received: \"%2\"\r\rMessages can't be sent from the OutBox.\r\r(Corresponding messages are deleted "
               "from the OutBox).")
        .arg(port)
        .arg(reason);
}

// Restores the option copies a test changes.
struct TOptionGlobals {
    bool addName = AddDisplayNameToMessage;
    bool prefix = PrefixAddInEditor;
    int maxLength = MaxNumericLength;
    ~TOptionGlobals()
    {
        AddDisplayNameToMessage = addName;
        PrefixAddInEditor = prefix;
        MaxNumericLength = maxLength;
    }
};
}  // namespace

class TcpLinkTest : public MessagingTest {};

TEST_F(TcpLinkTest, ThreeContactsOnOneServerAreSentLoggedConfirmedAndDoneOnce)
{
    TOptionGlobals restore;
    AddDisplayNameToMessage = true;
    MaxNumericLength = 8;
    TSimOptions options = LoopbackSim();
    options.reportDelayMs = 150;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 ann = Contact(QStringLiteral("Ann"), carrier, QStringLiteral("021,\" TRUE \""));
    const qint32 bob = Contact(QStringLiteral("Bob"), carrier, QStringLiteral("\"Bob's pager\",false"));
    const qint32 cy = Contact(QStringLiteral("Cy"), carrier);
    Queue(QStringLiteral("Call 555-1234 [2]"), {ann, bob, cy});
    ASSERT_EQ(OutBoxRows(), 3);

    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));

    const QStringList logons = Received(sim, QStringLiteral("LOGON"));
    ASSERT_EQ(logons.size(), 1);
    EXPECT_EQ(logons[0].size(), QStringLiteral("LOGON||").size() + 38) << qPrintable(logons[0]);
    const QStringList messages = Received(sim, QStringLiteral("MESSAGE"));
    ASSERT_EQ(messages.size(), 3);
    // In queuing order; the numeric pager gets the allowed characters of the
    // prefixed text, cut to MaxNumericLength.
    EXPECT_EQ(messages[0], QStringLiteral("MESSAGE|1|6|pager.example,444|021|1555-123"));
    EXPECT_EQ(messages[1], QStringLiteral("MESSAGE|2|6|pager.example,444|Bob's pager|Contact2:Call 555-1234 [2]"));
    EXPECT_EQ(messages[2], QStringLiteral("MESSAGE|3|6|pager.example,444|555|Contact3:Call 555-1234 [2]"));

    EXPECT_EQ(OutBoxRows(), 0);
    EXPECT_EQ(OutBoxTexts(), 0);
    EXPECT_EQ(LogRows(), 3);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where ReceiveConfirmed = 1 and "
                                    "SendConfirmed = 1 and ErrorStatus = 0 and ServerRecordID is not null")),
              3);
    // One text copy serves all three log rows.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessageTexts")), 1);
    EXPECT_TRUE(NoFurther(m_sendBar, WM_SEND_DONE, 1));
    // Progress: row index in the low 16 bits, total in the high 16, one
    // batch (the send thread) in the first parameter; the first and the last
    // row always, the second only if a quarter second passed.
    QList<qint64> progress;
    QSet<qint64> batches;
    for (const TMessageProbe::TEntry& entry : m_sendBar.Entries)
        if (entry.Msg == WM_SEND_PROGRESS) {
            progress << entry.LParam;
            batches << entry.WParam;
        }
    progress.removeAll(ProgressParam(2, 3));
    EXPECT_EQ(progress, (QList<qint64>{ProgressParam(1, 3), ProgressParam(3, 3)}));
    EXPECT_EQ(batches.size(), 1);
    EXPECT_EQ(ProgressParam(2, 3), (3 << 16) | 2);
    // PopupForSuccess is off by default.
    EXPECT_EQ(m_hidden.Count(WM_SHOW_POPUP), 0);
    EXPECT_EQ(ServersList.LiveCount(), 1);
}

TEST_F(TcpLinkTest, FramesCutIntoBytesWithStrayBytesBetweenThemStillCarryTheBatch)
{
    // Every reply arrives byte by byte with stray bytes before it: the link
    // reads the frames across its reads and the batch completes.
    TSimOptions options = LoopbackSim();
    options.splitAt = 1;
    options.splitGapMs = 1;
    options.garbage = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Bytes"), {Contact(QStringLiteral("A"), carrier), Contact(QStringLiteral("B"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(1, 20000));
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1")), 2);
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 2);
    EXPECT_EQ(ServersList.LiveCount(), 1);
}

TEST_F(TcpLinkTest, NulAfterEachFrameEndsOnlyItsOwnChunk)
{
    // A NUL after every frame; the report comes in a later chunk than the
    // acknowledgement, so both are read.
    TSimOptions options = LoopbackSim();
    options.nul = true;
    options.reportDelayMs = 300;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Nul"), {Contact(QStringLiteral("A"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1")), 1);
}

TEST_F(TcpLinkTest, TwoServersProgressAtOnceOnTwoLinks)
{
    TPagingServerSim first(LoopbackSim());
    TPagingServerSim second(LoopbackSim());
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    const qint32 a = Carrier(first.Port());
    const qint32 b = Carrier(second.Port());
    Queue(QStringLiteral("Both"), {Contact(QStringLiteral("A1"), a), Contact(QStringLiteral("B1"), b),
                                   Contact(QStringLiteral("A2"), a), Contact(QStringLiteral("B2"), b)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(Received(first, QStringLiteral("MESSAGE")).size(), 2);
    EXPECT_EQ(Received(second, QStringLiteral("MESSAGE")).size(), 2);
    EXPECT_EQ(ServersList.LiveCount(), 2);
    EXPECT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(LogRows(), 4);
}

TEST_F(TcpLinkTest, LoopbackAndTheHostsOwnAddressShareOneLink)
{
    // The host's own address; where the host name resolves to loopback,
    // another loopback address stands in for it.
    QString host, localIp, error;
    if (!GetLocalHostNameAndIP(host, localIp, error) || localIp.isEmpty() || localIp == QLatin1String("127.0.0.1")) {
        localIp = QStringLiteral("127.0.0.2");
        SetLocalIpAddress(localIp);
    }
    struct TRestore {
        ~TRestore() { SetLocalIpAddress(QString()); }
    } restore;
    TSimOptions options = LoopbackSim();
    options.listenAddress = QHostAddress(QHostAddress::AnyIPv4);
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 loopback = Carrier(sim.Port());
    const qint32 own = Carrier(sim.Port(), localIp);
    Queue(QStringLiteral("Local"), {Contact(QStringLiteral("L"), loopback), Contact(QStringLiteral("O"), own)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    // Both rows went over the one connection of the one link.
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 2);
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 1);
    EXPECT_EQ(ServersList.LiveCount(), 1);
    EXPECT_TRUE(WaitForOutBoxRows(0));
}

TEST_F(TcpLinkTest, AnAddressLongerThanFifteenCharactersIsServedWhole)
{
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    // The loopback address in octal notation, 19 characters.
    Queue(QStringLiteral("Long"),
          {Contact(QStringLiteral("A"), Carrier(sim.Port(), QStringLiteral("0177.0000.0000.0001")))});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_TRUE(m_hidden.Texts(WM_SHOW_POPUP).isEmpty());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                    "IpAddress = '0177.0000.0000.'")),
              1);
}

TEST_F(TcpLinkTest, SecondSendReusesTheLiveLinkAndSendsNoRowTwice)
{
    TSimOptions options = LoopbackSim();
    options.reportDelayMs = 400;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 ann = Contact(QStringLiteral("Ann"), carrier);
    Queue(QStringLiteral("First"), {ann});
    SendOutBox();
    // The first row is accepted; its report is still on its way when the
    // second send wakes the link.
    ASSERT_TRUE(sim.WaitForSent(QStringLiteral("MESSAGE_ACCEPTED"), 1, 5000));
    ASSERT_TRUE(WaitUntil([&] { return LogRows() == 1; }));
    Queue(QStringLiteral("Second"), {ann});
    SendOutBox();
    ASSERT_TRUE(WaitUntil([&] { return OutBoxRows() == 0; }));
    ASSERT_TRUE(WaitForSendDone());
    const QStringList messages = Received(sim, QStringLiteral("MESSAGE"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].endsWith(QLatin1String("|First")));
    EXPECT_TRUE(messages[1].endsWith(QLatin1String("|Second")));
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 1);
    EXPECT_EQ(LogRows(), 2);
}

TEST_F(TcpLinkTest, LongBatchKeepsOneRowOnTheWireAndSendsEachRowOnce)
{
    // More rows than the link frames ahead, answered a little late: the next
    // row must still wait for the answer to the last.
    TSimOptions options = LoopbackSim();
    options.ackDelayMs = 2;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 ann = Contact(QStringLiteral("Ann"), carrier);
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i)
        Queue(QStringLiteral("Row %1").arg(i), {ann});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(1, 30000));
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(LogRows(), kRows);
    int sent = 0;
    int answered = 0;
    for (const TSimFrame& frame : sim.Log()) {
        if (frame.direction == TSimDirection::In && frame.Word() == QLatin1String("MESSAGE")) {
            EXPECT_EQ(answered, sent) << "row " << sent << " went out before the answer to the last";
            ++sent;
        } else if (frame.direction == TSimDirection::Out && frame.Word() == QLatin1String("MESSAGE_ACCEPTED")) {
            ++answered;
        }
    }
    EXPECT_EQ(sent, kRows);
    const QStringList messages = Received(sim, QStringLiteral("MESSAGE"));
    EXPECT_EQ(QSet<QString>(messages.begin(), messages.end()).size(), kRows);
}

TEST_F(TcpLinkTest, NoListenerReportsRemovesTheMessagesAndEnablesSend)
{
    const quint16 port = FreePort();
    TPagingServerSim other(LoopbackSim());
    ASSERT_TRUE(other.Start());
    const qint32 dead = Carrier(port);
    const qint32 live = Carrier(other.Port());
    // The message has a row for the live server too: it goes as a whole.
    Queue(QStringLiteral("Lost"), {Contact(QStringLiteral("D"), dead), Contact(QStringLiteral("L"), live)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), QStringList{NoListenerText(port)});
    EXPECT_EQ(m_hidden.Entries.value(0).LParam, pkError);
    EXPECT_EQ(OutBoxRows(), 0);
    EXPECT_EQ(OutBoxTexts(), 0);
    TNReadGuard guard(ServersList.Lock());
    EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_TCP_NO, QStringLiteral("127.0.0.1"), port, QString(), QString()),
              nullptr);
}

TEST_F(TcpLinkTest, RefusedLogonShowsTheServersReasonAndFreesTheLink)
{
    TSimOptions options = LoopbackSim();
    options.logon = TSimLogon::Deny;
    options.denyText = QStringLiteral("Bad client");
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Denied"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), QStringList{LogonFailedText(sim.Port(), QStringLiteral("Bad client"))});
    EXPECT_EQ(LastErrorText(), QStringLiteral("Bad client"));
    EXPECT_EQ(OutBoxRows(), 0);
    EXPECT_EQ(ServersList.LiveCount(), 0);
    EXPECT_TRUE(Received(sim, QStringLiteral("MESSAGE")).isEmpty());
    // Shut-down forgets it.
    StopMessaging();
    EXPECT_TRUE(LastErrorText().isEmpty());
}

TEST_F(TcpLinkTest, UnansweredLogonClosesTheConnectionTheServerKeptOpen)
{
    TSimOptions options = LoopbackSim();
    options.logon = TSimLogon::Silent;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Silence"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(1, 20000));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), QStringList{LogonFailedText(sim.Port(), QString())});
    // The client closed its side after the failed logon.
    EXPECT_TRUE(sim.WaitForClosed(1, 5000));
    EXPECT_EQ(ServersList.LiveCount(), 0);
    EXPECT_EQ(OutBoxRows(), 0);
}

TEST_F(TcpLinkTest, ServerClosingMidBatchIsToldEveryTimeLeavesTheRestQueuedAndFreesTheLink)
{
    TSimOptions options = LoopbackSim();
    options.closeAfter = 2;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 5; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    // The close races the next row on the wire (sent by the receive thread
    // or the send thread) and the freeing of the link; whichever way it goes
    // the operator is told, and only that.
    constexpr int kRounds = 10;
    QStringList told;
    for (int round = 1; round <= kRounds; ++round) {
        Queue(QStringLiteral("Round %1").arg(round), contacts);
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(round));
        ASSERT_TRUE(WaitUntil([&] { return ServersList.LiveCount() == 0 && ClosedLinksWaiting() == 0; }));
        EXPECT_EQ(LogRows(), 2 * round);
        // The rows the server never took stay queued, unacknowledged.
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is null")), 3 * round);
        // How many stay queued, and that the next Send sends them; posted
        // before Send came back.
        told << QStringLiteral(
                    "The Server at IP Address= 127.0.0.1, Port=%1 closed the connection before all messages were "
                    "sent.\r\r%2 messages stay in the OutBox; the next Send sends them.")
                    .arg(sim.Port())
                    .arg(3 * round);
        ASSERT_EQ(m_hidden.Texts(WM_SHOW_POPUP), told) << "round " << round;
    }

    // A later send connects anew and delivers them.
    ExpectNextSendDelivers(sim, options, kRounds + 1, 5 * kRounds);
}

TEST_F(TcpLinkTest, ServerClosingMidBatchPromisesTheNextSendOnlyTheRowsItCanSend)
{
    TSimOptions options = LoopbackSim();
    options.closeAfter = 2;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 gone = Contact(QStringLiteral("Gone"), carrier);
    Queue(QStringLiteral("Some cannot go"),
          {Contact(QStringLiteral("A"), carrier), Contact(QStringLiteral("B"), carrier),
           Contact(QStringLiteral("C"), carrier), gone, Contact(QStringLiteral("D"), carrier)});
    m_book->Exec(QStringLiteral("delete from Contacts where ID = :ID"), {{QStringLiteral("ID"), gone}});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_EQ(LogRows(), 2);
    // Three rows stay; the next Send can frame two of them.
    const QString closed =
        QStringLiteral(
            "The Server at IP Address= 127.0.0.1, Port=%1 closed the connection before all messages were sent.\r\r2 "
            "messages stay in the OutBox; the next Send sends them.\r\r1 more message stays in the OutBox but cannot "
            "be sent: %2.")
            .arg(sim.Port())
            .arg(TBaseServer::NoRouteText());
    EXPECT_TRUE(m_hidden.Texts(WM_SHOW_POPUP).contains(closed))
        << qPrintable(m_hidden.Texts(WM_SHOW_POPUP).join(u'\n'));

    // And so it does; the row that cannot go stays.
    ExpectNextSendDelivers(sim, options, 2, 4, 1);
}

TEST_F(TcpLinkTest, LinkDyingBeforeItsReportsCameDoesNotKeepSendDisabled)
{
    // The server accepts ten rows and closes before it reports them.
    TSimOptions options = LoopbackSim();
    options.closeAfter = 10;
    options.report = TSimReport::None;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 10; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Cut"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(1, 20000));
    ASSERT_TRUE(WaitUntil([&] { return ServersList.LiveCount() == 0 && ClosedLinksWaiting() == 0; }));
    // The accepted rows are logged and wait in the out-box for their reports.
    EXPECT_EQ(LogRows(), 10);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is not null")), 10);

    // A send with only those rows left opens no connection for them and
    // ends at once.
    options.closeAfter = 0;
    options.report = TSimReport::Sent;
    sim.SetOptions(options);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 1);

    // A new message reconnects to the server, which now reports: only the new
    // row is sent, it is confirmed, and Send comes back once per send.
    Queue(QStringLiteral("Again"), {Contact(QStringLiteral("New"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(3));
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 2);
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 11);
    ASSERT_TRUE(WaitForOutBoxRows(10));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1")), 1);
    EXPECT_TRUE(NoFurther(m_sendBar, WM_SEND_DONE, 3));
}

TEST_F(TcpLinkTest, LostReportsDoNotKeepSendDisabledAndAreAppliedWhenTheyCome)
{
    // 40 recipients; the server never reports four of them.
    TSimOptions options = LoopbackSim();
    options.unreportedIds = {5, 17, 29, 40};
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 40; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Forty"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(1, 30000));
    ASSERT_TRUE(WaitForOutBoxRows(4));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is not null and "
                                    "ID in (5, 17, 29, 40)")),
              4);
    EXPECT_EQ(LogRows(), 40);

    // The next message goes out over the same link; the four are not sent
    // again.
    Queue(QStringLiteral("Next"), {contacts[0]});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    ASSERT_TRUE(WaitForOutBoxRows(4));
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 41);

    // A report that comes late is still applied (it names the server
    // record the row was accepted as).
    TClientInputMessage late;
    late.MsgType = rkMessageSent;
    late.ClientRecordID = 17;
    late.ServerRecordID = 17;
    InMessagesList.Add(late);
    ASSERT_TRUE(WaitForOutBoxRows(3));
    EXPECT_EQ(Scalar(QStringLiteral("select SendConfirmed from SentMessages where ClientRecordID = 17")), 1);
    EXPECT_TRUE(NoFurther(m_sendBar, WM_SEND_DONE, 2));
}

TEST_F(TcpLinkTest, SecondServerFailingDuringTheFirstOnesBatchLosesNoDeliveredPage)
{
    // One message to 64 recipients on a slow server and 4 on a second one,
    // which takes one row and closes; it is gone when the next send tries it
    // again, while the first server's batch is still running.
    TSimOptions slowOptions = LoopbackSim();
    slowOptions.ackDelayMs = 25;
    TPagingServerSim slow(slowOptions);
    TSimOptions dyingOptions = LoopbackSim();
    dyingOptions.closeAfter = 1;
    auto dying = std::make_unique<TPagingServerSim>(dyingOptions);
    ASSERT_TRUE(slow.Start());
    ASSERT_TRUE(dying->Start());
    const qint32 a = Carrier(slow.Port());
    const qint32 b = Carrier(dying->Port());
    QList<qint32> contacts;
    for (int i = 0; i < 64; ++i)
        contacts << Contact(QStringLiteral("A%1").arg(i), a);
    for (int i = 0; i < 4; ++i)
        contacts << Contact(QStringLiteral("B%1").arg(i), b);
    Queue(QStringLiteral("Both"), contacts);
    SendOutBox();
    ASSERT_TRUE(dying->WaitForClosed(1, 10000));
    const quint16 dyingPort = dying->Port();
    dying.reset();
    ASSERT_TRUE(WaitUntil([&] { return ServersList.LiveCount() == 1 && ClosedLinksWaiting() == 0; }));
    ASSERT_TRUE(slow.WaitForReceived(QStringLiteral("MESSAGE"), 3, 10000));
    ASSERT_LT(Received(slow, QStringLiteral("MESSAGE")).size(), 60) << "the first batch ended too soon";
    SendOutBox();
    // The second server is gone now: its connection fails and is reported
    // (its first batch may have reported its closing too).
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Texts(WM_SHOW_POPUP).contains(NoListenerText(dyingPort)); }));
    ASSERT_TRUE(WaitUntil([&] { return SendWorkInFlight() == 0 && !SendCycleOpen(); }, 30000));

    // Every page the first server got is logged or still queued, and the
    // logged ones are all there.
    QSet<qint32> kept;
    QSqlQuery rows(LocalDb());
    ASSERT_TRUE(rows.exec(QStringLiteral("select ClientRecordID from SentMessages union select ID from OutMessages")));
    while (rows.next())
        kept << rows.value(0).toInt();
    const QStringList received = Received(slow, QStringLiteral("MESSAGE"));
    ASSERT_FALSE(received.isEmpty());
    for (const QString& line : received)
        EXPECT_TRUE(kept.contains(line.section(QLatin1Char('|'), 1, 1).toInt())) << qPrintable(line);
    ASSERT_TRUE(WaitUntil([&] {
        return Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                     "ClientRecordID <= 64")) == int(received.size());
    }));
    // What was never sent left the out-box, and the text stays only while a
    // row uses it.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is null and ID <= 64")), 0);
    EXPECT_EQ(OutBoxTexts() > 0, OutBoxRows() > 0);
}

TEST_F(TcpLinkTest, AnswersForRowsTheServerNeverGotMakeNothingCountAsDelivered)
{
    // Right after LOGON_OK the server accepts and reports rows 1 to 50,
    // though nothing was sent: the 20 rows still go out, each once, and are
    // confirmed by their own answers (server records 51 on).
    TSimOptions options = LoopbackSim();
    options.strayAnswers = 50;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 20; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Twenty"), contacts);
    ExpectStrayAnswersCountForNothing(sim, 20, 50, QStringLiteral("IP Address= 127.0.0.1, Port=%1").arg(sim.Port()));
}

TEST_F(TcpLinkTest, ReportsHeldForTheNextConnectionConfirmTheirRows)
{
    TSimOptions options = LoopbackSim();
    options.closeAfter = 2;
    options.reportDelayMs = 500;
    options.holdReports = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 5; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Five"), contacts);
    ExpectHeldReportsConfirmTheirRows(sim, options);
}

TEST_F(TcpLinkTest, StaleReportBeforeTheAcceptanceLeavesTheRealReportToConfirmTheRow)
{
    TSimOptions options = LoopbackSim();
    options.staleReports = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Stale"), {Contact(QStringLiteral("A"), carrier), Contact(QStringLiteral("B"), carrier)});
    ExpectStaleReportsChangeNothing(2, QStringLiteral("IP Address= 127.0.0.1, Port=%1").arg(sim.Port()));
}

TEST_F(TcpLinkTest, AnotherServersAnswersChangeNoRow)
{
    TSimOptions options = LoopbackSim();
    TPagingServerSim a(options);
    ASSERT_TRUE(a.Start());
    ExpectOtherServersAnswersChangeNothing(a, options, Contacts(Carrier(a.Port()), 3));
}

TEST_F(TcpLinkTest, ReportsBeforeTheirAcceptanceConfirmEveryRow)
{
    TSimOptions options = LoopbackSim();
    options.reportsFirst = true;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Early"), Contacts(Carrier(sim.Port()), 5));
    ExpectReportsBeforeTheirAcceptanceConfirmEveryRow(5);
}

TEST_F(TcpLinkTest, AcceptanceJustAfterTheBatchsEndIsNotToldAsUnanswered)
{
    TSimOptions options = LoopbackSim();
    options.ackDelayMs = kAckTimeoutMs + 500;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Late"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    ExpectAcceptanceJustAfterTheBatchTellsNothing();
}

TEST_F(TcpLinkTest, SendBarMovesWhileTheReceiveThreadSendsTheRows)
{
    // 12 rows, each answered 60 ms late, fit in one batch's queue: all but
    // the first go out from the receive thread. The bar still moves between
    // the first and the last row, position by position upwards.
    TSimOptions options = LoopbackSim();
    options.ackDelayMs = 60;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 12; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Slow"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    QList<int> positions;
    for (const TMessageProbe::TEntry& entry : m_sendBar.Entries)
        if (entry.Msg == WM_SEND_PROGRESS)
            positions << int(entry.LParam & 0xFFFF);
    ASSERT_GE(positions.size(), 3);
    EXPECT_EQ(positions.first(), 1);
    EXPECT_EQ(positions.last(), 12);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions[1], 1);
    EXPECT_LT(positions[1], 12);
}

TEST_F(TcpLinkTest, AcknowledgementAfterItsWaitLogsTheRowItNames)
{
    TSimOptions options = LoopbackSim();
    options.ackDelayMs = 3400;
    options.report = TSimReport::None;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Slow"), {Contact(QStringLiteral("A"), carrier), Contact(QStringLiteral("B"), carrier)});
    SendOutBox();
    // Both acknowledgements come late (the second after the batch ended) and
    // each is logged under its own row.
    ASSERT_TRUE(WaitUntil([&] { return LogRows() == 2; }, 20000));
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages s, OutMessages m where "
                                    "m.sentMessagesID = s.ID and s.ClientRecordID = m.ID")),
              2);
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 2);
    // Send comes back; the accepted rows wait in the out-box for their
    // reports.
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(OutBoxRows(), 2);
}

TEST_F(TcpLinkTest, ReportsThatOvertakeTheirAcknowledgementAreAppliedOnceLogged)
{
    TSimOptions options = LoopbackSim();
    options.reportDelayMs = 0;  // the report travels in the acknowledgement's write
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 25; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Fast"), contacts);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(LogRows(), 25);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1")), 25);
    ASSERT_NE(MessageProcessor, nullptr);
    EXPECT_EQ(MessageProcessor->HeldReports(), 0);
}

TEST_F(TcpLinkTest, ReportWhoseWriteFailsPastTheHoldIsAppliedOnceTheLogWorksAgain)
{
    // Reports are held for their acknowledgement only briefly here; the log's
    // confirmations fail for much longer than that.
    constexpr int kHoldMs = 200;
    MessageProcessor = new TMessageProcessor(kHoldMs);
    TSimOptions options = LoopbackSim();
    options.reportDelayMs = 100;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Held"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    QSqlQuery(LocalDb()).exec(
        QStringLiteral("create trigger Locked before update on SentMessages begin "
                       "select raise(abort, 'database is locked'); end"));
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitUntil([] { return MessageProcessor->HeldReports() == 1; }));
    QTest::qWait(3 * kHoldMs);
    EXPECT_EQ(MessageProcessor->HeldReports(), 1);
    EXPECT_EQ(OutBoxRows(), 1);
    QSqlQuery(LocalDb()).exec(QStringLiteral("drop trigger Locked"));
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(Scalar(QStringLiteral("select SendConfirmed from SentMessages")), 1);
    EXPECT_EQ(MessageProcessor->HeldReports(), 0);
}

TEST_F(TcpLinkTest, RowsRefusedOnArrivalAreLoggedAsConfirmedFailuresWithAPopup)
{
    m_options->SCGOptions().OptionByName(QStringLiteral("PopupForFailure"))->SetValue(true);
    TSimOptions options = LoopbackSim();
    options.acceptErrorIds = {2};
    options.acceptErrorCode = 5;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Mixed"), {Contact(QStringLiteral("A"), carrier), Contact(QStringLiteral("B"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(OutBoxTexts(), 0);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where ClientRecordID = 2 and ErrorStatus = 5 "
                                    "and SendConfirmed = 1 and SendTime is not null and ServerRecordID is null")),
              1);
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 1; }));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), QStringList{TMessageProcessor::SendErrorText(5)});
    EXPECT_EQ(m_hidden.Entries.last().LParam, pkError);
}

TEST_F(TcpLinkTest, RowsNeverAcknowledgedOrNotRoutableDoNotKeepSendDisabled)
{
    TSimOptions options = LoopbackSim();
    options.dropAcks = true;
    options.report = TSimReport::None;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 unroutable = Contact(QStringLiteral("Gone"), carrier);
    Queue(QStringLiteral("Unanswered"), {Contact(QStringLiteral("A"), carrier), unroutable});
    m_book->Exec(QStringLiteral("delete from Contacts where ID = :ID"), {{QStringLiteral("ID"), unroutable}});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(1, 20000));
    // Only the routable row went out; both stay queued for a later send,
    // and the operator is told which one could not go, and that the one the
    // server never answered stays for the next Send.
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 1);
    EXPECT_EQ(OutBoxRows(), 2);
    EXPECT_EQ(LogRows(), 0);
    EXPECT_EQ(m_sendBar.Count(WM_SEND_PROGRESS), 2);
    const QString unanswered = QStringLiteral(
                                   "The Server at IP Address= 127.0.0.1, Port=%1 did not answer every "
                                   "message in time.\r\r1 message stays in the OutBox; the next Send "
                                   "sends it again.")
                                   .arg(sim.Port());
    EXPECT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 2; }));
    QStringList shown = m_hidden.Texts(WM_SHOW_POPUP);
    shown.sort();
    QStringList told{TBaseServer::NotSentText(QStringLiteral("Contact%1").arg(unroutable), TBaseServer::NoRouteText()),
                     unanswered};
    told.sort();
    EXPECT_EQ(shown, told);
}

TEST_F(TcpLinkTest, UnroutableGroupMemberIsToldOnceAndByItsOwnName)
{
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 ann = Contact(QStringLiteral("Ann"), carrier);
    const qint32 bob = Contact(QStringLiteral("Bob"), carrier);
    const qint32 team = m_book->Group(QStringLiteral("Team"));
    m_book->Member(team, ann);
    m_book->Member(team, bob);
    // Queued under the group's name alone; Bob's pager data is gone by the
    // time of sending.
    TNSuperRecipient group(nkGroup, team, m_client, 160, QStringLiteral("Team"));
    ASSERT_NE(OutBox::AddOutMessage(LocalDb(), {&group}, QStringLiteral("Team meeting"), false).MessageTextID, 0);
    ASSERT_EQ(OutBoxRows(), 2);
    m_book->Exec(QStringLiteral("update Contacts set Data = '' where ID = :ID"), {{QStringLiteral("ID"), bob}});
    const QStringList told{TBaseServer::NotSentText(QStringLiteral("Team[Bob]"), TBaseServer::NoRouteText())};
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(1));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), told);
    // Later sends, the next one to someone else, leave the row queued and
    // do not tell it again.
    Queue(QStringLiteral("Ann alone"), {ann});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    ASSERT_TRUE(WaitForOutBoxRows(1));
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(3));
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 2);
    EXPECT_EQ(OutBoxRows(), 1);
    EXPECT_TRUE(NoFurther(m_hidden, WM_SHOW_POPUP, 1));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), told);
}

TEST_F(TcpLinkTest, SendWithAnEmptyOutBoxEnablesSendAgain)
{
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(ServersList.LiveCount(), 0);
}

TEST_F(TcpLinkTest, BroadcastReachesTheHiddenWindow)
{
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Hi"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_EQ(sim.Broadcast(QStringLiteral("Lunch is served")), 1);
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SERVER_MESSAGE) == 1; }));
    EXPECT_EQ(m_hidden.Texts(WM_SERVER_MESSAGE), QStringList{QStringLiteral("Lunch is served")});
    EXPECT_EQ(BroadcastText(), QStringLiteral("Lunch is served"));
}

TEST_F(TcpLinkTest, ReportsShowSuccessAndFailurePopupsAsTheOptionsSay)
{
    m_options->SCGOptions().OptionByName(QStringLiteral("PopupForSuccess"))->SetValue(true);
    m_options->SCGOptions().OptionByName(QStringLiteral("PopupForFailure"))->SetValue(true);
    TSimOptions options = LoopbackSim();
    options.reportErrorIds = {2};
    options.reportErrorCode = 5;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Pop"), {Contact(QStringLiteral("A"), carrier), Contact(QStringLiteral("B"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 2; }));
    ASSERT_TRUE(WaitForOutBoxRows(0));
    QStringList texts = m_hidden.Texts(WM_SHOW_POPUP);
    texts.sort();
    EXPECT_EQ(texts[0], QStringLiteral("Error trying to send out the message from the Server. Please resend the "
                                       "message.\r\r : The error code is E5 :\rLogonError - Logon parameters wrong"));
    EXPECT_EQ(texts[1], QStringLiteral("The message has been sent out successfully from the Server."));
    EXPECT_EQ(Scalar(QStringLiteral("select ErrorStatus from SentMessages where ClientRecordID = 2")), 5);

    // Failure popups off: the next failure shows nothing.
    m_options->SCGOptions().OptionByName(QStringLiteral("PopupForFailure"))->SetValue(false);
    m_options->SCGOptions().OptionByName(QStringLiteral("PopupForSuccess"))->SetValue(false);
    options.reportErrorIds = {3};
    sim.SetOptions(options);
    Queue(QStringLiteral("Quiet"), {Contact(QStringLiteral("C"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_TRUE(NoFurther(m_hidden, WM_SHOW_POPUP, 2));
}

TEST_F(TcpLinkTest, PopupOptionsAppliedDuringASendCountForItsLaterReports)
{
    // Success popups are off when Send is pressed and applied on while the
    // report is still due: the report is read with the new option.
    TSimOptions options = LoopbackSim();
    options.reportDelayMs = 3000;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Later"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    SendOutBox();
    ASSERT_TRUE(sim.WaitForSent(QStringLiteral("MESSAGE_ACCEPTED"), 1, 10000));
    m_options->SCGOptions().OptionByName(QStringLiteral("PopupForSuccess"))->SetValue(true);
    m_options->SCGOptions().ApplyChanges();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 1; }));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP),
              QStringList{QStringLiteral("The message has been sent out successfully from the Server.")});
}

TEST_F(TcpLinkTest, AppIdIsMadeOnceSavedAndSentWithTheLogon)
{
    const QString appId = GetAppID();
    EXPECT_EQ(appId.size(), 38);
    EXPECT_TRUE(appId.startsWith(QLatin1Char('{')) && appId.endsWith(QLatin1Char('}')));
    EXPECT_EQ(GetAppID(), appId);
    EXPECT_TRUE(TNProfileFile(m_dbs.Folder() + QStringLiteral("Settings.ini"))
                    .ReadString(QStringLiteral("Identification"), QStringLiteral("AppID"), QString())
                    .contains(appId));
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    Queue(QStringLiteral("Id"), {Contact(QStringLiteral("A"), Carrier(sim.Port()))});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")), QStringList{QStringLiteral("LOGON|%1|").arg(appId)});
}

TEST_F(TcpLinkTest, UnexpectedConnectErrorIsAFailedConnectionAndTheDispatcherGoesOn)
{
    // A link whose connection attempt raises an error no result stands for.
    class TBrokenLink : public TTcpServer {
    public:
        using TTcpServer::TTcpServer;
        TConnectResult Connect(int, int) override { throw std::runtime_error("resolver exploded"); }
    };
    struct TRestoreFactory {
        ~TRestoreFactory()
        {
            RegisterLinkFactory(SERVER_TYPE_TCP_NO, [](const QString& ip, qint32 port, const QString& localIp) {
                return static_cast<TBaseServer*>(new TTcpServer(ip, port, localIp));
            });
        }
    } restore;
    RegisterLinkFactory(SERVER_TYPE_TCP_NO, [](const QString& ip, qint32 port, const QString& localIp) {
        return static_cast<TBaseServer*>(new TBrokenLink(ip, port, localIp));
    });
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("Broken"), {Contact(QStringLiteral("A"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP),
              QStringList{LogonFailedText(sim.Port(), QStringLiteral("resolver exploded"))});
    EXPECT_EQ(OutBoxRows(), 0);

    // The dispatcher is still there for the next send.
    RegisterLinkFactory(SERVER_TYPE_TCP_NO, [](const QString& ip, qint32 port, const QString& localIp) {
        return static_cast<TBaseServer*>(new TTcpServer(ip, port, localIp));
    });
    Queue(QStringLiteral("Fine"), {Contact(QStringLiteral("B"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 1);
}

// The log refuses the acceptance as a read-only file does (a connection
// that found the file read-only stays so until it is opened again). The
// batch ends at once with one notice naming the unlogged recipient; no
// further row goes out until that acceptance is logged, which happens by
// itself once the file can be written (the operator hears so), and the next
// Send then sends the row that waited.
TEST_F(TcpLinkTest, FailedLoggingIsReportedAndNothingMoreIsSentUntilTheAcceptanceIsLogged)
{
    TSimOptions options = LoopbackSim();
    options.report = TSimReport::None;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    Queue(QStringLiteral("First"), {Contact(QStringLiteral("A"), carrier)});
    QSqlQuery(LocalDb()).exec(
        QStringLiteral("create trigger NoLog before insert on SentMessages begin "
                       "select raise(abort, 'attempt to write a readonly database'); end"));
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 1);
    EXPECT_EQ(LogRows(), 0);
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 1; }));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP).value(0),
              QStringLiteral("The sent-messages log could not be written while messages went to the Server at IP "
                             "Address= 127.0.0.1, Port=%1: LocalData2.mdb is read-only.\r\r1 message accepted by "
                             "the Server is not logged yet (\"Contact1[A]\"); it is logged as soon as the log can be "
                             "written, and not sent again.\r\rNo message stays in the OutBox.")
                  .arg(sim.Port()))
        << qPrintable(m_hidden.Texts(WM_SHOW_POPUP).value(0));

    Queue(QStringLiteral("Second"), {Contact(QStringLiteral("B"), carrier)});
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(2));
    EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), 1);
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 2; }));
    EXPECT_TRUE(m_hidden.Texts(WM_SHOW_POPUP).value(1).contains(QLatin1String("1 message stays in the OutBox")));

    QSqlQuery(LocalDb()).exec(QStringLiteral("drop trigger NoLog"));
    ASSERT_TRUE(WaitUntil([&] { return LogRows() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 3; }));
    EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP).value(2),
              QStringLiteral("The message accepted by the Server that could not be logged is in the sent-messages "
                             "log now."));
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone(3));
    ASSERT_TRUE(WaitUntil([&] { return LogRows() == 2; }));
    const QStringList messages = Received(sim, QStringLiteral("MESSAGE"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].endsWith(QLatin1String("|Second")));
    EXPECT_EQ(Received(sim, QStringLiteral("LOGON")).size(), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is null")), 0);
}

// Another program takes the write lock mid-batch: within moments no further
// page goes out, and no more than the acceptances the log may run behind
// are unlogged. Released, the batch goes on, every row is logged once and
// the operator reads one notice that says the rows were logged late. Taken
// again mid-batch and kept, shut-down still ends the wait at once; every page
// the server got is then logged or counted by the next start as possibly
// delivered.
TEST_F(TcpLinkTest, AnotherProgramsLockHoldsTheWireUntilTheLogCanBeWrittenAndIsToldOnce)
{
    TSimOptions options = LoopbackSim();
    options.ackDelayMs = 2;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    QList<qint32> contacts;
    for (int i = 0; i < 600; ++i)
        contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
    Queue(QStringLiteral("Under a lock"), contacts.mid(0, 300));
    std::optional<WriteLockHolder> other;
    const auto received = [&] { return int(Received(sim, QStringLiteral("MESSAGE")).size()); };
    const auto expectWireHeld = [&] {
        QTest::qWait(700);
        const int held = received();
        QTest::qWait(700);
        EXPECT_EQ(received(), held);
        EXPECT_LE(held - LogRows(), kMaxUnloggedAcks + 1);
        return held;
    };

    SendOutBox();
    ASSERT_TRUE(WaitUntil([&] { return received() >= 40; }));
    other.emplace(m_dbs.LocalDataPath());
    ASSERT_TRUE(other->Held());
    EXPECT_LT(expectWireHeld(), 300);
    other.reset();
    ASSERT_TRUE(WaitForSendDone());
    ASSERT_TRUE(WaitForOutBoxRows(0));
    EXPECT_EQ(received(), 300);
    EXPECT_EQ(LogRows(), 300);
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 1; }));
    const QString notice = m_hidden.Texts(WM_SHOW_POPUP).value(0);
    EXPECT_TRUE(notice.contains(QLatin1String("LocalData2.mdb is locked by another program")) &&
                notice.contains(QLatin1String("logged late")) && !notice.contains(QLatin1String("not logged yet")))
        << qPrintable(notice);

    Queue(QStringLiteral("Killed under a lock"), contacts.mid(300));
    SendOutBox();
    ASSERT_TRUE(WaitUntil([&] { return received() >= 340; }));
    other.emplace(m_dbs.LocalDataPath());
    ASSERT_TRUE(other->Held());
    const int got = expectWireHeld() - 300;
    QElapsedTimer stopping;
    stopping.start();
    StopMessaging();
    EXPECT_LT(stopping.elapsed(), 2000);
    other.reset();
    const OutBox::TNLeftInOutBox left = OutBox::LeftInOutBox(LocalDb());
    EXPECT_EQ(left.Rows, 300 - (LogRows() - 300) + left.Accepted);
    EXPECT_GE(left.MayHaveReached + LogRows() - 300, got);
    EXPECT_LE(left.MayHaveReached + LogRows() - 300, got + TNFramePipe::kDepth);
}

TEST_F(TcpLinkTest, AutomationServerWithoutALinkIsReportedAndItsMessagesLeave)
{
    // A server of the automation kind whose door is not on the bus.
    const qint32 server = m_book->Server(QStringLiteral("Automation"), SERVER_TYPE_COM_NO,
                                         CommaTextFromList({QString(), QString(), QStringLiteral("pagehost")}));
    const qint32 carrier = m_book->Carrier(QStringLiteral("Via automation"), 6, server, QStringLiteral("p,444"));
    Queue(QStringLiteral("Nowhere"), {Contact(QStringLiteral("A"), carrier)});
    ASSERT_EQ(OutBoxRows(), 1);
    SendOutBox();
    ASSERT_TRUE(WaitForSendDone());
    const QStringList popups = m_hidden.Texts(WM_SHOW_POPUP);
    ASSERT_EQ(popups.size(), 1);
    EXPECT_TRUE(popups[0].startsWith(QStringLiteral("Error trying to connect to the Server at Host = \"pagehost\"")))
        << qPrintable(popups[0]);
    EXPECT_TRUE(popups[0].contains(QStringLiteral("There doesn't seem to be TovixServer installed")));
    EXPECT_EQ(OutBoxRows(), 0);
    EXPECT_EQ(OutBoxTexts(), 0);
}
