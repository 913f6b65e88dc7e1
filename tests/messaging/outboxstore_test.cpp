// The send path's database work on a real local database: which rows a link
// sends, logging acknowledgements, applying reports, and the processor's
// holding of a report that overtook its acknowledgement.
#include "messaging/outboxstore.h"
#include "messaging/messageprocessor.h"
#include "messagingfixture.h"

namespace {
TClientInputMessage Ack(qint32 id, quint8 kind = rkMessageAccepted, qint32 serverId = 900)
{
    TClientInputMessage ack;
    ack.ClientRecordID = id;
    ack.MsgType = kind;
    ack.ServerRecordID = kind == rkMessageAccepted ? serverId : 0;
    return ack;
}

// A MESSAGE_SENT names the server record its row was accepted as.
TClientInputMessage Report(qint32 id, quint8 kind = rkMessageSent, qint32 code = 0, qint32 serverId = 900)
{
    TClientInputMessage report;
    report.ClientRecordID = id;
    report.MsgType = kind;
    report.ErrorCode = code;
    report.ServerRecordID = kind == rkMessageSent ? serverId : 0;
    return report;
}
}  // namespace

class OutBoxStoreTest : public MessagingTest {
protected:
    // Three recipients of one message on 127.0.0.1:7000, one on 10.0.0.9:7000.
    void SetUp() override
    {
        MessagingTest::SetUp();
        const qint32 local = Carrier(7000);
        const qint32 remote = Carrier(7000, QStringLiteral("10.0.0.9"));
        Queue(QStringLiteral("Text"), {Contact(QStringLiteral("A"), local), Contact(QStringLiteral("B"), local),
                                       Contact(QStringLiteral("C"), remote)});
        m_db = LocalDb();
    }

    QList<qint32> Ids(const TNOutRowFilter& filter)
    {
        QList<qint32> ids;
        for (const TNOutRow& row : LoadUnacknowledgedRows(m_db, filter))
            ids << row.ID;
        return ids;
    }

    QSqlDatabase m_db;
};

TEST_F(OutBoxStoreTest, LinkRowsAreTheUnacknowledgedOnesOfItsEndpoint)
{
    TNOutRowFilter local{SERVER_TYPE_TCP_NO, {QStringLiteral("127.0.0.1")}, 7000, QString()};
    EXPECT_EQ(Ids(local), (QList<qint32>{1, 2}));
    const QList<TNOutRow> rows = LoadUnacknowledgedRows(m_db, local);
    EXPECT_EQ(rows[0].MessageText, QStringLiteral("Text"));
    EXPECT_EQ(rows[0].DatabaseGUID, QLatin1String(kGuid));
    // A local link answers for both forms of the host's address.
    m_db.exec(QStringLiteral("update OutMessages set IpAddress = '192.168.5.5' where ID = 2"));
    EXPECT_EQ(Ids(local), QList<qint32>{1});
    local.IpAddresses << QStringLiteral("192.168.5.5");
    EXPECT_EQ(Ids(local), (QList<qint32>{1, 2}));
    // Acknowledged rows are never sent again.
    ASSERT_EQ(MoveToSent(m_db, Ack(1)), TMoveToSentResult::msLogged);
    EXPECT_EQ(Ids(local), QList<qint32>{2});
    // Another port, or the automation kind, selects nothing of these.
    EXPECT_TRUE(Ids({SERVER_TYPE_TCP_NO, {QStringLiteral("127.0.0.1")}, 7001, QString()}).isEmpty());
    EXPECT_TRUE(Ids({SERVER_TYPE_COM_NO, {}, 0, QString()}).isEmpty());
}

TEST_F(OutBoxStoreTest, ReaderServesTheRowsQueuedWhenMadeAPageAtATime)
{
    const qint32 carrier = Carrier(7000);
    QList<qint32> contacts;
    for (const char* name : {"D", "E", "F", "G"})
        contacts << Contact(QLatin1String(name), carrier);
    Queue(QStringLiteral("More"), contacts);  // rows 4 to 7
    TNOutRowReader reader(m_db, {SERVER_TYPE_TCP_NO, {QStringLiteral("127.0.0.1")}, 7000, QString()}, 2);
    EXPECT_EQ(reader.Total(), 6);
    Queue(QStringLiteral("Later"), {contacts[0]});  // row 8: the next batch's
    QList<qint32> ids;
    QStringList texts;
    TNOutRow row;
    while (reader.Next(row)) {
        ids << row.ID;
        texts << row.MessageText;
        if (row.ID == 4)  // a row that leaves meanwhile is not read
            m_db.exec(QStringLiteral("delete from OutMessages where ID = 6"));
    }
    EXPECT_EQ(ids, (QList<qint32>{1, 2, 4, 5, 7}));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Text"), QStringLiteral("Text"), QStringLiteral("More"),
                                  QStringLiteral("More"), QStringLiteral("More")}));
}

