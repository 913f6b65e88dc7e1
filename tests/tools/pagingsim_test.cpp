// The paging-server simulator over real sockets on 127.0.0.1.
#include "pagingserversim.h"
#include "simtestclient.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kAppId = QStringLiteral("{6B29FC40-CA47-1067-B31D-00DD010662DA}");

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

TSimOptions LocalOptions()
{
    TSimOptions o;
    o.listenAddress = QHostAddress(QHostAddress::LocalHost);
    o.port = 0;
    return o;
}

QString Message(qint32 id, const char* address = "5551234", const char* text = "Hello there")
{
    return MessageLine(id, 6, S("relay.example,25"), S(address), S(text));
}

TClientInputMessage Input(const TClientRawInMessage& raw)
{
    TClientInputMessage in;
    EXPECT_TRUE(raw.ToInputMessage(&in)) << raw.GetCommand().toStdString();
    return in;
}

// A simulator with the given options and one client that has sent LOGON.
struct Session {
    explicit Session(const TSimOptions& options = LocalOptions()) : sim(options)
    {
        connected = sim.Start() && client.Connect(sim.Port());
        if (connected)
            client.SendLine(LogonLine(kAppId));
    }
    // Reads the logon answer: true for LOGON_OK.
    bool LogOn() { return connected && client.ReadFrame().Kind == rkLogonOk; }

    TPagingServerSim sim;
    TSimTestClient client;
    bool connected = false;
};
}  // namespace

TEST(PagingSimTest, LogonThenEachMessageIsAcceptedAndReported)
{
    Session s;
    ASSERT_NE(s.sim.Port(), 0);
    ASSERT_TRUE(s.LogOn());
    s.client.SendLine(Message(12));
    s.client.SendLine(Message(13));
    const QList<TClientRawInMessage> replies = s.client.ReadFrames(4);
    ASSERT_EQ(replies.size(), 4);
    EXPECT_EQ(replies[0].Kind, rkMessageAccepted);
    EXPECT_EQ(replies[1].Kind, rkMessageSent);
    const TClientInputMessage ack12 = Input(replies[0]);
    const TClientInputMessage sent12 = Input(replies[1]);
    const TClientInputMessage ack13 = Input(replies[2]);
    EXPECT_EQ(ack12.ClientRecordID, 12);
    EXPECT_EQ(sent12.ClientRecordID, 12);
    EXPECT_EQ(sent12.ServerRecordID, ack12.ServerRecordID);
    EXPECT_EQ(ack13.ClientRecordID, 13);
    EXPECT_NE(ack13.ServerRecordID, ack12.ServerRecordID);

    // The log holds what went over the wire, item by item.
    ASSERT_TRUE(s.sim.WaitForReceived(MessageWord(), 2, 5000));
    const QList<TSimFrame> in = s.sim.ReceivedFrames();
    ASSERT_EQ(in.size(), 3);
    EXPECT_EQ(in[0].items, (QStringList{S("LOGON"), kAppId, QString()}));
    EXPECT_EQ(in[1].items,
              (QStringList{S("MESSAGE"), S("12"), S("6"), S("relay.example,25"), S("5551234"), S("Hello there")}));
    EXPECT_EQ(in[1].connection, in[0].connection);
    EXPECT_EQ(TPagingServerSim::Count(s.sim.SentFrames(), TSimDirection::Out, S("MESSAGE_SENT")), 2);
}

TEST(PagingSimTest, LogonRefusalsCarryTheReasonAndClose)
{
    struct Case {
        TSimLogon mode;
        TReplyKind kind;
    };
    for (const Case c : {Case{TSimLogon::Deny, rkLogonDenied}, Case{TSimLogon::Refuse, rkDenyConnection}}) {
        TSimOptions o = LocalOptions();
        o.logon = c.mode;
        o.denyCode = 3;
        o.denyText = S("Too many clients, sorry");
        Session s(o);
        ASSERT_TRUE(s.connected);
        const TClientRawInMessage reply = s.client.ReadFrame();
        EXPECT_EQ(reply.Kind, c.kind);
        EXPECT_EQ(reply.GetReasonCode(), 3);
        EXPECT_EQ(reply.GetReasonText(), S("Too many clients, sorry"));
        EXPECT_TRUE(s.client.WaitForClose());
        EXPECT_TRUE(s.sim.WaitForClosed(1, 5000));
    }
}

