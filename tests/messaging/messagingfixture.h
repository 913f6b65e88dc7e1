#pragma once
// The messaging tests' world: both database files in a temporary folder, the
// options module, the "Local Database" address book as a live data client,
// receivers standing in for the send bar and the hidden window, and helpers
// to fill the address book and queue messages. Every test ends with the
// engine stopped and no send work left counted.

#include "data/basedataclient.h"
#include "data/bookbuilder.h"
#include "data/dataclientclasses.h"
#include "data/outbox.h"
#include "data/recipient.h"
#include "data/regdataclients.h"
#include "data/threadconnections.h"
#include "foundation/dmoptions.h"
#include "messaging/inmessageslist.h"
#include "messaging/messagetable.h"
#include "messaging/popupwin.h"
#include "messaging/sendcycle.h"
#include "messaging/sendoutbox.h"
#include "messaging/sendsettings.h"
#include "messaging/serverslist.h"
#include "pagingserversim.h"
#include "platform/commatext.h"
#include "platform/programfolder.h"
#include "platform/windowmessages.h"
#include "support/testdatabases.h"

#include <gtest/gtest.h>
#include <QSqlQuery>
#include <QTest>
#include <memory>

// Records what a receiver window was sent.
class TMessageProbe : public QObject {
public:
    struct TEntry {
        int Msg;
        qint64 WParam;
        qint64 LParam;
        QString Text;
    };
    TNWindowHandle Handle() const { return m_window.Handle(); }
    QList<TEntry> Entries;

    int Count(int msg) const
    {
        int n = 0;
        for (const TEntry& e : Entries)
            n += e.Msg == msg ? 1 : 0;
        return n;
    }
    QStringList Texts(int msg) const
    {
        QStringList texts;
        for (const TEntry& e : Entries)
            if (e.Msg == msg)
                texts << e.Text;
        return texts;
    }

protected:
    void customEvent(QEvent* event) override
    {
        if (const TNMessageEvent* m = TNMessageEvent::From(event))
            Entries.append({m->Msg, m->WParam, m->LParam, m->Text});
    }

private:
    TNMessageWindow m_window{this};
};

inline TSimOptions LoopbackSim(TSimOptions options = TSimOptions())
{
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    return options;
}

class MessagingTest : public ::testing::Test {
protected:
    static constexpr const char* kGuid = "{11111111-2222-3333-4444-555555555555}";

    void SetUp() override
    {
        SetProgramFolder(m_dbs.Folder());
        m_options = std::make_unique<TDModOptions>();
        RegisterStandardDataClientClasses();
        m_client =
            CreateDataClient(FindDataClientClass(DATABASE_TYPE_ACCESS_LOCAL_NO), QStringLiteral("Local Database"),
                             QLatin1String(kGuid), CommaTextFromList({m_dbs.Folder()}));
        ASSERT_NE(m_client, nullptr);
        m_book = std::make_unique<TBookBuilder>(m_dbs.AddressBookPath());
        TNSendSettings settings = CurrentSendSettings();
        settings.LocalDatabasePath = m_dbs.LocalDataPath();
        PublishSendSettings(settings);
        SendBarHandle = m_sendBar.Handle();
        HiddenWindowHandle = m_hidden.Handle();
        StartMessaging();
    }

    void TearDown() override
    {
        StopMessaging();
        EXPECT_EQ(SendWorkInFlight(), 0);
        EXPECT_EQ(ServersList.LiveCount(), 0);
        TClientInputMessage leftover;
        while (InMessagesList.TakeFirst(&leftover)) {
        }
        SendBarHandle = 0;
        HiddenWindowHandle = 0;
        QCoreApplication::processEvents();
        m_book.reset();
        delete m_client;
        CloseThreadDatabase(m_dbs.LocalDataPath());
        CloseThreadDatabase(m_dbs.AddressBookPath());
        m_options.reset();
        SetProgramFolder(QString());
    }

    QSqlDatabase LocalDb() { return ThreadDatabase(m_dbs.LocalDataPath()); }

