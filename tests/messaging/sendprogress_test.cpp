// What the send path posts to the main thread is coalesced: the send bar's
// progress a few times a second (always the first and last position), the
// sent-messages report's refresh one at a time, and neither loses the last
// state.
#include "messaging/sendprogress.h"
#include "messaging/messagetable.h"
#include "messagingfixture.h"

#include <QCoreApplication>

namespace {
QList<int> Positions(const TMessageProbe& bar)
{
    QList<int> positions;
    for (const TMessageProbe::TEntry& e : bar.Entries)
        if (e.Msg == WM_SEND_PROGRESS)
            positions << int(e.LParam & 0xFFFF);
    return positions;
}

// Posts as fast as it can for an hour: only what must go out goes out.
constexpr int kLongIntervalMs = 3600 * 1000;
}  // namespace

TEST(SendProgressTest, ProgressPostsTheFirstAndLastPositionAndTheOneABatchStoppedAt)
{
    TMessageProbe bar;
    SendBarHandle = bar.Handle();
    {
        TNSendProgressPoster progress(7, kLongIntervalMs);
        for (int row = 1; row <= 1000; ++row)
            progress.Row(row, 1000);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Positions(bar), (QList<int>{1, 1000}));
    ASSERT_EQ(bar.Entries.size(), 2);
    EXPECT_EQ(bar.Entries.last().WParam, 7);
    EXPECT_EQ(bar.Entries.last().LParam, ProgressParam(1000, 1000));

    // A batch that ends part-way leaves the bar on the row it reached.
    bar.Entries.clear();
    {
        TNSendProgressPoster progress(8, kLongIntervalMs);
        for (int row = 1; row <= 500; ++row)
            progress.Row(row, 1000);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Positions(bar), (QList<int>{1, 500}));

    // With no interval every row is passed on.
    bar.Entries.clear();
    {
        TNSendProgressPoster progress(9, 0);
        for (int row = 1; row <= 5; ++row)
            progress.Row(row, 5);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Positions(bar), (QList<int>{1, 2, 3, 4, 5}));
    SendBarHandle = 0;
}

TEST(SendProgressTest, OneRefreshIsQueuedAtATimeAndAWriteAfterItsStartPostsTheNext)
{
    auto report = std::make_unique<TMessageProbe>();
    SentMessagesHandle = report->Handle();
    PostRefreshSentMessages();
    PostRefreshSentMessages();
    PostRefreshSentMessages();
    QCoreApplication::processEvents();
    EXPECT_EQ(report->Count(WM_REFRESH_SENT_MESSAGES), 1);
    // The report starts its refresh: what is logged from then on needs the
    // next one.
    SentMessagesRefreshTaken();
    PostRefreshSentMessages();
    QCoreApplication::processEvents();
    EXPECT_EQ(report->Count(WM_REFRESH_SENT_MESSAGES), 2);

    // A report closed with a refresh queued does not silence the next one.
    PostRefreshSentMessages();
    report = std::make_unique<TMessageProbe>();
    SentMessagesHandle = report->Handle();
    PostRefreshSentMessages();
    QCoreApplication::processEvents();
    EXPECT_EQ(report->Count(WM_REFRESH_SENT_MESSAGES), 1);
    SentMessagesHandle = 0;
    SentMessagesRefreshTaken();
}
