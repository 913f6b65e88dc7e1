// A link's reading of the server's replies: malformed frames are skipped and
// the frames after them still act; acknowledgements that arrive together
// each reach their own row.
#include "messaging/baseserver.h"
#include "messaging/inmessageslist.h"
#include "messaging/protocol.h"
#include "messagingfixture.h"

#include <gtest/gtest.h>

namespace {
// A link without a transport, to the TCP server at 127.0.0.1:Port: only its
// reply handling is used.
class TReplyOnlyLink : public TBaseServer {
public:
    explicit TReplyOnlyLink(qint32 port = 0) : m_port(port) {}
    ~TReplyOnlyLink() override { BeginDestroy(); }
    using TBaseServer::RowPutOnWire;
    qint32 ServerTypeNo() const override { return 1; }
    TConnectResult Connect(int, int) override { return crConnected; }
    void SendText(const QByteArray&) override {}
    TConnectResult UnmappedErrorResult() const override { return crLogonFailed; }
    TNOutRowFilter OutRowFilter() const override
    {
        TNOutRowFilter filter;
        filter.ServerTypeNo = 1;
        filter.IpAddresses << QStringLiteral("127.0.0.1");
        filter.PortNo = m_port;
        return filter;
    }

private:
    qint32 m_port;
};

void Feed(TBaseServer& link, TFrameCutter& cutter, const QString& line)
{
    cutter.Append(FrameLine(line));
    link.HandleServerReply(cutter);
}

// Also forgets the rows earlier tests put on the wire.
void EmptyInMessages()
{
    TClientInputMessage leftover;
    while (InMessagesList.TakeFirst(&leftover)) {
    }
    RunSentRows().Clear();
}
}  // namespace

TEST(LinkRepliesTest, MalformedRepliesAreSkippedAndTheLinkKeepsReading)
{
    EmptyInMessages();
    TReplyOnlyLink link;
    TFrameCutter cutter;
    // Each of these lacks an item its kind reads, holds a number that is no
    // number, or holds nothing at all.
    for (const QString& line :
         {QString(), QStringLiteral("   "), QStringLiteral("MESSAGE_ACCEPTED"),
          QStringLiteral("MESSAGE_ACCEPTED,\"12\""), QStringLiteral("MESSAGE_ACCEPTED,\"x,345\""),
          QStringLiteral("MESSAGE_SENT,\"12,abc\""), QStringLiteral("MESSAGE_SEND_ERROR,\"12,5\""),
          QStringLiteral("LOGON_DENIED,five,Bad"), QStringLiteral("BROADCAST_MESSAGE")})
        Feed(link, cutter, line);
    EXPECT_FALSE(link.LastAck(nullptr));
    EXPECT_EQ(InMessagesList.PendingCount(), 0);
    EXPECT_TRUE(link.ErrorText().isEmpty());
    EXPECT_FALSE(link.LoggedOn());

    // The well-formed frames after them are all acted upon.
    link.RowPutOnWire(12);
    Feed(link, cutter, LogonOkLine());
    EXPECT_TRUE(link.LoggedOn());
    Feed(link, cutter, MessageAcceptedLine(12, 345));
    TClientInputMessage ack;
    ASSERT_TRUE(link.LastAck(&ack));
    EXPECT_EQ(ack.ClientRecordID, 12);
    EXPECT_EQ(ack.ServerRecordID, 345);
    Feed(link, cutter, MessageSendErrorLine(12, 5, QStringLiteral("Logon")));
    TClientInputMessage report;
    ASSERT_TRUE(InMessagesList.TakeFirst(&report));
    EXPECT_EQ(report.MsgType, rkMessageSendError);
    EXPECT_EQ(report.ErrorCode, 5);
    EXPECT_TRUE(cutter.Pending().isEmpty());
    EmptyInMessages();
}

