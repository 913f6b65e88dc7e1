// Popup placement, slide-in, slide-out and background arithmetic.
#include "messaging/popupgeometry.h"

#include <gtest/gtest.h>

namespace {
const QRect kArea(0, 0, 1000, 700);  // right 1000, bottom 700 (exclusive)
const QSize kSize(240, 240);

// Runs the slide-in from the start place until it stops; returns the moves.
int SlideIn(int edge, QPoint* at)
{
    *at = PopupStartPosition(edge, kArea, kSize);
    int step = 0;
    while (!PopupAtFinalPosition(edge, kArea, kSize, *at) && step < 10000)
        *at = PopupSlideInStep(edge, kArea, kSize, *at, PopupSpeed(++step));
    return step;
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

TEST(PopupGeometry, SpeedGrowsWithTheStepAndNeverPassesTheTarget)
{
    EXPECT_EQ(PopupSpeed(0), 1);
    EXPECT_EQ(PopupSpeed(1), 1);
    EXPECT_EQ(PopupSpeed(11), 4);
    const QPoint nearly(760, 461);
    EXPECT_EQ(PopupSlideInStep(3, kArea, kSize, nearly, 50), QPoint(760, 460));
}

TEST(PopupGeometry, SlideOutLeavesByTheSameEdge)
{
    for (int edge = 0; edge < 4; ++edge) {
        QPoint at;
        SlideIn(edge, &at);
        EXPECT_FALSE(PopupHasLeft(edge, kArea, kSize, at));
        int ticks = 0;
        while (!PopupHasLeft(edge, kArea, kSize, at) && ticks < 10000)
            at = PopupSlideOutStep(edge, at, PopupSpeed(++ticks % 30));
        EXPECT_LT(ticks, 10000) << edge;
    }
    EXPECT_EQ(PopupSlideOutStep(0, QPoint(10, 10), 3), QPoint(7, 10));
    EXPECT_EQ(PopupSlideOutStep(1, QPoint(10, 10), 3), QPoint(13, 10));
    EXPECT_EQ(PopupSlideOutStep(2, QPoint(10, 10), 3), QPoint(10, 7));
    EXPECT_EQ(PopupSlideOutStep(3, QPoint(10, 10), 3), QPoint(10, 13));
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
