// The logon dialog: preselection, field rules, passwords, the entry points
// and the logon action.
#include "foundation/dmoptions.h"
#include "foundation/logonrole.h"
#include "platform/appterminate.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmlogon.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace {
class LogonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.Path());
        m_options = std::make_unique<TDModOptions>();
        LogonRole = RoleUser;
    }
    void TearDown() override
    {
        m_options.reset();
        SetProgramFolder(QString());
        LogonRole = RoleUser;
    }
    void SetOption(const char* name, const QVariant& value)
    {
        Options->OptionByName(QString::fromLatin1(name))->SetValue(value);
    }
    QString Option(const char* name) { return Options->OptionByName(QString::fromLatin1(name))->AsString(); }

    TempFolder m_folder;
    MessageAnswerer m_answers;
    std::unique_ptr<TDModOptions> m_options;
};
}  // namespace

TEST(LogonPassword, ComparisonIgnoresLetterCaseOnlyUnderEveryLocale)
{
    EXPECT_TRUE(LogonPasswordMatches(QStringLiteral("rImO"), QStringLiteral("Rimo")));
    EXPECT_TRUE(LogonPasswordMatches(QString(), QString()));
    EXPECT_FALSE(LogonPasswordMatches(QStringLiteral("Rim"), QStringLiteral("Rimo")));
    EXPECT_FALSE(LogonPasswordMatches(QString(), QStringLiteral("Rimo")));
    // Nothing but letter case, whatever the locale.
    const QLocale before;
    for (const char* name : {"en_US", "tr_TR", "C"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        EXPECT_TRUE(LogonPasswordMatches(QStringLiteral("RIMO"), QStringLiteral("Rimo"))) << name;
        EXPECT_FALSE(LogonPasswordMatches(QString::fromUtf8("\uFF32\uFF49\uFF4D\uFF4F"), QStringLiteral("Rimo")))
            << name;
        EXPECT_FALSE(LogonPasswordMatches(QString::fromUtf8("Ri\u00ADmo"), QStringLiteral("Rimo"))) << name;
        EXPECT_FALSE(LogonPasswordMatches(QString::fromUtf8("Ri\u200Bmo"), QStringLiteral("Rimo"))) << name;
        EXPECT_FALSE(LogonPasswordMatches(QString::fromUtf8("\u24C7imo"), QStringLiteral("Rimo"))) << name;
    }
    QLocale::setDefault(before);
}

TEST_F(LogonTest, ChoiceFollowsLogonAsUserOverTheDefaultRole)
{
    SetOption("LogonAsUser", false);
    TFormLogon dialog(1, true);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("  Logon to Tovix"));
    EXPECT_TRUE(dialog.rbAdmin->isChecked());
    EXPECT_TRUE(dialog.edtAdminPassword->isEnabled());
    EXPECT_FALSE(dialog.edtUserPassword->isEnabled());
    EXPECT_FALSE(dialog.lblUserPassword->isEnabled());
    EXPECT_EQ(dialog.rbUser->text(), QStringLiteral("Logon as &User"));
    EXPECT_EQ(dialog.rbAdmin->text(), QStringLiteral("Logon as &Administrator"));
    EXPECT_EQ(dialog.edtAdminPassword->echoMode(), QLineEdit::Password);

    SetOption("LogonAsUser", true);
    TFormLogon user(2, true);
    EXPECT_TRUE(user.rbUser->isChecked());
    EXPECT_TRUE(user.rbUser->isEnabled());
}

TEST_F(LogonTest, WithoutChoiceTheRadioButtonsAreDisabledAndSwitchingEmptiesTheOtherField)
{
    TFormLogon dialog(2, false);
    EXPECT_TRUE(dialog.rbAdmin->isChecked());
    EXPECT_FALSE(dialog.rbUser->isEnabled());
    EXPECT_FALSE(dialog.rbAdmin->isEnabled());

    TFormLogon free(1, true);
    free.rbUser->click();
    free.edtUserPassword->setText(QStringLiteral("typed"));
    free.rbAdmin->click();
    EXPECT_TRUE(free.edtUserPassword->text().isEmpty());
    EXPECT_FALSE(free.edtUserPassword->isEnabled());
    EXPECT_TRUE(free.edtAdminPassword->isEnabled());
}

