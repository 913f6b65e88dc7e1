// Popup placement, slide-in, slide-out and background arithmetic.
#include "messaging/popupgeometry.h"

#include <gtest/gtest.h>

namespace {
const QRect kArea(0, 0, 1000, 700);  // right 1000, bottom 700 (exclusive)
const QSize kSize(240, 240);

// Runs the slide-in tick by tick until it stops; returns the ticks.
int SlideIn(int edge, QPoint* at)
{
    const QPoint start = PopupStartPosition(edge, kArea, kSize);
    const QPoint final = PopupFinalPosition(edge, kArea, kSize);
    *at = start;
    int ticks = 0;
    while (*at != final && ticks < 10000)
        *at = PopupSlideInPlace(start, final, qint64(++ticks) * PopupTickMs);
    return ticks;
}
}  // namespace

TEST(PopupGeometry, StartsJustOutsideTheWorkAreaAtEachEdge)
{
    EXPECT_EQ(PopupStartPosition(0, kArea, kSize), QPoint(1 - 240, (700 - 240) / 2));
    EXPECT_EQ(PopupStartPosition(1, kArea, kSize), QPoint(999, 230));
    EXPECT_EQ(PopupStartPosition(2, kArea, kSize), QPoint(760, 1 - 240));
    EXPECT_EQ(PopupStartPosition(3, kArea, kSize), QPoint(760, 699));
    // Unknown codes behave as the bottom right corner.
    EXPECT_EQ(PopupStartPosition(9, kArea, kSize), PopupStartPosition(3, kArea, kSize));
    // An odd middle truncates toward zero.
    EXPECT_EQ(PopupStartPosition(0, QRect(0, 0, 100, 101), QSize(10, 10)).y(), 45);
}

TEST(PopupGeometry, SlideInStopsExactlyAtTheFinalPlace)
{
    QPoint at;
    SlideIn(0, &at);
    EXPECT_EQ(at, QPoint(0, 230));
    SlideIn(1, &at);
    EXPECT_EQ(at, QPoint(760, 230));
    SlideIn(2, &at);
    EXPECT_EQ(at, QPoint(760, 0));
    const int moves = SlideIn(3, &at);
    EXPECT_EQ(at, QPoint(760, 460));
    EXPECT_GT(moves, 5);  // it slides, it does not jump
}

TEST(PopupGeometry, PlacesFollowTheElapsedTimeSpeedUpAndNeverPassTheTarget)
{
    EXPECT_EQ(PopupSpeed(0), 1);
    EXPECT_EQ(PopupSpeed(1), 1);
    EXPECT_EQ(PopupSpeed(11), 4);
    const QPoint start = PopupStartPosition(3, kArea, kSize);
    const QPoint final = PopupFinalPosition(3, kArea, kSize);
    // Ticks 1 and 2 move one pixel each; a late tick catches up at once.
    EXPECT_EQ(PopupSlideInPlace(start, final, 2 * PopupTickMs), start - QPoint(0, 2));
    EXPECT_EQ(PopupSlideInPlace(start, final, 0), start);
    EXPECT_EQ(PopupSlideInPlace(start, final, 60000), final);
    EXPECT_EQ(PopupSlideInStep(10 * PopupTickMs + 3), 10);
    // A popup taller or wider than the work area keeps its top left corner
    // inside it.
    EXPECT_EQ(PopupFinalPosition(3, kArea, QSize(240, 900)), QPoint(760, 0));
    EXPECT_EQ(PopupFinalPosition(1, QRect(0, 0, 200, 700), kSize), QPoint(0, 230));
}

TEST(PopupGeometry, SlideOutLeavesByTheSameEdgeFastThenSlower)
{
    for (int edge = 0; edge < 4; ++edge) {
        QPoint at;
        const int in = SlideIn(edge, &at);
        EXPECT_FALSE(PopupHasLeft(edge, kArea, kSize, at));
        const QPoint from = at;
        int ticks = 0;
        while (!PopupHasLeft(edge, kArea, kSize, at) && ticks < 10000)
            at = PopupSlideOutPlace(edge, from, in, qint64(++ticks) * PopupTickMs);
        EXPECT_LT(ticks, 10000) << edge;
    }
    const QPoint from(10, 10);
    EXPECT_EQ(PopupSlideOutPlace(0, from, 12, PopupTickMs), QPoint(6, 10));  // step 11: 4 pixels
    EXPECT_EQ(PopupSlideOutPlace(1, from, 1, 3 * PopupTickMs), QPoint(13, 10));
    EXPECT_EQ(PopupSlideOutPlace(2, from, 0, PopupTickMs), QPoint(10, 9));
    EXPECT_EQ(PopupSlideOutPlace(3, from, 0, PopupTickMs), QPoint(10, 11));
}

TEST(PopupGeometry, GradientRunsFromColor1TowardColor2PerChannel)
{
    // 0x00BBGGRR: white toward $8080F0 (red F0, green 80, blue 80).
    EXPECT_EQ(PopupGradientColor(0xFFFFFF, 0x8080F0, 0, 240), QColor(255, 255, 255));
    const QColor half = PopupGradientColor(0xFFFFFF, 0x8080F0, 120, 240);
    EXPECT_EQ(half.red(), 255 + (0xF0 - 255) * 120 / 240);
    EXPECT_EQ(half.green(), 255 + (0x80 - 255) * 120 / 240);
    EXPECT_EQ(half.blue(), 255 + (0x80 - 255) * 120 / 240);
    EXPECT_EQ(PopupGradientColor(0x777777, 0x777777, 0, 1), QColor(0x77, 0x77, 0x77));
}
