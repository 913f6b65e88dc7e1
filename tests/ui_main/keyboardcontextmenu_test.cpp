// Shift+F10 asks the focused control for its context menu, at its current
// item, as the Menu key does; F10 alone and a second press while a menu is
// open ask for nothing.
#include "ui/main/keyboardcontextmenu.h"

#include <gtest/gtest.h>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

TEST(KeyboardContextMenu, ShiftF10OpensTheFocusedControlsMenuAtItsCurrentItem)
{
    auto* filter = new TNKeyboardContextMenu(qApp);
    qApp->installEventFilter(filter);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* tree = new QTreeWidget(&window);
    layout->addWidget(tree);
    for (int i = 0; i < 5; ++i)
        new QTreeWidgetItem(tree, QStringList{QStringLiteral("Node %1").arg(i)});
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    QSignalSpy asked(tree, &QWidget::customContextMenuRequested);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(3));

    QTest::keyClick(tree, Qt::Key_F10);
    EXPECT_EQ(asked.count(), 0);
    QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(asked.count(), 1);
    const QPoint at = asked.first().first().toPoint();
    EXPECT_TRUE(tree->visualItemRect(tree->topLevelItem(3)).contains(at));

    // With a menu open the keys belong to it.
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    menu.popup(tree->mapToGlobal(at));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(asked.count(), 1);
    menu.close();
    delete filter;
}