TEST_F(LogonTest, WrongPasswordThreeTimesThenRightGivesThreeWarningsThenTheRole)
{
    SetOption("LogonAsUser", false);
    const QString right = Option("AdminPassword");
    WhenModal<TFormLogon>([right](TFormLogon* d) {
        for (int i = 0; i < 3; ++i) {
            d->edtAdminPassword->setText(QStringLiteral("wrong%1").arg(i));
            d->btnOK->click();
        }
        EXPECT_TRUE(d->isVisible());
        // The wrong text stands selected: the next try types over it.
        QTest::keyClicks(d->edtAdminPassword, right.toUpper());
        EXPECT_EQ(d->edtAdminPassword->text(), right.toUpper());
        d->btnOK->click();
    });
    EXPECT_EQ(LogonAtStartup(), RoleAdmin);
    EXPECT_EQ(LogonRole, RoleAdmin);
    ASSERT_EQ(m_answers.Texts().size(), 3);
    for (const TMessageRequest& r : m_answers.Requests()) {
        EXPECT_EQ(r.Text, QStringLiteral("Wrong Administrator Password. Please try again."));
        EXPECT_EQ(r.Type, TMsgDlgType::mtWarning);
        EXPECT_EQ(r.Buttons, int(mbOK));
    }
    EXPECT_EQ(LastShownRoleText(), RoleWordAdmin);
}

TEST_F(LogonTest, UserPasswordInOtherCaseLogsOnAsUser)
{
    SetOption("LogonAsUser", true);
    const QString right = Option("UserPassword");
    WhenModal<TFormLogon>([right](TFormLogon* d) {
        d->edtUserPassword->setText(right.toLower());
        QTest::keyClick(d->edtUserPassword, Qt::Key_Return);
    });
    LogonRole = RoleAdmin;
    EXPECT_EQ(LogonDialog(1, true), RoleUser);
    EXPECT_EQ(LogonRole, RoleUser);
    EXPECT_TRUE(m_answers.Texts().isEmpty());
}

TEST_F(LogonTest, CancelKeepsTheRoleAndStillShowsIt)
{
    WhenModal<TFormLogon>([](TFormLogon* d) { d->btnCancel->click(); });
    EXPECT_EQ(LogonDialog(1, true), 0);
    EXPECT_EQ(LogonRole, RoleUser);
    EXPECT_EQ(LastShownRoleText(), RoleWordUser);
}

TEST_F(LogonTest, LogonActionLogsOnAsAdministratorAndLogsOffWithoutAsking)
{
    EXPECT_EQ(LogonActionCaption(), QStringLiteral("&Logon as Administrator"));
    const QString right = Option("AdminPassword");
    WhenModal<TFormLogon>([right](TFormLogon* d) {
        EXPECT_TRUE(d->rbAdmin->isChecked());
        EXPECT_FALSE(d->rbUser->isEnabled());
        EXPECT_FALSE(d->edtUserPassword->isEnabled());
        d->edtAdminPassword->setText(right);
        d->btnOK->click();
    });
    ExecuteLogonAction();
    EXPECT_EQ(LogonRole, RoleAdmin);
    EXPECT_EQ(LogonActionCaption(), QStringLiteral("&Logoff as Administrator"));

    // Logging off: no dialog at all.
    ExecuteLogonAction();
    EXPECT_EQ(LogonRole, RoleUser);
    EXPECT_EQ(LastShownRoleText(), RoleWordUser);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Cancel from the user role keeps it.
    WhenModal<TFormLogon>([](TFormLogon* d) { d->reject(); });
    ExecuteLogonAction();
    EXPECT_EQ(LogonRole, RoleUser);
}

TEST_F(LogonTest, AfterARequestToEndTheDialogClosesAsCancelledAtOnce)
{
    TerminateApplication();
    EXPECT_EQ(LogonAtStartup(), 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ResetTerminateRequest();
    QCoreApplication::processEvents();  // the queued quit, harmless outside a loop
}

TEST_F(LogonTest, TheSplashClosingDuringTheStartUpLogonLeavesTheDialogOpen)
{
    ShowSplash(100, false);
    QPointer<TFormAbout> splash = FormAbout;
    ASSERT_FALSE(splash.isNull());
    QApplication::setActiveWindow(splash);
    HideSplash();
    const QString right = Option("AdminPassword");
    WhenModal<TFormLogon>([right, splash](TFormLogon* d) {
        // Answer only after the splash has gone.
        EXPECT_TRUE(WaitUntil([&] { return splash.isNull(); }, 10000));
        d->rbAdmin->click();
        d->edtAdminPassword->setText(right);
        d->btnOK->click();
    });
    EXPECT_EQ(LogonAtStartup(), RoleAdmin);
}