TEST(PagingSimTest, DeniedLogonCanKeepTheSocketOpenAndSilentLogonNeverAnswers)
{
    TSimOptions o = LocalOptions();
    o.logon = TSimLogon::Deny;
    o.closeOnDenial = false;
    Session s(o);
    ASSERT_TRUE(s.connected);
    EXPECT_EQ(s.client.ReadFrame().Kind, rkLogonDenied);
    EXPECT_FALSE(s.client.WaitForClose(300));

    o.logon = TSimLogon::Silent;
    s.sim.SetOptions(o);
    TSimTestClient silent;
    ASSERT_TRUE(silent.Connect(s.sim.Port()));
    silent.SendLine(LogonLine(kAppId));
    ASSERT_TRUE(s.sim.WaitForReceived(LogonWord(), 2, 5000));
    EXPECT_TRUE(silent.ReadFrames(1, 300).isEmpty());
    EXPECT_EQ(s.sim.OpenConnections(), 2);
}

TEST(PagingSimTest, ReportsFollowAfterTheConfiguredDelay)
{
    TSimOptions o = LocalOptions();
    o.reportDelayMs = 300;
    o.report = TSimReport::Error;
    o.reportErrorCode = 5;
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    s.client.SendLine(Message(40));
    const TClientRawInMessage ack = s.client.ReadFrame();
    EXPECT_EQ(ack.Kind, rkMessageAccepted);
    const TClientInputMessage report = Input(s.client.ReadFrame());
    EXPECT_EQ(report.MsgType, rkMessageSendError);
    EXPECT_EQ(report.ClientRecordID, 40);
    EXPECT_EQ(report.ErrorCode, 5);
    EXPECT_EQ(report.Text, S("LogonError - Logon parameters wrong"));
    const QList<TSimFrame> out = s.sim.SentFrames();
    ASSERT_EQ(out.size(), 3);
    EXPECT_GE(out[1].time.msecsTo(out[2].time), 290);
}

TEST(PagingSimTest, AcceptErrorRulesRefuseOnArrivalWithoutAReport)
{
    TSimOptions o = LocalOptions();
    o.acceptErrorIds = {7};
    o.acceptErrorAddresses = {S("000")};
    o.acceptErrorCode = 8;
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    s.client.SendLine(Message(7));
    s.client.SendLine(Message(8, "000"));
    s.client.SendLine(Message(9));
    const QList<TClientRawInMessage> replies = s.client.ReadFrames(4);
    ASSERT_EQ(replies.size(), 4);
    const TClientInputMessage refused7 = Input(replies[0]);
    EXPECT_EQ(refused7.MsgType, rkMessageAcceptError);
    EXPECT_EQ(refused7.ClientRecordID, 7);
    EXPECT_EQ(refused7.ErrorCode, 8);
    EXPECT_EQ(refused7.Text, ErrorStatusText(8));
    EXPECT_EQ(Input(replies[1]).MsgType, rkMessageAcceptError);
    EXPECT_EQ(Input(replies[1]).ClientRecordID, 8);
    EXPECT_EQ(Input(replies[2]).MsgType, rkMessageAccepted);
    EXPECT_EQ(Input(replies[3]).MsgType, rkMessageSent);
    EXPECT_EQ(Input(replies[3]).ClientRecordID, 9);
}

TEST(PagingSimTest, AcknowledgementsCanBeDelayedOrDropped)
{
    TSimOptions o = LocalOptions();
    o.ackDelayMs = 200;
    o.dropAckIds = {2};
    o.report = TSimReport::None;
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    s.client.SendLine(Message(1));
    s.client.SendLine(Message(2));
    s.client.SendLine(Message(3));
    const QList<TClientRawInMessage> replies = s.client.ReadFrames(3, 2000);
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(Input(replies[0]).ClientRecordID, 1);
    EXPECT_EQ(Input(replies[1]).ClientRecordID, 3);
    const QList<TSimFrame> log = s.sim.Log();
    const TSimFrame* received1 = nullptr;
    const TSimFrame* ack1 = nullptr;
    for (const TSimFrame& f : log) {
        if (!received1 && f.direction == TSimDirection::In && f.Word() == MessageWord())
            received1 = &f;
        if (!ack1 && f.direction == TSimDirection::Out && f.Word() == S("MESSAGE_ACCEPTED"))
            ack1 = &f;
    }
    ASSERT_TRUE(received1 && ack1);
    EXPECT_GE(received1->time.msecsTo(ack1->time), 190);
}