TEST(LinkRepliesTest, OnlyTheFirstAnswersToRowsTheRunSentAreTaken)
{
    EmptyInMessages();
    TReplyOnlyLink link;
    TFrameCutter cutter;
    const auto acks = [&link] { return int(link.TakeAcks().size()); };
    // Nothing sent yet: an acceptance and a report are the server's mistake.
    Feed(link, cutter, MessageAcceptedLine(3, 301));
    Feed(link, cutter, MessageSentLine(3, 301));
    EXPECT_EQ(acks(), 0);
    EXPECT_EQ(InMessagesList.PendingCount(), 0);

    link.RowPutOnWire(3);
    Feed(link, cutter, MessageAcceptedLine(3, 302));
    EXPECT_EQ(acks(), 1);
    // A second acceptance, and the report of the earlier row 3 (the server
    // record it was accepted as), are not this row's.
    Feed(link, cutter, MessageAcceptedLine(3, 303));
    Feed(link, cutter, MessageSentLine(3, 301));
    EXPECT_EQ(acks(), 0);
    EXPECT_EQ(InMessagesList.PendingCount(), 0);
    Feed(link, cutter, MessageSentLine(3, 302));
    Feed(link, cutter, MessageSentLine(3, 302));
    EXPECT_EQ(InMessagesList.PendingCount(), 1);

    // A report before the row's acceptance naming another record (a stale
    // one) changes nothing, nor does a second one; the acceptance counts
    // once and the report after it does, on another connection too; a
    // failure report names no server record.
    link.RowPutOnWire(4);
    Feed(link, cutter, MessageSentLine(4, 9999));
    Feed(link, cutter, MessageSendErrorLine(4, 5, QStringLiteral("Logon")));
    EXPECT_EQ(InMessagesList.PendingCount(), 1);
    Feed(link, cutter, MessageAcceptedLine(4, 304));
    Feed(link, cutter, MessageAcceptedLine(4, 304));
    EXPECT_EQ(acks(), 1);
    TReplyOnlyLink later;
    TFrameCutter laterCutter;
    Feed(later, laterCutter, MessageSentLine(4, 9999));
    Feed(later, laterCutter, MessageSendErrorLine(4, 5, QStringLiteral("Logon")));
    Feed(link, cutter, MessageSendErrorLine(4, 5, QStringLiteral("Logon")));
    EXPECT_EQ(InMessagesList.PendingCount(), 2);
    // A row whose wait ran out is acknowledged on whichever connection.
    link.RowPutOnWire(6);
    Feed(later, laterCutter, MessageAcceptedLine(6, 310));
    Feed(link, cutter, MessageAcceptedLine(6, 310));
    EXPECT_EQ(int(later.TakeAcks().size()), 1);
    EXPECT_EQ(acks(), 0);

    // A refusal on arrival ends its row; the row sent again starts afresh.
    link.RowPutOnWire(5);
    Feed(link, cutter, MessageAcceptErrorLine(5, 2, QStringLiteral("Full")));
    Feed(link, cutter, MessageSentLine(5, 305));
    EXPECT_EQ(acks(), 1);
    EXPECT_EQ(InMessagesList.PendingCount(), 2);
    link.RowPutOnWire(5);
    Feed(link, cutter, MessageAcceptedLine(5, 306));
    Feed(link, cutter, MessageSentLine(5, 306));
    EXPECT_EQ(acks(), 1);
    EXPECT_EQ(InMessagesList.PendingCount(), 3);
    EXPECT_EQ(RunSentRows().Count(), 1);  // row 6 waits for its report
    EmptyInMessages();
}

class LinkAckBurstTest : public MessagingTest {};

TEST_F(LinkAckBurstTest, AcknowledgementsArrivingInOneReadAllReachTheirRows)
{
    // Six recipients of one message and one of another, on one server; the
    // first row of the shared message is logged already (its text with it).
    const qint32 carrier = Carrier(7000);
    QList<qint32> contacts;
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        contacts << Contact(QLatin1String(name), carrier);
    Queue(QStringLiteral("Shared"), contacts);
    Queue(QStringLiteral("Alone"), {Contact(QStringLiteral("G"), carrier)});
    QSqlDatabase db = LocalDb();
    TClientInputMessage first;
    first.MsgType = rkMessageAccepted;
    first.ClientRecordID = 1;
    first.ServerRecordID = 501;
    ASSERT_EQ(MoveToSent(db, first), TMoveToSentResult::msLogged);
    TReplyOnlyLink link;
    TFrameCutter cutter;
    QByteArray burst;
    for (qint32 id = 2; id <= 7; ++id) {
        link.RowPutOnWire(id);
        burst += FrameLine(MessageAcceptedLine(id, 500 + id));
    }
    cutter.Append(burst);
    link.HandleServerReply(cutter);
    const QList<TClientInputMessage> acks = link.TakeAcks();
    ASSERT_EQ(acks.size(), 6);
    QList<TNAckOutcome> outcomes;
    ASSERT_TRUE(MoveAllToSent(db, acks, true, &outcomes));
    ASSERT_EQ(outcomes.size(), 6);
    for (const TNAckOutcome& outcome : outcomes)
        EXPECT_EQ(outcome.Result, TMoveToSentResult::msLogged);
    // Each out-box row points at the log row of its own acknowledgement.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from OutMessages m, SentMessages s where "
                                    "s.ID = m.sentMessagesID and s.ClientRecordID = m.ID and "
                                    "s.ServerRecordID = 500 + m.ID and s.Name = m.Name and s.ContactID = m.ContactID")),
              7);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages")), 7);
    // Every row of the shared message is logged alike and with one copy of
    // its text, whichever way it was written.
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from (select distinct SentMessageTextID, MessageTime, IpAddress, "
                                    "PortNo, coalesce(HostName, ''), ServerTypeNo, ErrorStatus, ReceiveConfirmed, "
                                    "SendConfirmed, coalesce(SendTime, ''), DatabaseGUID from "
                                    "SentMessages where ClientRecordID <= 6)")),
              1);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessageTexts")), 2);
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from SentMessages where IpAddress = '127.0.0.1' and "
                                    "PortNo = 7000 and ServerTypeNo = 1 and ErrorStatus = %1 and "
                                    "SendConfirmed = 0 and ReceiveConfirmed = 1 and ReceiveTime is not null")
                         .arg(int(rkMessageAccepted))),
              7);
}

