// A link's reading of the server's replies: malformed frames are skipped and
// the frames after them still act.
#include "messaging/baseserver.h"
#include "messaging/inmessageslist.h"
#include "messaging/protocol.h"

#include <gtest/gtest.h>

namespace {
// A link without a transport: only its reply handling is used.
class TReplyOnlyLink : public TBaseServer {
public:
    ~TReplyOnlyLink() override { BeginDestroy(); }
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

void EmptyInMessages()
{
    TClientInputMessage leftover;
    while (InMessagesList.TakeFirst(&leftover)) {
    }
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
