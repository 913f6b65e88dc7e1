// Lines, replies and status texts of the server protocol.
#include "messaging/protocol.h"
#include "messaging/protocolmessages.h"
#include "platform/commatext.h"

#include <gtest/gtest.h>

namespace {
QString S(const char* text)
{
    return QString::fromUtf8(text);
}

TClientRawInMessage Reply(const char* body)
{
    return TClientRawInMessage(S(body));
}
}  // namespace

TEST(ErrorStatusTextTest, PicksTheTextByTheLowSevenBits)
{
    EXPECT_EQ(ErrorStatusText(0), S("OK - Message sent successfully"));
    EXPECT_EQ(ErrorStatusText(5), S("LogonError - Logon parameters wrong"));
    EXPECT_EQ(ErrorStatusText(8), S("NoCarrierType - There is no device for that carrier type"));
    EXPECT_EQ(ErrorStatusText(9), S("Unknown Error Value"));
    EXPECT_EQ(ErrorStatusText(127), S("Unknown Error Value"));
    EXPECT_EQ(ErrorStatusText(128), ErrorStatusText(0));
    EXPECT_EQ(ErrorStatusText(128 + 3), ErrorStatusText(3));
    EXPECT_EQ(ErrorStatusText(-1), S("Unknown Error Value"));
}

TEST(RequestLineTest, LogonHasThreeItemsAndTheAppIdUnquoted)
{
    const QString id = S("{0F3A6C2E-1111-4222-8333-944455556666}");
    const QString line = LogonLine(id);
    EXPECT_EQ(line, S("LOGON,") + id + S(","));
    EXPECT_EQ(CommaTextToList(line), (QStringList{S("LOGON"), id, QString()}));
}

TEST(RequestLineTest, MessageQuotesOnlyTheItemsThatNeedIt)
{
    EXPECT_EQ(MessageLine(12, 6, S("host.example,444,\"x\""), S("5551234"), S("Hi")),
              S("MESSAGE,12,6,\"host.example,444,\"\"x\"\"\",5551234,Hi"));
    EXPECT_EQ(MessageLine(1, 1, QString(), S("a b"), S("Call me")), S("MESSAGE,1,1,,\"a b\",\"Call me\""));
    // Comma, quote, line break: each travels quoted and reads back unchanged.
    for (const char* text : {"a,b", "say \"hi\"", "two\r\nlines", "tab\there"}) {
        const QString line = MessageLine(7, 2, S("s"), S("addr"), S(text));
        EXPECT_TRUE(line.endsWith(u'"')) << text;
        const QStringList items = CommaTextToList(line);
        ASSERT_EQ(items.size(), 6);
        EXPECT_EQ(items[5], S(text));
    }
    EXPECT_TRUE(MessageLine(7, 2, S("s"), S("addr"), S("word")).endsWith(S(",word")));
}

TEST(RequestLineTest, FramesCarryCodePageBytesAndNeverANulOrAnInnerEndMarker)
{
    EXPECT_EQ(FrameLine(S("LOGON_OK")), QByteArray("\r\n\rLOGON_OK\r\v\r"));
    EXPECT_EQ(FrameLine(S("caf\u00e9 \u20ac")), QByteArray("\r\n\rcaf\xe9 \x80\r\v\r"));
    EXPECT_EQ(FrameLine(QString()), QByteArray("\r\n\r\r\v\r"));
    const QByteArray withNul = FrameLine(S("a") + QChar(0) + S("b"));
    EXPECT_EQ(withNul, QByteArray("\r\n\ra?b\r\v\r"));
    EXPECT_EQ(FrameLine(S("x\r\v\ry\r\v\r")), QByteArray("\r\n\rx\r?\ry\r?\r\r\v\r"));
}

TEST(ReplyLineTest, ServerRepliesReadBackAsTheirKinds)
{
    TClientInputMessage in;
    const TClientRawInMessage accepted(MessageAcceptedLine(12, 345));
    EXPECT_EQ(accepted.Kind, rkMessageAccepted);
    ASSERT_TRUE(accepted.ToInputMessage(&in));
    EXPECT_EQ(in.ClientRecordID, 12);
    EXPECT_EQ(in.ServerRecordID, 345);

    const TClientRawInMessage refused(MessageAcceptErrorLine(3, 1, S("Abandoned, bad pager")));
    ASSERT_TRUE(refused.ToInputMessage(&in));
    EXPECT_EQ(in.MsgType, rkMessageAcceptError);
    EXPECT_EQ(in.ClientRecordID, 3);
    EXPECT_EQ(in.ServerRecordID, 0);
    EXPECT_EQ(in.ErrorCode, 1);
    EXPECT_EQ(in.Text, S("Abandoned, bad pager"));

    const TClientRawInMessage sent(MessageSentLine(4, 77));
    ASSERT_TRUE(sent.ToInputMessage(&in));
    EXPECT_EQ(in.MsgType, rkMessageSent);
    EXPECT_EQ(in.ServerRecordID, 77);

    const TClientRawInMessage failed(MessageSendErrorLine(4, 5, S("he said \"no\"")));
    ASSERT_TRUE(failed.ToInputMessage(&in));
    EXPECT_EQ(in.MsgType, rkMessageSendError);
    EXPECT_EQ(in.ErrorCode, 5);
    EXPECT_EQ(in.Text, S("he said \"no\""));

    const TClientRawInMessage broadcast(BroadcastLine(S("Server going down, at 5")));
    ASSERT_TRUE(broadcast.ToInputMessage(&in));
    EXPECT_EQ(in.MsgType, rkBroadcastMessage);
    EXPECT_EQ(in.Text, S("Server going down, at 5"));

    EXPECT_EQ(TClientRawInMessage(LogonOkLine()).Kind, rkLogonOk);
    const TClientRawInMessage denied(DenyConnectionLine(3, S("Too many clients")));
    EXPECT_EQ(denied.Kind, rkDenyConnection);
    EXPECT_EQ(denied.GetReasonCode(), 3);
    EXPECT_EQ(denied.GetReasonText(), S("Too many clients"));
}