TEST(LinkRepliesTest, AnswersCountOnlyFromTheServerTheRowWentTo)
{
    // Two servers numbering their records alike. Rows 1 to 3 went to the
    // first: 1 is on the wire (or its wait ran out: the same to the record),
    // 2 is accepted and waits for its report, 3 was accepted with its report
    // ahead of the acceptance (held for it).
    EmptyInMessages();
    TReplyOnlyLink first(7001);
    TReplyOnlyLink second(7002);
    TFrameCutter cutter;
    TFrameCutter secondCutter;
    for (const qint32 row : {1, 2, 3})
        first.RowPutOnWire(row);
    Feed(first, cutter, MessageAcceptedLine(2, 2));
    Feed(first, cutter, MessageSentLine(3, 3));
    EXPECT_EQ(InMessagesList.PendingCount(), 0);
    EXPECT_EQ(first.TakeAcks().size(), 1);
    // The second server's acceptances, refusals, reports and failures for
    // them change nothing, and its report is not held for the first's
    // acceptance either.
    for (const qint32 row : {1, 2, 3})
        for (const QString& line : {MessageSentLine(row, row), MessageAcceptedLine(row, row),
                                    MessageAcceptErrorLine(row, 2, QStringLiteral("Full")), MessageSentLine(row, row),
                                    MessageSendErrorLine(row, 5, QStringLiteral("Logon"))})
            Feed(second, secondCutter, line);
    EXPECT_TRUE(second.TakeAcks().isEmpty());
    EXPECT_EQ(InMessagesList.PendingCount(), 0);
    EXPECT_EQ(RunSentRows().Count(), 3);
    // The first server's own answers still settle each row, on a later
    // connection too; row 3's acceptance brings its held report along.
    TReplyOnlyLink later(7001);
    TFrameCutter laterCutter;
    Feed(later, laterCutter, MessageAcceptedLine(1, 1));
    Feed(later, laterCutter, MessageSentLine(1, 1));
    Feed(later, laterCutter, MessageSentLine(2, 2));
    Feed(first, cutter, MessageAcceptedLine(3, 3));
    EXPECT_EQ(later.TakeAcks().size(), 1);
    EXPECT_EQ(first.TakeAcks().size(), 1);
    EXPECT_EQ(InMessagesList.PendingCount(), 3);
    EXPECT_EQ(RunSentRows().Count(), 0);
    EmptyInMessages();
}

TEST(LinkRepliesTest, ReportBeforeItsAcceptanceConfirmsTheRowOnlyForTheRecordItNames)
{
    EmptyInMessages();
    TReplyOnlyLink link(7003);
    TFrameCutter cutter;
    // Held for the acceptance naming the same record, however the row ends.
    link.RowPutOnWire(11);
    link.RowPutOnWire(12);
    Feed(link, cutter, MessageSentLine(11, 111));
    Feed(link, cutter, MessageSendErrorLine(12, 5, QStringLiteral("Logon")));
    EXPECT_EQ(InMessagesList.PendingCount(), 0);
    Feed(link, cutter, MessageAcceptedLine(11, 111));
    Feed(link, cutter, MessageAcceptedLine(12, 112));
    TClientInputMessage report;
    ASSERT_TRUE(InMessagesList.TakeFirst(&report));
    EXPECT_EQ(report.ClientRecordID, 11);
    EXPECT_EQ(report.MsgType, rkMessageSent);
    ASSERT_TRUE(InMessagesList.TakeFirst(&report));
    EXPECT_EQ(report.ClientRecordID, 12);
    EXPECT_EQ(report.MsgType, rkMessageSendError);
    // Naming another record it is stale: the row waits for its own report.
    // A refusal ends its row, and the report held for it is stale too.
    link.RowPutOnWire(13);
    link.RowPutOnWire(14);
    Feed(link, cutter, MessageSentLine(13, 999));
    Feed(link, cutter, MessageSentLine(14, 114));
    Feed(link, cutter, MessageAcceptedLine(13, 113));
    Feed(link, cutter, MessageAcceptErrorLine(14, 2, QStringLiteral("Full")));
    EXPECT_EQ(link.TakeAcks().size(), 4);
    EXPECT_EQ(InMessagesList.PendingCount(), 0);
    Feed(link, cutter, MessageSentLine(13, 113));
    EXPECT_EQ(InMessagesList.PendingCount(), 1);
    EXPECT_EQ(RunSentRows().Count(), 0);
    EmptyInMessages();
}

TEST(LinkRepliesTest, IgnoredAnswersWriteNothingPerAnswer)
{
    // The operator's popup tells how many; a confused server must not fill
    // the standard error with a line per answer.
    EmptyInMessages();
    static int written = 0;
    written = 0;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++written; });
    {
        TReplyOnlyLink link(7004);
        TFrameCutter cutter;
        for (qint32 row = 1; row <= 20; ++row) {
            Feed(link, cutter, MessageAcceptedLine(row, row));
            Feed(link, cutter, MessageSentLine(row, row));
        }
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(written, 0);
    EmptyInMessages();
}
