// Bounded random runs of the frame cutter and the comma-text reader (a
// fuzz loop that runs under the sanitizers with every test run).
#include "messaging/framecutter.h"
#include "messaging/protocol.h"
#include "platform/codepage.h"
#include "platform/commatext.h"

#include <gtest/gtest.h>
#include <QRandomGenerator>

namespace {
constexpr int kRounds = 20000;

// Bytes biased towards the protocol's own special characters.
char RandomByte(QRandomGenerator& rng)
{
    static const char special[] = {'\r', '\n', '\v', '"', ',', ' ', '\0', '\t'};
    if (rng.bounded(3) == 0)
        return special[rng.bounded(int(sizeof(special)))];
    return static_cast<char>(rng.bounded(256));
}

QByteArray RandomBytes(QRandomGenerator& rng, int maxLength)
{
    QByteArray out;
    const int n = rng.bounded(maxLength + 1);
    for (int i = 0; i < n; ++i)
        out += RandomByte(rng);
    return out;
}

// Any text the code page can carry, except NUL (which ends a text).
QString RandomItem(QRandomGenerator& rng)
{
    QByteArray bytes = RandomBytes(rng, 8);
    bytes.replace('\0', 'x');
    return FromCodePage(bytes);
}

// What the receiver reads: the framing breaks end markers inside items.
QStringList AsFramed(QStringList items)
{
    const QString marker = QStringLiteral("\r\v\r");
    for (QString& item : items)
        while (item.contains(marker))
            item.replace(marker, QStringLiteral("\r?\r"));
    return items;
}

QStringList RandomItems(QRandomGenerator& rng)
{
    QStringList items;
    const int n = rng.bounded(6);
    for (int i = 0; i < n; ++i)
        items << RandomItem(rng);
    return items;
}
}  // namespace

TEST(ProtocolFuzzTest, RandomBytesInRandomReadsNeverBreakTheCutter)
{
    QRandomGenerator rng(20261207);
    TFrameCutter cutter(4096);
    QList<TClientRawInMessage> list;
    for (int round = 0; round < kRounds; ++round) {
        QByteArray chunk = RandomBytes(rng, 300);
        if (rng.bounded(4) == 0)
            chunk.insert(rng.bounded(int(chunk.size()) + 1), rng.bounded(2) ? kFrameStart : kFrameEnd);
        cutter.Append(chunk);
        cutter.Split(list);
        for (const TClientRawInMessage& m : list) {
            TClientInputMessage in;
            if (m.ToInputMessage(&in)) {
                EXPECT_FALSE(m.IsMalformed());
            }
            m.GetReasonCode();
        }
        ASSERT_LE(cutter.Pending().size(), 4096 + 300 + 3);
    }
}

TEST(ProtocolFuzzTest, FramedRandomLinesSurviveRandomChunkingAndStrayBytes)
{
    QRandomGenerator rng(4242);
    for (int round = 0; round < kRounds / 10; ++round) {
        QByteArray stream;
        QList<QStringList> sent;
        const int frames = 1 + rng.bounded(5);
        for (int f = 0; f < frames; ++f) {
            QStringList items = RandomItems(rng);
            items.prepend(QStringLiteral("BROADCAST_MESSAGE"));
            sent << AsFramed(items);
            // Stray bytes between frames hold no CR, so they cannot be
            // mistaken for a marker, and no NUL, which ends a read.
            QByteArray stray = RandomBytes(rng, 6);
            stray.replace('\r', 'r').replace('\0', 'z');
            stream += stray;
            stream += FrameLine(CommaTextFromList(items));
        }
        TFrameCutter cutter;
        QList<QStringList> received;
        QList<TClientRawInMessage> list;
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype n = std::min<qsizetype>(1 + rng.bounded(40), stream.size() - at);
            cutter.Append(QByteArrayView(stream).sliced(at, n));
            at += n;
            cutter.Split(list);
            for (const TClientRawInMessage& m : list)
                received << m.Fields;
        }
        ASSERT_EQ(received, sent) << "round " << round;
    }
}

TEST(ProtocolFuzzTest, CommaTextReadsBackWhatWasWrittenAndSurvivesGarbage)
{
    QRandomGenerator rng(77);
    for (int round = 0; round < kRounds; ++round) {
        const QStringList items = RandomItems(rng);
        bool malformed = true;
        ASSERT_EQ(CommaTextToList(CommaTextFromList(items), &malformed), items) << round;
        EXPECT_FALSE(malformed);
        const QByteArray junk = RandomBytes(rng, 60);
        CommaTextToList(QString::fromLatin1(junk), &malformed);
        TClientRawInMessage raw(QString::fromLatin1(junk));
        TClientInputMessage in;
        raw.ToInputMessage(&in);
    }
}