TEST(PagingSimTest, BroadcastReachesEveryConnection)
{
    TSimOptions o = LocalOptions();
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    TSimTestClient second;
    ASSERT_TRUE(second.Connect(s.sim.Port()));
    ASSERT_TRUE(s.sim.WaitFor(
        [](const QList<TSimFrame>& log) { return TPagingServerSim::Count(log, TSimDirection::Open) == 2; }, 5000));
    EXPECT_EQ(s.sim.Broadcast(S("Maintenance at 5, \"soon\"")), 2);
    for (TSimTestClient* client : {&s.client, &second}) {
        const TClientInputMessage in = Input(client->ReadFrame());
        EXPECT_EQ(in.MsgType, rkBroadcastMessage);
        EXPECT_EQ(in.Text, S("Maintenance at 5, \"soon\""));
    }
}

TEST(PagingSimTest, PeriodicBroadcast)
{
    TSimOptions o = LocalOptions();
    o.broadcastEveryMs = 50;
    o.broadcastText = S("tick");
    Session s(o);
    ASSERT_TRUE(s.connected);
    const QList<TClientRawInMessage> frames = s.client.ReadFrames(4);
    ASSERT_EQ(frames.size(), 4);
    EXPECT_GE(TPagingServerSim::Count(s.sim.SentFrames(), TSimDirection::Out, S("BROADCAST_MESSAGE")), 3);
}

TEST(PagingSimTest, SplitFramesArriveInPiecesAndStillRead)
{
    TSimOptions o = LocalOptions();
    o.splitAt = 1;
    o.splitGapMs = 20;
    Session bytewise(o);
    ASSERT_TRUE(bytewise.LogOn());
    EXPECT_GT(bytewise.client.Chunks().size(), 1);
    // Faster for the longer frames that follow.
    o.splitGapMs = 1;
    bytewise.sim.SetOptions(o);
    bytewise.client.SendLine(Message(5));
    EXPECT_EQ(bytewise.client.ReadFrames(2).size(), 2);

    o.splitAt = 4;
    o.splitGapMs = 200;
    Session atFour(o);
    ASSERT_TRUE(atFour.LogOn());
    // The cut falls inside the body: the start marker and one byte first.
    ASSERT_GE(atFour.client.Chunks().size(), 2);
    EXPECT_EQ(atFour.client.Chunks()[0], QByteArray("\r\n\rL"));
}

TEST(PagingSimTest, GarbageAndNulSurroundTheFrames)
{
    TSimOptions o = LocalOptions();
    o.garbage = true;
    o.nul = true;
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    const QByteArray raw = s.client.Raw();
    const QByteArray frame = FrameLine(LogonOkLine());
    ASSERT_TRUE(raw.endsWith(frame + '\0'));
    EXPECT_GT(raw.size(), frame.size() + 1);
    EXPECT_FALSE(raw.left(raw.size() - frame.size() - 1).contains('\r'));
}

TEST(PagingSimTest, CloseAfterNMessagesDropsTheConnectionMidBatch)
{
    TSimOptions o = LocalOptions();
    o.closeAfter = 2;
    o.report = TSimReport::None;
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    for (qint32 id = 1; id <= 4; ++id)
        s.client.SendLine(Message(id));
    const QList<TClientRawInMessage> replies = s.client.ReadFrames(4, 2000);
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(Input(replies[1]).ClientRecordID, 2);
    EXPECT_TRUE(s.client.WaitForClose());
    EXPECT_TRUE(s.sim.WaitForClosed(1, 5000));
    EXPECT_EQ(TPagingServerSim::Count(s.sim.SentFrames(), TSimDirection::Out, S("MESSAGE_ACCEPTED")), 2);
}

