// The simulator's answers, without any socket: what goes out, when, and
// when the connection closes.
#include "simcore.h"
#include "messaging/protocol.h"
#include "messaging/protocolmessages.h"
#include "platform/commatext.h"

#include <gtest/gtest.h>

namespace {
QStringList Items(const QString& line)
{
    return CommaTextToList(line);
}

QStringList Message(qint32 id, const QString& address = QStringLiteral("5551234"))
{
    return Items(MessageLine(id, 6, QStringLiteral("s"), address, QStringLiteral("text")));
}

QStringList Words(const QList<TSimReply>& replies)
{
    QStringList out;
    for (const TSimReply& r : replies)
        out << (r.close ? QStringLiteral("<close>") : TClientRawInMessage(r.line).GetCommand());
    return out;
}

QList<int> Delays(const QList<TSimReply>& replies)
{
    QList<int> out;
    for (const TSimReply& r : replies)
        out << r.delayMs;
    return out;
}
}  // namespace

TEST(SimCoreTest, DelaysOfAcknowledgementAndReportAddUp)
{
    TSimOptions o;
    o.ackDelayMs = 100;
    o.reportDelayMs = 250;
    TSimCore core(o);
    const int c = core.OpenConnection();
    const QList<TSimReply> r = core.OnFrame(c, Message(4));
    EXPECT_EQ(Words(r), (QStringList{QStringLiteral("MESSAGE_ACCEPTED"), QStringLiteral("MESSAGE_SENT")}));
    EXPECT_EQ(Delays(r), (QList<int>{100, 350}));

    // Without an acknowledgement the report counts from the frame's arrival.
    o.dropAcks = true;
    core.SetOptions(o);
    const QList<TSimReply> dropped = core.OnFrame(c, Message(5));
    EXPECT_EQ(Words(dropped), QStringList{QStringLiteral("MESSAGE_SENT")});
    EXPECT_EQ(Delays(dropped), QList<int>{250});
}

TEST(SimCoreTest, ServerRecordIdsCountAcrossConnectionsAndReportsNameThem)
{
    TSimOptions o;
    o.firstServerRecordId = 900;
    TSimCore core(o);
    const int a = core.OpenConnection();
    const int b = core.OpenConnection();
    EXPECT_NE(a, b);
    TClientInputMessage ack;
    TClientInputMessage sent;
    const QList<TSimReply> first = core.OnFrame(a, Message(1));
    ASSERT_TRUE(TClientRawInMessage(first[0].line).ToInputMessage(&ack));
    ASSERT_TRUE(TClientRawInMessage(first[1].line).ToInputMessage(&sent));
    EXPECT_EQ(ack.ServerRecordID, 900);
    EXPECT_EQ(sent.ServerRecordID, 900);
    ASSERT_TRUE(TClientRawInMessage(core.OnFrame(b, Message(1))[0].line).ToInputMessage(&ack));
    EXPECT_EQ(ack.ServerRecordID, 901);
}

TEST(SimCoreTest, ReportErrorsByModeAndById)
{
    TSimOptions o;
    o.reportErrorIds = {2};
    o.reportErrorCode = 3;
    TSimCore core(o);
    const int c = core.OpenConnection();
    EXPECT_EQ(Words(core.OnFrame(c, Message(1))).last(), QStringLiteral("MESSAGE_SENT"));
    TClientInputMessage report;
    ASSERT_TRUE(TClientRawInMessage(core.OnFrame(c, Message(2)).last().line).ToInputMessage(&report));
    EXPECT_EQ(report.MsgType, rkMessageSendError);
    EXPECT_EQ(report.ErrorCode, 3);
    EXPECT_EQ(report.Text, ErrorStatusText(3));
    o.unreportedIds = {2};
    core.SetOptions(o);
    EXPECT_EQ(Words(core.OnFrame(c, Message(2))), QStringList{QStringLiteral("MESSAGE_ACCEPTED")});
    o.report = TSimReport::None;
    core.SetOptions(o);
    EXPECT_EQ(Words(core.OnFrame(c, Message(3))), QStringList{QStringLiteral("MESSAGE_ACCEPTED")});
}

TEST(SimCoreTest, CloseAfterNMessagesFollowsTheLastAnswerOfTheNth)
{
    TSimOptions o;
    o.closeAfter = 2;
    o.ackDelayMs = 40;
    TSimCore core(o);
    const int c = core.OpenConnection();
    EXPECT_FALSE(core.OnFrame(c, Message(1)).last().close);
    const QList<TSimReply> second = core.OnFrame(c, Message(2));
    EXPECT_EQ(Words(second), (QStringList{QStringLiteral("MESSAGE_ACCEPTED"), QStringLiteral("MESSAGE_SENT"),
                                          QStringLiteral("<close>")}));
    EXPECT_EQ(Delays(second), (QList<int>{40, 40, 40}));
    // Each connection counts its own messages.
    const int other = core.OpenConnection();
    EXPECT_FALSE(core.OnFrame(other, Message(3)).last().close);
}

