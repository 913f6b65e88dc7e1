// The size grip: its corner, its visibility rule and the sizing it does.
#include "foundation/yebcorner.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QVBoxLayout>

namespace {
struct GripWindow {
    QWidget form;
    QWidget* panel;
    TYebCorner* grip;
    GripWindow()
    {
        auto* layout = new QVBoxLayout(&form);
        panel = new QWidget(&form);
        layout->addWidget(panel);
        grip = new TYebCorner(panel);
        form.resize(300, 200);
    }
};
}  // namespace

TEST(YebCorner, SitsInTheParentsBottomRightCornerAndStays16By16)
{
    GripWindow w;
    w.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
    EXPECT_EQ(w.grip->size(), QSize(16, 16));
    EXPECT_EQ(w.grip->geometry().bottomRight(), w.panel->rect().bottomRight());
    EXPECT_EQ(w.grip->Form(), &w.form);

    w.form.resize(420, 260);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.grip->geometry().bottomRight() == w.panel->rect().bottomRight(); }))
        << "w.grip->geometry().bottomRight()";
    w.grip->resize(40, 40);
    EXPECT_EQ(w.grip->size(), QSize(16, 16));
    EXPECT_EQ(w.grip->cursor().shape(), Qt::SizeFDiagCursor);
}

TEST(YebCorner, HiddenWhileTheFormIsMaximisedShownAgainAfterRestore)
{
    GripWindow w;
    w.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
    EXPECT_TRUE(w.grip->isVisible());
    w.form.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.form.isMaximized(); })) << "w.form.isMaximized()";
    EXPECT_FALSE(w.grip->isVisible());
    w.form.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.form.isMaximized(); })) << "!w.form.isMaximized()";
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.grip->isVisible(); })) << "w.grip->isVisible()";
}

TEST(YebCorner, HiddenWhenTheParentReachedItsMaximumWidthOrHeight)
{
    GripWindow w;
    w.panel->setMaximumWidth(120);
    w.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.panel->width() == 120; })) << "w.panel->width()";
    EXPECT_FALSE(w.grip->isVisible());

    w.panel->setMaximumWidth(QWIDGETSIZE_MAX);
    w.panel->setMaximumHeight(5000);
    w.form.resize(310, 210);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.grip->isVisible(); })) << "w.grip->isVisible()";

    // A maximum the parent has not reached leaves the grip shown.
    w.panel->setMaximumHeight(60);
    w.form.resize(320, 220);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.panel->height() == 60; })) << "w.panel->height()";
    EXPECT_FALSE(w.grip->isVisible());
}

TEST(YebCorner, DraggingTheGripResizesTheWholeWindow)
{
    GripWindow w;
    w.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
    const QSize before = w.form.size();
    QTest::mousePress(w.grip, Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
    QTest::mouseMove(w.grip, QPoint(8 + 30, 8 + 20));
    QTest::mouseRelease(w.grip, Qt::LeftButton, Qt::NoModifier, QPoint(8 + 30, 8 + 20));
    EXPECT_EQ(w.form.size(), before + QSize(30, 20));
}