    // A TCP server row and a carrier of type CarrierTypeNo on it.
    qint32 Carrier(quint16 port, const QString& ip = QStringLiteral("127.0.0.1"), int carrierTypeNo = 6,
                   const QString& carrierData = QStringLiteral("pager.example,444"))
    {
        const qint32 server = m_book->Server(QStringLiteral("Server %1 %2").arg(ip).arg(port), SERVER_TYPE_TCP_NO,
                                             CommaTextFromList({ip, QString::number(port), QString()}));
        return m_book->Carrier(QStringLiteral("Carrier %1").arg(server), carrierTypeNo, server, carrierData);
    }
    qint32 Contact(const QString& name, qint32 carrier, const QString& data = QStringLiteral("555,false"))
    {
        return m_book->Contact(name, carrier, data);
    }

    // Count contacts C0, C1, ... on Carrier.
    QList<qint32> Contacts(qint32 carrier, int count)
    {
        QList<qint32> contacts;
        for (int i = 0; i < count; ++i)
            contacts << Contact(QStringLiteral("C%1").arg(i), carrier);
        return contacts;
    }

    // Queues Text for the contacts through the local data's out-box.
    qint32 Queue(const QString& text, const QList<qint32>& contacts)
    {
        std::vector<std::unique_ptr<TNSuperRecipient>> owned;
        TNRecipients recipients;
        for (qint32 id : contacts) {
            owned.push_back(
                std::make_unique<TNSuperRecipient>(nkContact, id, m_client, 160, QStringLiteral("Contact%1").arg(id)));
            recipients << owned.back().get();
        }
        return OutBox::AddOutMessage(LocalDb(), recipients, text, false).MessageTextID;
    }

    int Scalar(const QString& sql)
    {
        QSqlQuery query(LocalDb());
        if (!query.exec(sql) || !query.next())
            return -1;
        return query.value(0).toInt();
    }
    int OutBoxRows() { return Scalar(QStringLiteral("select count(*) from OutMessages")); }
    int OutBoxTexts() { return Scalar(QStringLiteral("select count(*) from OutMessageTexts")); }
    int LogRows() { return Scalar(QStringLiteral("select count(*) from SentMessages")); }

    // Runs the event loop until Condition holds or TimeoutMs ran out.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 15000)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }
    bool WaitForSendDone(int count = 1, int timeoutMs = 15000)
    {
        return WaitUntil([&] { return m_sendBar.Count(WM_SEND_DONE) >= count; }, timeoutMs);
    }

    // After the first Msg came (Count of them by now): no further one comes
    // within WindowMs.
    static bool NoFurther(const TMessageProbe& probe, int msg, int count, int windowMs = 300)
    {
        return !WaitUntil([&] { return probe.Count(msg) > count; }, windowMs) && probe.Count(msg) == count;
    }
    bool WaitForOutBoxRows(int rows, int timeoutMs = 15000)
    {
        return WaitUntil([&] { return OutBoxRows() == rows; }, timeoutMs);
    }