TEST(SimCoreTest, StrayAnswersFollowTheLogonAndRepeatedReportsComeLate)
{
    // Answers for client records 1 and 2, which no MESSAGE brought, right
    // after LOGON_OK, then a refusal and a failure for record 1; their
    // server records are taken from the counter.
    TSimOptions o;
    o.strayAnswers = 2;
    o.strayFailures = 1;
    o.repeatReportMs = 500;
    o.reportDelayMs = 20;
    TSimCore core(o);
    const int c = core.OpenConnection();
    const QList<TSimReply> logon = core.OnFrame(c, Items(LogonLine(QStringLiteral("{X}"))));
    EXPECT_EQ(Words(logon), (QStringList{QStringLiteral("LOGON_OK"), QStringLiteral("MESSAGE_ACCEPTED"),
                                         QStringLiteral("MESSAGE_SENT"), QStringLiteral("MESSAGE_ACCEPTED"),
                                         QStringLiteral("MESSAGE_SENT"), QStringLiteral("MESSAGE_ACCEPT_ERROR"),
                                         QStringLiteral("MESSAGE_SEND_ERROR")}));
    TClientInputMessage stray;
    ASSERT_TRUE(TClientRawInMessage(logon[4].line).ToInputMessage(&stray));
    EXPECT_EQ(stray.ClientRecordID, 2);
    EXPECT_EQ(stray.ServerRecordID, 2);
    // Every report goes out a second time, later.
    const QList<TSimReply> reply = core.OnFrame(c, Message(7));
    EXPECT_EQ(Words(reply), (QStringList{QStringLiteral("MESSAGE_ACCEPTED"), QStringLiteral("MESSAGE_SENT"),
                                         QStringLiteral("MESSAGE_SENT")}));
    EXPECT_EQ(Delays(reply), (QList<int>{0, 20, 520}));
    EXPECT_EQ(reply[1].line, reply[2].line);
    ASSERT_TRUE(TClientRawInMessage(reply[2].line).ToInputMessage(&stray));
    EXPECT_EQ(stray.ServerRecordID, 3);
}

TEST(SimCoreTest, ReportsFirstGoJustBeforeTheirAcceptanceWhenTheyGoWithIt)
{
    TSimOptions o;
    o.reportsFirst = true;
    TSimCore core(o);
    const int c = core.OpenConnection();
    core.OnFrame(c, Items(LogonLine(QStringLiteral("{X}"))));
    const QList<TSimReply> reply = core.OnFrame(c, Message(7));
    EXPECT_EQ(Words(reply), (QStringList{QStringLiteral("MESSAGE_SENT"), QStringLiteral("MESSAGE_ACCEPTED")}));
    EXPECT_EQ(reply[0].line, MessageSentLine(7, 1));
    // A report that comes later keeps its place after the acceptance.
    o.reportDelayMs = 50;
    core.SetOptions(o);
    EXPECT_EQ(Words(core.OnFrame(c, Message(8))),
              (QStringList{QStringLiteral("MESSAGE_ACCEPTED"), QStringLiteral("MESSAGE_SENT")}));
}

TEST(SimCoreTest, HeldReportsGoToTheNextLogonOfTheSameInstallationAndStaleOnesComeFirst)
{
    TSimOptions o;
    o.holdReports = true;
    o.staleReports = true;
    o.reportDelayMs = 100;
    TSimCore core(o);
    const int first = core.OpenConnection();
    core.OnFrame(first, Items(LogonLine(QStringLiteral("{A}"))));
    const QList<TSimReply> reply = core.OnFrame(first, Message(7));
    EXPECT_EQ(Words(reply), (QStringList{QStringLiteral("MESSAGE_SENT"), QStringLiteral("MESSAGE_ACCEPTED"),
                                         QStringLiteral("MESSAGE_SENT")}));
    TClientInputMessage stale;
    ASSERT_TRUE(TClientRawInMessage(reply[0].line).ToInputMessage(&stale));
    EXPECT_EQ(stale.ServerRecordID, 1 + kStaleServerIdOffset);
    // The connection closed before its report went: another installation
    // does not get it, the next logon of the same one does.
    core.HoldReports(first, reply);
    core.CloseConnection(first);
    const int other = core.OpenConnection();
    EXPECT_EQ(Words(core.OnFrame(other, Items(LogonLine(QStringLiteral("{B}"))))),
              QStringList{QStringLiteral("LOGON_OK")});
    const int again = core.OpenConnection();
    const QList<TSimReply> logon = core.OnFrame(again, Items(LogonLine(QStringLiteral("{A}"))));
    ASSERT_EQ(Words(logon), (QStringList{QStringLiteral("LOGON_OK"), QStringLiteral("MESSAGE_SENT")}));
    EXPECT_EQ(logon[1].line, reply[2].line);
}

TEST(SimCoreTest, LogonAnswersAndSilence)
{
    TSimOptions o;
    o.logonDelayMs = 30;
    TSimCore core(o);
    const int c = core.OpenConnection();
    const QStringList logon = Items(LogonLine(QStringLiteral("{X}")));
    const QList<TSimReply> ok = core.OnFrame(c, logon);
    EXPECT_EQ(Words(ok), QStringList{QStringLiteral("LOGON_OK")});
    EXPECT_EQ(ok[0].delayMs, 30);
    EXPECT_FALSE(ok[0].close);

    o.logon = TSimLogon::Refuse;
    core.SetOptions(o);
    const QList<TSimReply> refused = core.OnFrame(c, logon);
    EXPECT_EQ(Words(refused), QStringList{QStringLiteral("<close>")});
    EXPECT_EQ(TClientRawInMessage(refused[0].line).Kind, rkDenyConnection);

    o.logon = TSimLogon::Silent;
    core.SetOptions(o);
    EXPECT_TRUE(core.OnFrame(c, logon).isEmpty());

    o.logon = TSimLogon::Ok;
    o.silent = true;
    core.SetOptions(o);
    EXPECT_TRUE(core.OnFrame(c, logon).isEmpty());
    EXPECT_TRUE(core.OnFrame(c, Message(1)).isEmpty());

    // Frames of a closed or unknown connection get nothing.
    o.silent = false;
    core.SetOptions(o);
    core.CloseConnection(c);
    EXPECT_TRUE(core.OnFrame(c, logon).isEmpty());
    EXPECT_TRUE(core.OnFrame(c + 100, logon).isEmpty());
}
