// A link's reading of the server's replies: malformed frames are skipped and
// the frames after them still act; acknowledgements that arrive together
// each reach their own row.
#include "messaging/baseserver.h"
#include "messaging/inmessageslist.h"
#include "messaging/protocol.h"
#include "messagingfixture.h"

#include <gtest/gtest.h>

namespace {
// A link without a transport: only its reply handling is used.
class TReplyOnlyLink : public TBaseServer {
public:
    ~TReplyOnlyLink() override { BeginDestroy(); }
    using TBaseServer::RowPutOnWire;
    qint32 ServerTypeNo() const override { return 1; }
    TConnectResult Connect(int, int) override { return crConnected; }
    void SendText(const QByteArray&) override {}
    TConnectResult UnmappedErrorResult() const override { return crLogonFailed; }
    TNOutRowFilter OutRowFilter() const override { return {}; }
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

    // A report before the row's acceptance (a stale one) changes nothing;
    // the acceptance counts once and the report after it does, on another
    // connection too; a failure report names no server record.
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
