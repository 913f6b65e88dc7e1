// The drag-scrolling tree: its tick rules and the timer's life with a drag.
#include "foundation/scgtreeview.h"

#include <gtest/gtest.h>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

TEST(SCGTreeViewRules, NearTheTopEdgeSlowBeyondItFast)
{
    const int top = 100, bottom = 300, zone = 16;
    auto near = DecideAutoScroll(top + 5, top, bottom, zone, true, true);
    EXPECT_TRUE(near.Up);
    EXPECT_FALSE(near.Down);
    EXPECT_EQ(near.Interval, 100);
    // Just outside, still within the zone: the near rule.
    EXPECT_EQ(DecideAutoScroll(top - 5, top, bottom, zone, true, true).Interval, 100);
    auto beyond = DecideAutoScroll(top - 40, top, bottom, zone, true, true);
    EXPECT_TRUE(beyond.Up);
    EXPECT_EQ(beyond.Interval, 25);
    // Well inside: nothing.
    auto middle = DecideAutoScroll(200, top, bottom, zone, true, true);
    EXPECT_FALSE(middle.Up || middle.Down);
    EXPECT_EQ(middle.Interval, 0);
}

TEST(SCGTreeViewRules, BottomEdgeAndTheEndsOfTheRange)
{
    const int top = 100, bottom = 300, zone = 16;
    EXPECT_EQ(DecideAutoScroll(bottom - 3, top, bottom, zone, true, true).Interval, 100);
    auto beyond = DecideAutoScroll(bottom + 50, top, bottom, zone, true, true);
    EXPECT_TRUE(beyond.Down);
    EXPECT_EQ(beyond.Interval, 25);
    // At the first line nothing scrolls up, at the last nothing down.
    EXPECT_FALSE(DecideAutoScroll(top - 40, top, bottom, zone, false, true).Up);
    EXPECT_FALSE(DecideAutoScroll(bottom + 40, top, bottom, zone, true, false).Down);
    // A tree lower than twice the zone: both edges in one tick, the second rule's interval wins.
    auto both = DecideAutoScroll(110, 100, 120, zone, true, true);
    EXPECT_TRUE(both.Up && both.Down);
}

namespace {
void Fill(TSCGTreeView& tree, int count)
{
    for (int i = 0; i < count; ++i)
        tree.addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("Node %1").arg(i)}));
}
}  // namespace

TEST(SCGTreeView, ScrollsALinePerTickAndStopsAtTheFirstLine)
{
    TSCGTreeView tree;
    Fill(tree, 200);
    tree.resize(200, 150);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QScrollBar* bar = tree.verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_FALSE(tree.hasAutoScroll());
    EXPECT_GT(tree.ScrollZone(), 0);

    bar->setValue(5);
    tree.BeginDragScroll();
    EXPECT_TRUE(tree.ScrollTimer().isActive());
    EXPECT_EQ(tree.ScrollTimer().interval(), 100);
    const QRect screen(tree.mapToGlobal(QPoint(0, 0)), tree.size());

    tree.AutoScrollTick(QPoint(screen.center().x(), screen.top() + 2));
    EXPECT_EQ(bar->value(), 4);
    EXPECT_EQ(tree.ScrollTimer().interval(), 100);

    tree.AutoScrollTick(QPoint(screen.center().x(), screen.top() - 100));
    EXPECT_EQ(bar->value(), 3);
    EXPECT_EQ(tree.ScrollTimer().interval(), 25);

    bar->setValue(0);
    tree.AutoScrollTick(QPoint(screen.center().x(), screen.top() - 100));
    EXPECT_EQ(bar->value(), 0);
    // The timer keeps its last interval while the drag lasts.
    EXPECT_EQ(tree.ScrollTimer().interval(), 25);

    tree.AutoScrollTick(QPoint(screen.center().x(), screen.top() + screen.height() + 100));
    EXPECT_EQ(bar->value(), 1);

    tree.EndDragScroll();
    EXPECT_FALSE(tree.ScrollTimer().isActive());
}

TEST(SCGTreeView, TreeWithoutScrollBarNeverScrolls)
{
    TSCGTreeView tree;
    Fill(tree, 3);
    tree.resize(200, 300);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    tree.BeginDragScroll();
    EXPECT_FALSE(tree.ScrollTimer().isActive());
    EXPECT_FALSE(tree.HasVertScroll());
    const QRect screen(tree.mapToGlobal(QPoint(0, 0)), tree.size());
    tree.AutoScrollTick(QPoint(screen.center().x(), screen.top() + screen.height() + 50));
    EXPECT_EQ(tree.verticalScrollBar()->value(), 0);
    tree.EndDragScroll();
}

TEST(SCGTreeView, LeavingTheTreeDuringADragClearsTheHighlightOnce)
{
    TSCGTreeView tree;
    Fill(tree, 200);
    tree.resize(200, 150);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy cleared(&tree, &TSCGTreeView::DropHighlightCleared);
    tree.BeginDragScroll();
    EXPECT_TRUE(tree.CursorInside());
    const QRect screen(tree.mapToGlobal(QPoint(0, 0)), tree.size());
    const QPoint outside(screen.left() + screen.width() + 200, screen.center().y());
    tree.AutoScrollTick(outside);
    tree.AutoScrollTick(outside);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_FALSE(tree.CursorInside());
    tree.AutoScrollTick(screen.center());
    EXPECT_TRUE(tree.CursorInside());
    tree.EndDragScroll();
}