TEST(ReplyParserTest, NestedCommaTextAndReasonCodes)
{
    TClientInputMessage in;
    ASSERT_TRUE(Reply("MESSAGE_ACCEPTED,\"12,345\"").ToInputMessage(&in));
    EXPECT_EQ(in.ClientRecordID, 12);
    EXPECT_EQ(in.ServerRecordID, 345);
    // Surplus items, inner and outer, are ignored.
    ASSERT_TRUE(Reply("MESSAGE_SENT,\"12,345,extra\",more").ToInputMessage(&in));
    EXPECT_EQ(in.ServerRecordID, 345);

    const TClientRawInMessage denied = Reply("LOGON_DENIED,7,Bad");
    EXPECT_EQ(denied.Kind, rkLogonDenied);
    EXPECT_FALSE(denied.IsMalformed());
    EXPECT_EQ(denied.GetReasonCode(), 0);
    EXPECT_EQ(denied.GetReasonText(), S("Bad"));
    for (int code = 1; code <= 5; ++code)
        EXPECT_EQ(TClientRawInMessage(LogonDeniedLine(code, S("x"))).GetReasonCode(), code);
    EXPECT_EQ(Reply("LOGON_DENIED,-2,x").GetReasonCode(), 0);
}

TEST(ReplyParserTest, WordsMatchExactlyAndUnknownWordsAreInert)
{
    EXPECT_EQ(Reply("logon_ok").Kind, rkUnknown);
    EXPECT_EQ(Reply("LOGON_OKAY").Kind, rkUnknown);
    EXPECT_EQ(Reply("  LOGON_OK  ").Kind, rkLogonOk);
    EXPECT_EQ(Reply("\"LOGON_OK\"").Kind, rkLogonOk);
    const TClientRawInMessage other = Reply("HELLO,1,2");
    EXPECT_EQ(other.Kind, rkUnknown);
    EXPECT_FALSE(other.IsMalformed());
    TClientInputMessage in;
    EXPECT_FALSE(other.ToInputMessage(&in));
    EXPECT_FALSE(Reply("LOGON_OK").ToInputMessage(&in));
    for (quint8 k = 1; k <= 8; ++k)
        EXPECT_EQ(ReplyKindOf(ReplyWord(static_cast<TReplyKind>(k))), k);
}

TEST(ReplyParserTest, MalformedRepliesAreFlaggedAndYieldNothing)
{
    const char* malformed[] = {
        "",                                     // empty body
        "   \t ",                               // blanks only
        "MESSAGE_ACCEPTED",                     // missing item 1
        "MESSAGE_ACCEPTED,12",                  // inner pair lacks the server ID
        "MESSAGE_ACCEPTED,\"12,abc\"",          // not a number
        "MESSAGE_ACCEPTED,\"x12,3\"",           // not a number
        "MESSAGE_ACCEPTED,\"12,99999999999\"",  // beyond 32 bits
        "MESSAGE_SENT,\"1.5,2\"",               // not an integer
        "MESSAGE_SEND_ERROR,\"4,5\"",           // lacks the text
        "MESSAGE_ACCEPT_ERROR,\"4,E5,t\"",      // code not a number
        "MESSAGE_SENT,\"4,\"\"5\"",             // inner quote never closed
        "BROADCAST_MESSAGE",                    // no text
        "BROADCAST_MESSAGE,\"unterminated",     // quote never closed
        "LOGON_DENIED",                         // no reason
        "LOGON_DENIED,x,text",                  // reason code not a number
        "DENY_CONNECTION,3",                    // no reason text
    };
    for (const char* body : malformed) {
        const TClientRawInMessage raw = Reply(body);
        EXPECT_TRUE(raw.IsMalformed()) << body;
        TClientInputMessage in;
        in.Text = S("untouched");
        EXPECT_FALSE(raw.ToInputMessage(&in)) << body;
        EXPECT_EQ(in.Text, S("untouched"));
    }
    EXPECT_FALSE(Reply("BROADCAST_MESSAGE,").IsMalformed());
    EXPECT_FALSE(Reply("MESSAGE_SENT,\"-4,+5\"").IsMalformed());
}