TEST_F(OutBoxStoreTest, AcknowledgementsAreLoggedAndShareOneTextCopy)
{
    ASSERT_EQ(MoveToSent(m_db, Ack(1, rkMessageAccepted, 77)), TMoveToSentResult::msLogged);
    ASSERT_EQ(MoveToSent(m_db, Ack(2, rkMessageAccepted, 78)), TMoveToSentResult::msLogged);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessageTexts")), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select ServerRecordID from SentMessages where ClientRecordID = 2")), 78);
    EXPECT_EQ(Scalar(QStringLiteral("select ErrorStatus from SentMessages where ClientRecordID = 1")), 3);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where ReceiveConfirmed = 1 and "
                                    "SendConfirmed = 0 and ReceiveTime is not null and MessageTime is not null")),
              2);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is not null")), 2);
    // An acknowledgement for a row that is gone changes nothing, and a row
    // acknowledged twice (with its report in hand the second time) keeps
    // its one log row; the report is left for the processor.
    EXPECT_EQ(MoveToSent(m_db, Ack(99)), TMoveToSentResult::msNoRow);
    EXPECT_EQ(MoveToSent(m_db, Ack(1, rkMessageAccepted, 79)), TMoveToSentResult::msNoRow);
    QList<TClientInputMessage> reports{Report(2)};
    ASSERT_TRUE(MoveAllToSent(m_db, {Ack(2)}, true, nullptr, &reports));
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(LogRows(), 2);
    EXPECT_EQ(Scalar(QStringLiteral("select ServerRecordID from SentMessages where ClientRecordID = 1")), 77);
}

TEST_F(OutBoxStoreTest, RefusedOnArrivalLeavesTheOutBoxAsAConfirmedFailure)
{
    TClientInputMessage refusal = Ack(3, rkMessageAcceptError);
    refusal.ErrorCode = 6;
    ASSERT_EQ(MoveToSent(m_db, refusal), TMoveToSentResult::msLogged);
    EXPECT_EQ(OutBoxRows(), 2);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where ClientRecordID = 3 and ErrorStatus = 6 "
                                    "and SendConfirmed = 1 and SendTime is not null")),
              1);
    // A refusal without a code still reads as a failure.
    EXPECT_EQ(RefusalStatus(Ack(1, rkMessageAcceptError)), 4);
    // The text goes with its last row.
    ASSERT_EQ(MoveToSent(m_db, Ack(1, rkMessageAcceptError)), TMoveToSentResult::msLogged);
    ASSERT_EQ(MoveToSent(m_db, Ack(2, rkMessageAcceptError)), TMoveToSentResult::msLogged);
    EXPECT_EQ(OutBoxRows(), 0);
    EXPECT_EQ(OutBoxTexts(), 0);
}

TEST_F(OutBoxStoreTest, FailedLoggingRollsBackAndLeavesTheRowQueued)
{
    m_db.exec(
        QStringLiteral("create trigger NoLog before insert on SentMessages begin "
                       "select raise(abort, 'log is full'); end"));
    QString error;
    EXPECT_EQ(MoveToSent(m_db, Ack(1), &error), TMoveToSentResult::msFailed);
    EXPECT_TRUE(error.contains(QLatin1String("log is full"))) << qPrintable(error);
    // The text copy made before the failure is gone too.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessageTexts")), 0);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessageTexts where SentMessageTextID is not null")), 0);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages where sentMessagesID is null")), 3);
    m_db.exec(QStringLiteral("drop trigger NoLog"));
    EXPECT_EQ(MoveToSent(m_db, Ack(1)), TMoveToSentResult::msLogged);
}