TEST(PagingSimTest, SilentServerLogsButNeverAnswers)
{
    TSimOptions o = LocalOptions();
    o.silent = true;
    Session s(o);
    ASSERT_TRUE(s.connected);
    s.client.SendLine(Message(1));
    ASSERT_TRUE(s.sim.WaitForReceived(MessageWord(), 1, 5000));
    EXPECT_TRUE(s.client.ReadFrames(1, 300).isEmpty());
    EXPECT_TRUE(s.sim.SentFrames().isEmpty());
}

TEST(PagingSimTest, FramesSplitByTheClientAndMalformedMessagesAreHandled)
{
    Session s;
    ASSERT_TRUE(s.LogOn());
    const QByteArray frame = FrameLine(Message(21));
    s.client.SendRaw(frame.left(2));
    s.client.SendRaw(frame.mid(2));
    s.client.SendLine(S("MESSAGE,22"));            // too few items: refused
    s.client.SendLine(S("MESSAGE,x,1,s,a,text"));  // no record ID: nothing to answer
    s.client.SendLine(S("HELLO"));                 // unknown word: ignored
    s.client.SendLine(Message(23));
    const QList<TClientRawInMessage> replies = s.client.ReadFrames(5);
    ASSERT_EQ(replies.size(), 5);
    EXPECT_EQ(Input(replies[0]).ClientRecordID, 21);
    EXPECT_EQ(Input(replies[2]).MsgType, rkMessageAcceptError);
    EXPECT_EQ(Input(replies[2]).ClientRecordID, 22);
    EXPECT_EQ(Input(replies[3]).ClientRecordID, 23);
    EXPECT_EQ(s.sim.ReceivedFrames().size(), 6);
}

TEST(PagingSimTest, LogFileHoldsOneJsonLinePerEvent)
{
    TempFolder folder;
    TSimOptions o = LocalOptions();
    o.logFile = folder.File(S("frames.jsonl"));
    {
        Session s(o);
        ASSERT_TRUE(s.LogOn());
        s.client.SendLine(Message(3, "5551234", "two words"));
        ASSERT_EQ(s.client.ReadFrames(2).size(), 2);
    }
    QFile file(o.logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList dirs;
    QJsonArray messageItems;
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        ASSERT_FALSE(line.isEmpty());
        EXPECT_EQ(line.value(S("conn")).toInt(), 1);
        EXPECT_TRUE(line.value(S("time")).toString().contains(u'T'));
        dirs << line.value(S("dir")).toString();
        if (line.value(S("items")).toArray().first().toString() == S("MESSAGE"))
            messageItems = line.value(S("items")).toArray();
    }
    EXPECT_EQ(dirs, (QStringList{S("open"), S("in"), S("out"), S("in"), S("out"), S("out"), S("close")}));
    EXPECT_EQ(messageItems.last().toString(), S("two words"));
}

TEST(PagingSimTest, MemoryLogKeepsOnlyTheNewestEntries)
{
    TSimOptions o = LocalOptions();
    o.memoryLogLimit = 3;
    Session s(o);
    ASSERT_TRUE(s.LogOn());
    s.client.SendLine(Message(1));
    ASSERT_EQ(s.client.ReadFrames(2).size(), 2);
    ASSERT_TRUE(s.sim.WaitForSent(S("MESSAGE_SENT"), 1, 5000));
    const QList<TSimFrame> log = s.sim.Log();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0].Word(), MessageWord());
    EXPECT_EQ(log[2].Word(), S("MESSAGE_SENT"));
}

TEST(PagingSimTest, StartFailsOnABusyPortAndStopsCleanly)
{
    TPagingServerSim first(LocalOptions());
    ASSERT_TRUE(first.Start());
    TSimOptions o = LocalOptions();
    o.port = first.Port();
    TPagingServerSim second(o);
    QString error;
    EXPECT_FALSE(second.Start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(second.IsRunning());
    first.Stop();
    EXPECT_FALSE(first.IsRunning());
    first.Stop();
}
