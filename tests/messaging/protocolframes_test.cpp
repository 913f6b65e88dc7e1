// Cutting frames out of received bytes, across reads.
#include "messaging/framecutter.h"
#include "messaging/protocol.h"

#include <gtest/gtest.h>

namespace {
QByteArray B(const char* text)
{
    return QByteArray(text);
}

QByteArray Frame(const char* line)
{
    return FrameLine(QString::fromLatin1(line));
}

QStringList Commands(const QList<TClientRawInMessage>& list)
{
    QStringList out;
    for (const TClientRawInMessage& m : list)
        out << m.GetCommand();
    return out;
}
}  // namespace

TEST(SplitRawMessagesTest, StrayBytesBeforeAFrameAreDropped)
{
    QByteArray buffer = B("abc") + Frame("LOGON_OK");
    QList<TClientRawInMessage> list;
    EXPECT_TRUE(SplitRawMessages(buffer, list));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Kind, rkLogonOk);
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(SplitRawMessagesTest, IncompleteFrameWaitsForItsEnd)
{
    QByteArray buffer = B("\r\n\rMESSAGE_SENT,\"12,");
    QList<TClientRawInMessage> list;
    EXPECT_FALSE(SplitRawMessages(buffer, list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(buffer, B("\r\n\rMESSAGE_SENT,\"12,"));
    buffer += B("345\"\r\v\r");
    EXPECT_TRUE(SplitRawMessages(buffer, list));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Kind, rkMessageSent);
    TClientInputMessage in;
    ASSERT_TRUE(list[0].ToInputMessage(&in));
    EXPECT_EQ(in.ClientRecordID, 12);
    EXPECT_EQ(in.ServerRecordID, 345);
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(SplitRawMessagesTest, SeveralFramesComeOutInOrderAndTheListIsEmptiedFirst)
{
    QByteArray buffer = Frame("LOGON_OK") + B("xx") + Frame("BROADCAST_MESSAGE,hi") + Frame("MESSAGE_SENT,\"1,2\"") +
                        B("tail without marker");
    QList<TClientRawInMessage> list{TClientRawInMessage(QStringLiteral("OLD"))};
    EXPECT_TRUE(SplitRawMessages(buffer, list));
    EXPECT_EQ(Commands(list), (QStringList{QStringLiteral("LOGON_OK"), QStringLiteral("BROADCAST_MESSAGE"),
                                           QStringLiteral("MESSAGE_SENT")}));
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(SplitRawMessagesTest, BufferWithoutStartMarkerIsEmptied)
{
    QByteArray buffer = B("no frame here \r\v\r at all");
    QList<TClientRawInMessage> list;
    EXPECT_FALSE(SplitRawMessages(buffer, list));
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(SplitRawMessagesTest, EmptyBodyIsOneMalformedFrame)
{
    // The end marker begins at the start marker's last CR.
    QByteArray buffer = B("\r\n\r\v\r") + Frame("LOGON_OK");
    QList<TClientRawInMessage> list;
    EXPECT_TRUE(SplitRawMessages(buffer, list));
    ASSERT_EQ(list.size(), 2);
    EXPECT_TRUE(list[0].Fields.isEmpty());
    EXPECT_TRUE(list[0].IsMalformed());
    EXPECT_EQ(list[1].Kind, rkLogonOk);

    buffer = Frame("");
    EXPECT_TRUE(SplitRawMessages(buffer, list));
    ASSERT_EQ(list.size(), 1);
    EXPECT_TRUE(list[0].IsMalformed());
}

TEST(SplitRawMessagesTest, StartMarkerSplitAcrossReadsIsKept)
{
    const QByteArray frame = Frame("LOGON_OK");
    for (int cut = 1; cut <= 2; ++cut) {
        QByteArray buffer = B("junk") + frame.left(cut);
        QList<TClientRawInMessage> list;
        EXPECT_FALSE(SplitRawMessages(buffer, list));
        EXPECT_EQ(buffer, frame.left(cut)) << cut;
        buffer += frame.mid(cut);
        EXPECT_TRUE(SplitRawMessages(buffer, list)) << cut;
        EXPECT_EQ(Commands(list), QStringList{QStringLiteral("LOGON_OK")});
    }
    // After a complete frame too.
    QByteArray buffer = frame + B("\r\n");
    QList<TClientRawInMessage> list;
    EXPECT_TRUE(SplitRawMessages(buffer, list));
    EXPECT_EQ(buffer, B("\r\n"));
}

TEST(FrameCutterTest, EveryCutPointOfTwoFramesGivesBothFramesOnce)
{
    const QByteArray stream = B("zz") + Frame("MESSAGE_ACCEPTED,\"1,100\"") + Frame("MESSAGE_SENT,\"1,100\"");
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        TFrameCutter cutter;
        QList<TClientRawInMessage> all;
        QList<TClientRawInMessage> list;
        cutter.Append(QByteArrayView(stream).first(cut));
        cutter.Split(list);
        all += list;
        cutter.Append(QByteArrayView(stream).sliced(cut));
        cutter.Split(list);
        all += list;
        EXPECT_EQ(Commands(all), (QStringList{QStringLiteral("MESSAGE_ACCEPTED"), QStringLiteral("MESSAGE_SENT")}))
            << "cut at " << cut;
        EXPECT_TRUE(cutter.Pending().isEmpty());
    }
}

TEST(FrameCutterTest, ByteByByteDelivery)
{
    const QByteArray stream = Frame("LOGON_OK") + B("?") + Frame("BROADCAST_MESSAGE,\"a b\"");
    TFrameCutter cutter;
    QStringList seen;
    QList<TClientRawInMessage> list;
    for (char c : stream) {
        cutter.Append(QByteArrayView(&c, 1));
        cutter.Split(list);
        seen += Commands(list);
    }
    EXPECT_EQ(seen, (QStringList{QStringLiteral("LOGON_OK"), QStringLiteral("BROADCAST_MESSAGE")}));
}

TEST(FrameCutterTest, NulEndsTheUsefulPartOfAChunk)
{
    TFrameCutter cutter;
    QList<TClientRawInMessage> list;
    QByteArray chunk = Frame("LOGON_OK") + QByteArray(1, '\0') + Frame("BROADCAST_MESSAGE,lost");
    cutter.Append(chunk);
    cutter.Split(list);
    EXPECT_EQ(Commands(list), QStringList{QStringLiteral("LOGON_OK")});
    // A NUL inside a frame split over reads: the rest of that read is gone,
    // the frame completes with the next read.
    QByteArray first = B("\r\n\rBROADCAST_MESSAGE,ab");
    first += '\0';
    first += "garbage";
    cutter.Append(first);
    cutter.Append(B("c\r\v\r"));
    cutter.Split(list);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Fields.value(1), QStringLiteral("abc"));
    EXPECT_EQ(UsefulPart(QByteArrayView("\0x", 2)).size(), 0);
}

TEST(FrameCutterTest, OversizedIncompleteFrameIsDroppedAndCuttingResumes)
{
    TFrameCutter cutter(64);
    QList<TClientRawInMessage> list;
    cutter.Append(B("\r\n\rBROADCAST_MESSAGE,"));
    const QByteArray filler(40, 'x');
    for (int i = 0; i < 10; ++i) {
        cutter.Append(filler);
        cutter.Split(list);
        EXPECT_TRUE(list.isEmpty());
        EXPECT_LE(cutter.Pending().size(), 64 + filler.size());
    }
    EXPECT_GE(cutter.DroppedFrames(), 1);
    // The endless frame's tail ends, and the next frame is read normally.
    cutter.Append(B("xx\r\v\r") + Frame("LOGON_OK"));
    cutter.Split(list);
    EXPECT_EQ(Commands(list), QStringList{QStringLiteral("LOGON_OK")});
    EXPECT_TRUE(cutter.Pending().isEmpty());
}

TEST(FrameCutterTest, OversizedFrameResynchronisesAtALaterStartMarker)
{
    TFrameCutter cutter(32);
    QList<TClientRawInMessage> list;
    cutter.Append(B("\r\n\r") + QByteArray(100, 'y') + B("\r\n\rBROADCAST_MESSAGE,ok"));
    cutter.Split(list);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(cutter.Pending(), B("\r\n\rBROADCAST_MESSAGE,ok"));
    cutter.Append(B("\r\v\r"));
    cutter.Split(list);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Fields.value(1), QStringLiteral("ok"));
}

TEST(FrameCutterTest, LargeFrameWithinTheCapArrivesInSmallReads)
{
    TFrameCutter cutter;
    QList<TClientRawInMessage> list;
    const QString text(300000, u'z');
    const QByteArray stream = FrameLine(BroadcastLine(text));
    for (qsizetype at = 0; at < stream.size(); at += 2048) {
        cutter.Append(QByteArrayView(stream).sliced(at, std::min<qsizetype>(2048, stream.size() - at)));
        cutter.Split(list);
        if (!list.isEmpty())
            break;
    }
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Fields.value(1), text);
}