TEST_F(OutBoxStoreTest, AFailedEndpointsRemovalSparesRowsSentOrAccepted)
{
    // Message 1: row 1 accepted, row 2 unsent (both local), row 3 remote.
    ASSERT_EQ(MoveToSent(m_db, Ack(1)), TMoveToSentResult::msLogged);
    // Message 2: row 4 local is being sent, row 5 remote.
    const quint64 generation = RemovalGeneration();
    Queue(QStringLiteral("Two"), {Contact(QStringLiteral("D"), Carrier(7000)),
                                  Contact(QStringLiteral("E"), Carrier(7000, QStringLiteral("10.0.0.9")))});
    ASSERT_TRUE(ClaimRowForSending(m_db, 4, generation));
    // Message 3: only remote rows; it goes whole.
    Queue(QStringLiteral("Three"), {Contact(QStringLiteral("F"), Carrier(7000, QStringLiteral("10.0.0.9")))});
    DropUnsentMessagesOfEndpoint(m_db, SERVER_TYPE_TCP_NO, QStringLiteral("10.0.0.9"), 7000);
    QSqlQuery left(m_db);
    ASSERT_TRUE(
        left.exec(QStringLiteral("select group_concat(ID, ',') from (select ID from OutMessages order by ID)")));
    ASSERT_TRUE(left.next());
    EXPECT_EQ(left.value(0).toString(), QStringLiteral("1,4"));
    EXPECT_EQ(OutBoxTexts(), 2);
    // A batch that loaded its rows before the removal finds them gone, and
    // those still there claimable.
    EXPECT_FALSE(ClaimRowForSending(m_db, 2, generation));
    EXPECT_TRUE(ClaimRowForSending(m_db, 1, generation));
    EXPECT_NE(RemovalGeneration(), generation);
}

TEST_F(OutBoxStoreTest, ReportsConfirmTheLogAndEmptyTheOutBoxRowByRow)
{
    for (qint32 id : {1, 2, 3})
        ASSERT_EQ(MoveToSent(m_db, Ack(id)), TMoveToSentResult::msLogged);
    TNReportOutcome outcome = ApplyReport(m_db, Report(1), false);
    EXPECT_EQ(outcome.Result, TApplyReportResult::arApplied);
    EXPECT_FALSE(outcome.OutBoxEmpty);
    EXPECT_EQ(OutBoxTexts(), 1);
    outcome = ApplyReport(m_db, Report(2, rkMessageSendError, 5), false);
    EXPECT_EQ(Scalar(QStringLiteral("select ErrorStatus from SentMessages where ClientRecordID = 2")), 5);
    EXPECT_EQ(OutBoxTexts(), 1);  // the third row still uses it
    outcome = ApplyReport(m_db, Report(3), false);
    EXPECT_TRUE(outcome.OutBoxEmpty);
    EXPECT_EQ(OutBoxTexts(), 0);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1 and "
                                    "SendTime is not null")),
              3);
    // A report for a row that is gone changes nothing.
    EXPECT_EQ(ApplyReport(m_db, Report(3), true).Result, TApplyReportResult::arNoRow);
}

TEST_F(OutBoxStoreTest, ReportsInHandAreAppliedWithTheirAcknowledgements)
{
    // Row 1's text is not logged yet: its report is left for the processor.
    // Rows 2 and 3 leave the out-box with their acknowledgement, each with
    // its report's status, and the text goes with the last of them.
    QList<TClientInputMessage> reports{Report(1), Report(3, rkMessageSendError, 7), Report(2), Report(9)};
    QList<TNAckOutcome> outcomes;
    ASSERT_TRUE(MoveAllToSent(m_db, {Ack(1), Ack(2), Ack(3)}, true, &outcomes, &reports));
    ASSERT_EQ(outcomes.size(), 3);
    EXPECT_FALSE(outcomes[0].ReportApplied);
    EXPECT_TRUE(outcomes[1].ReportApplied);
    EXPECT_TRUE(outcomes[2].ReportApplied);
    EXPECT_EQ(outcomes[2].Report.ErrorCode, 7);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].ClientRecordID, 1);
    EXPECT_EQ(reports[1].ClientRecordID, 9);
    EXPECT_EQ(OutBoxRows(), 1);
    EXPECT_EQ(OutBoxTexts(), 1);  // row 1 still uses it
    EXPECT_EQ(Scalar(QStringLiteral("select ErrorStatus from SentMessages where ClientRecordID = 2 and "
                                    "SendConfirmed = 1 and SendTime is not null and ServerRecordID = 900")),
              0);
    EXPECT_EQ(Scalar(QStringLiteral("select ErrorStatus from SentMessages where ClientRecordID = 3 and "
                                    "SendConfirmed = 1")),
              7);
    EXPECT_EQ(Scalar(QStringLiteral("select SendConfirmed from SentMessages where ClientRecordID = 1")), 0);
    EXPECT_EQ(ApplyReport(m_db, reports[0], false).Result, TApplyReportResult::arApplied);
    EXPECT_EQ(OutBoxTexts(), 0);
    EXPECT_EQ(LogRows(), 3);
}

