#include "foundation/logonrole.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>

namespace {
QIcon Solid(Qt::GlobalColor color)
{
    QPixmap p(16, 16);
    p.fill(color);
    return QIcon(p);
}

struct Shown {
    qint64 iconKey;
    QString text;
};

class RoleDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRoleIconProvider([this](int index) { return index == 0 ? userIcon : adminIcon; });
        SetLogonRoleDisplay(&context, [this](const QIcon& icon, const QString& text) {
            shown.push_back({icon.cacheKey(), text});
        });
    }
    void TearDown() override
    {
        SetLogonRoleDisplay(nullptr, {});
        SetRoleIconProvider({});
        LogonRole = RoleUser;
    }

    QIcon userIcon = Solid(Qt::green);
    QIcon adminIcon = Solid(Qt::red);
    QObject context;
    std::vector<Shown> shown;
};
}  // namespace

TEST_F(RoleDisplay, SwitchesIconAndWordAndArrivesQueued)
{
    EXPECT_EQ(LogonRole, RoleUser);
    EXPECT_EQ(RoleWordUser, "User");
    EXPECT_EQ(RoleWordAdmin, "Administrator");

    ShowLogonRole();
    EXPECT_TRUE(shown.empty());  // posted, not sent
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "User");
    EXPECT_EQ(shown[0].iconKey, userIcon.cacheKey());

    LogonRole = RoleAdmin;
    ShowLogonRole();
    ShowLogonRole();
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].text, "Administrator");
    EXPECT_EQ(shown[1].iconKey, adminIcon.cacheKey());
    EXPECT_EQ(shown[2].text, shown[1].text);
    EXPECT_EQ(shown[2].iconKey, shown[1].iconKey);

    // An unknown role shows what was shown last.
    LogonRole = 7;
    ShowLogonRole();
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[3].text, "Administrator");
    EXPECT_EQ(shown[3].iconKey, adminIcon.cacheKey());
    EXPECT_EQ(LastShownRoleText(), "Administrator");
}

TEST_F(RoleDisplay, DisplayGoneWithItsContextIsNotCalled)
{
    {
        QObject shortLived;
        SetLogonRoleDisplay(&shortLived, [this](const QIcon&, const QString& text) { shown.push_back({0, text}); });
        ShowLogonRole();
    }  // the queued call dies with its context
    QCoreApplication::processEvents();
    ShowLogonRole();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(LastShownRoleText(), "User");
}