    // The server stops closing early (Options, closeAfter 0): the next Send
    // (the send cycle's number Send) delivers every row that could go, and
    // RowsLeft stay queued.
    void ExpectNextSendDelivers(TPagingServerSim& sim, TSimOptions options, int send, int logRows, int rowsLeft = 0)
    {
        options.closeAfter = 0;
        sim.SetOptions(options);
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(send));
        EXPECT_TRUE(WaitForOutBoxRows(rowsLeft));
        EXPECT_EQ(LogRows(), logRows);
    }

    static QStringList Received(const TPagingServerSim& sim, const QString& word)
    {
        QStringList lines;
        for (const TSimFrame& frame : sim.ReceivedFrames())
            if (frame.Word() == word)
                lines << frame.items.join(QLatin1Char('|'));
        return lines;
    }

    // The popups that tell answers the run ignored.
    QStringList StrayPopups() const
    {
        return m_hidden.Texts(WM_SHOW_POPUP).filter(QStringLiteral(" no message this program is waiting for"));
    }
    // The popup of Strays answers ignored from the server at Place.
    static QString StrayText(const QString& place, int strays)
    {
        return QStringLiteral(
                   "The Server at %1 sent %2 answers that match no message this program is waiting "
                   "for; they were ignored.")
            .arg(place)
            .arg(strays);
    }

    // Sends the Rows rows queued to a server (at Place) that first answers
    // client records 1 to Strays, which it never got: the rows must still go
    // out, each once, and be confirmed by their own answers alone (server
    // records Strays + 1 on, in row order). The operator hears of the
    // ignored answers (an acceptance and a report each) once, in the batch's
    // one popup, and of nothing else.
    void ExpectStrayAnswersCountForNothing(const TPagingServerSim& sim, int rows, int strays, const QString& place)
    {
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone());
        ASSERT_TRUE(WaitForOutBoxRows(0));
        EXPECT_EQ(Received(sim, QStringLiteral("MESSAGE")).size(), rows);
        EXPECT_EQ(LogRows(), rows);
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                        "ServerRecordID = ClientRecordID + %1")
                             .arg(strays)),
                  rows);
        ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 1; }));
        EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), QStringList{StrayText(place, 2 * strays)});
        EXPECT_EQ(m_hidden.Entries.last().LParam, pkError);
        StopMessaging();  // the link goes: nothing is told twice
        EXPECT_TRUE(NoFurther(m_hidden, WM_SHOW_POPUP, 1));
    }

    // Five rows queued to a server that closes the connection once it has
    // answered two, their delivery reports still due, and holds those for
    // the installation's next connection (Options: closeAfter 2, late
    // reports, holdReports). The next Send sends rows 3 to 5 on a new
    // connection, which also brings the reports of rows 1 and 2: every row
    // is confirmed and the out-box empties.
    void ExpectHeldReportsConfirmTheirRows(TPagingServerSim& sim, TSimOptions options)
    {
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone());
        ASSERT_TRUE(WaitUntil([] { return ServersList.LiveCount() == 0 && ClosedLinksWaiting() == 0; }));
        EXPECT_EQ(LogRows(), 2);
        EXPECT_EQ(OutBoxRows(), 5);
        options.closeAfter = 0;
        sim.SetOptions(options);
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(2));
        EXPECT_TRUE(WaitForOutBoxRows(0));
        // (An automation link may post row 3 before it acts on the close
        // request: the row goes again with the next Send.)
        QSet<QString> rows;
        for (const TSimFrame& frame : sim.ReceivedFrames())
            if (frame.Word() == QLatin1String("MESSAGE"))
                rows.insert(frame.items.value(1));
        EXPECT_EQ(rows, (QSet<QString>{"1", "2", "3", "4", "5"}));
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                        "ErrorStatus = 0")),
                  5);
        // Row 1's report came on another connection than the row.
        int sentOn = 0;
        int reportedOn = 0;
        for (const TSimFrame& frame : sim.ReceivedFrames())
            if (frame.Word() == QLatin1String("MESSAGE") && frame.items.value(1) == QLatin1String("1"))
                sentOn = frame.connection;
        for (const TSimFrame& frame : sim.SentFrames())
            if (frame.Word() == QLatin1String("MESSAGE_SENT") && frame.items.value(1).startsWith(QLatin1String("1,")))
                reportedOn = frame.connection;
        EXPECT_NE(sentOn, 0);
        EXPECT_GT(reportedOn, sentOn);
        // The held reports were awaited: none is told as ignored.
        EXPECT_TRUE(StrayPopups().isEmpty()) << qPrintable(StrayPopups().join(u'\n'));
    }

    // The server (at Place) sends a stale MESSAGE_SENT naming another server
    // record before each acceptance (Options: staleReports): it changes
    // nothing, and the real report after the acceptance confirms the row.
    // The batch's one popup says the stale reports were ignored.
    void ExpectStaleReportsChangeNothing(int rows, const QString& place)
    {
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone());
        EXPECT_TRUE(WaitForOutBoxRows(0));
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                        "ErrorStatus = 0 and ServerRecordID < %1")
                             .arg(kStaleServerIdOffset)),
                  rows);
        ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SHOW_POPUP) == 1; }));
        EXPECT_EQ(m_hidden.Texts(WM_SHOW_POPUP), QStringList{StrayText(place, rows)});
    }

    // Two servers numbering their records alike. A's three rows (queued
    // first: client records 1 to 3) go out and stay as A leaves them: rows 1
    // and 3 accepted (server records 1 and 3) and never reported, row 2
    // never answered (its wait runs out, and it is on the wire again with
    // the next Send). The next Send also goes to B (a TCP server with stray
    // answers and failures for client records 1 to 3): right after
    // its logon B accepts, reports, refuses and fails records 1 to 3 under
    // server records 1 to 3. None of that changes A's rows; B's own row is
    // confirmed, and B's popup counts the 12 answers it ignored.
    void ExpectOtherServersAnswersChangeNothing(TPagingServerSim& a, TSimOptions aOptions, const QList<qint32>& aRows)
    {
        TSimOptions bOptions = LoopbackSim();
        bOptions.strayAnswers = 3;
        bOptions.strayFailures = 3;
        TPagingServerSim b(bOptions);
        ASSERT_TRUE(b.Start());
        const qint32 bRow = Contact(QStringLiteral("Dan"), Carrier(b.Port()));
        const QString bPlace = QStringLiteral("IP Address= 127.0.0.1, Port=%1").arg(b.Port());
        aOptions.report = TSimReport::None;
        aOptions.dropAckIds = {2};
        a.SetOptions(aOptions);
        Queue(QStringLiteral("To A"), aRows);
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(1, 20000));
        ASSERT_TRUE(WaitUntil([&] { return LogRows() == 2; }));
        Queue(QStringLiteral("To B"), {bRow});
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(2, 20000));
        ASSERT_TRUE(WaitForOutBoxRows(3));
        EXPECT_EQ(Received(a, QStringLiteral("MESSAGE")).size(), 4);  // row 2 twice
        // A's rows: 1 and 3 accepted as A's records, neither confirmed nor
        // failed; 2 not logged.
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where ClientRecordID in (1, 3) and "
                                        "ServerRecordID = ClientRecordID and SendConfirmed = 0 and ErrorStatus = %1")
                             .arg(int(rkMessageAccepted))),
                  2);
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where ID in (1, 2, 3) and "
                                        "(sentMessagesID is null) = (ID = 2)")),
                  3);
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                        "ErrorStatus = 0 and ClientRecordID = 4 and ServerRecordID = 4")),
                  1);
        EXPECT_EQ(LogRows(), 3);
        ASSERT_TRUE(WaitUntil([&] { return !StrayPopups().isEmpty(); }));
        StopMessaging();  // every link goes: each tells what it still had
        EXPECT_EQ(StrayPopups(), QStringList{StrayText(bPlace, 12)});
        // Else only A's row 2 may be told, as unanswered.
        for (const QString& text : m_hidden.Texts(WM_SHOW_POPUP))
            EXPECT_TRUE(StrayPopups().contains(text) || text.contains(QStringLiteral("did not answer every message")))
                << qPrintable(text);
    }

    // The rows' delivery reports come just before their acceptances
    // (Options: reportsFirst): each waits for its acceptance and confirms
    // its row; nothing is told as ignored.
    void ExpectReportsBeforeTheirAcceptanceConfirmEveryRow(int rows)
    {
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone());
        EXPECT_TRUE(WaitForOutBoxRows(0));
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                        "ErrorStatus = 0 and ServerRecordID = ClientRecordID")),
                  rows);
        EXPECT_TRUE(NoFurther(m_hidden, WM_SHOW_POPUP, 0));
    }

    // One row whose acceptance (with its report) comes AckDelayMs late,
    // past its wait: the batch ends first, the answer just after. Once it
    // could no longer come in time, nothing is told: the row is confirmed
    // and gone.
    void ExpectAcceptanceJustAfterTheBatchTellsNothing()
    {
        SendOutBox();
        ASSERT_TRUE(WaitForSendDone(1, 20000));
        EXPECT_TRUE(WaitForOutBoxRows(0));
        EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                        "ErrorStatus = 0")),
                  1);
        EXPECT_TRUE(NoFurther(m_hidden, WM_SHOW_POPUP, 0, 3500));
    }

    TestDatabases m_dbs;
    std::unique_ptr<TDModOptions> m_options;
    TBaseDataClient* m_client = nullptr;
    std::unique_ptr<TBookBuilder> m_book;
    TMessageProbe m_sendBar;
    TMessageProbe m_hidden;
};