TEST_F(OutBoxStoreTest, ReportNamingAnotherServerRecordThanTheRowsAcceptanceChangesNothing)
{
    // Such a report is not this row's (a stale one, another client's).
    // Neither the processor's way nor the acknowledgement's log write
    // applies it.
    ASSERT_EQ(MoveToSent(m_db, Ack(1)), TMoveToSentResult::msLogged);
    EXPECT_EQ(ApplyReport(m_db, Report(1, rkMessageSent, 0, 41), true).Result, TApplyReportResult::arNoRow);
    QList<TClientInputMessage> reports{Report(2, rkMessageSent, 0, 42)};
    QList<TNAckOutcome> outcomes;
    ASSERT_TRUE(MoveAllToSent(m_db, {Ack(2)}, true, &outcomes, &reports));
    EXPECT_FALSE(outcomes.value(0).ReportApplied);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(ApplyReport(m_db, reports[0], true).Result, TApplyReportResult::arNoRow);
    EXPECT_EQ(OutBoxRows(), 3);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where SendConfirmed = 1")), 0);
    // The report that names the acceptance's record, and a failure report
    // (which names none), are applied.
    EXPECT_EQ(ApplyReport(m_db, Report(1), false).Result, TApplyReportResult::arApplied);
    EXPECT_EQ(ApplyReport(m_db, Report(2, rkMessageSendError, 5), false).Result, TApplyReportResult::arApplied);
    EXPECT_EQ(OutBoxRows(), 1);
}

TEST_F(OutBoxStoreTest, ReportForAnUnloggedRowWaitsUnlessToldToApply)
{
    EXPECT_EQ(ApplyReport(m_db, Report(1), false).Result, TApplyReportResult::arNotLogged);
    EXPECT_EQ(OutBoxRows(), 3);
    EXPECT_EQ(ApplyReport(m_db, Report(1, rkMessageSendError, 4), true).Result, TApplyReportResult::arApplied);
    EXPECT_EQ(OutBoxRows(), 2);
    // The page was reported: the log keeps it, its acknowledgement marked
    // as never received, and a late acknowledgement adds no second row.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where ClientRecordID = 1 and "
                                    "ReceiveConfirmed = 0 and SendConfirmed = 1 and ErrorStatus = 4 and "
                                    "SendTime is not null")),
              1);
    EXPECT_EQ(MoveToSent(m_db, Ack(1)), TMoveToSentResult::msNoRow);
    EXPECT_EQ(LogRows(), 1);
}

TEST_F(OutBoxStoreTest, ProcessorHoldsAReportUntilItsAcknowledgementIsLogged)
{
    TMessageProcessor processor;
    InMessagesList.Add(Report(1));
    ASSERT_TRUE(WaitUntil([&] { return processor.HeldReports() == 1; }, 5000));
    EXPECT_EQ(OutBoxRows(), 3);
    // The acknowledgement is logged: the held report is applied to it.
    ASSERT_EQ(MoveToSent(m_db, Ack(1)), TMoveToSentResult::msLogged);
    ASSERT_TRUE(WaitUntil([&] { return OutBoxRows() == 2; }, 5000));
    EXPECT_EQ(Scalar(QStringLiteral("select SendConfirmed from SentMessages where ClientRecordID = 1")), 1);
    EXPECT_EQ(processor.HeldReports(), 0);
    // A broadcast is passed on to the hidden window.
    TClientInputMessage broadcast;
    broadcast.MsgType = rkBroadcastMessage;
    broadcast.Text = QStringLiteral("Hello");
    InMessagesList.Add(broadcast);
    ASSERT_TRUE(WaitUntil([&] { return m_hidden.Count(WM_SERVER_MESSAGE) == 1; }, 5000));
    EXPECT_EQ(m_hidden.Texts(WM_SERVER_MESSAGE), QStringList{QStringLiteral("Hello")});
}
