// The options dialog on real "Settings.ini" and "FormSettings.ini" files,
// offscreen: what it opens with, the rules of its edits and passwords, OK,
// Cancel, Esc and the close box, a failed write on OK, and the running
// program following applied options at once (tree, popups, message editor).
#include "data/folderstree.h"
#include "foundation/images.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "foundation/yebcorner.h"
#include "messaging/popupwin.h"
#include "panefixture.h"
#include "platform/profilefile.h"
#include "support/messageanswerer.h"
#include "support/pythonini.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmmessageeditor.h"
#include "ui/main/frmoptions.h"
#include "ui/main/optionsrules.h"
#include "ui/main/updown.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTest>

TEST(OptionsRules, DelayEditPasswordsPageAndColour)
{
    // The delay: numbers clamped into 0..180, anything else the stored delay.
    EXPECT_EQ(PopupDelayEdit(QStringLiteral("500"), 5).Position, 180);
    EXPECT_EQ(PopupDelayEdit(QStringLiteral("500"), 5).Text, QStringLiteral("180"));
    EXPECT_EQ(PopupDelayEdit(QStringLiteral("-4"), 5).Text, QStringLiteral("0"));
    EXPECT_EQ(PopupDelayEdit(QStringLiteral("007"), 5).Text, QStringLiteral("7"));
    EXPECT_EQ(PopupDelayEdit(QStringLiteral("7x"), 5).Text, QStringLiteral("5"));
    EXPECT_EQ(PopupDelayEdit(QString(), 12).Position, 12);
    EXPECT_EQ(PopupDelayEdit(QStringLiteral("99999999999"), 12).Position, 12);

    EXPECT_FALSE(NewPasswordDiffers(QStringLiteral("rIMO"), QStringLiteral("Rimo")));
    EXPECT_TRUE(NewPasswordDiffers(QStringLiteral("Rimo2"), QStringLiteral("Rimo")));
    const TNPasswordCheck ok = CheckNewPassword(QStringLiteral("Neu"), QStringLiteral("NEU"), RoleWordUser);
    EXPECT_TRUE(ok.Matched);
    EXPECT_EQ(ok.Message, QStringLiteral("New User Password set successfully."));
    const TNPasswordCheck bad = CheckNewPassword(QStringLiteral("Neu"), QStringLiteral("Nue"), RoleWordAdmin);
    EXPECT_FALSE(bad.Matched);
    EXPECT_EQ(bad.Message,
              QStringLiteral("The two values entered don't match. Administrator password was NOT changed."));

    EXPECT_EQ(PageToShow(9, 6, 4), 4);
    EXPECT_EQ(PageToShow(-1, 6, 4), 4);
    EXPECT_EQ(PageToShow(5, 6, 4), 5);
    EXPECT_EQ(BGRFromColor(QColor(0x11, 0x22, 0x33)), 0x332211u);
    EXPECT_EQ(ColorFromBGR(BGRFromColor(QColor(Qt::red))), QColor(Qt::red));
}

namespace {
// Replaces the edit's text as typed keys.
void Retype(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.Path());
        m_options = std::make_unique<TDModOptions>();
        m_placement = std::make_unique<TFormSettingsFile>();
    }
    void TearDown() override
    {
        m_dialog.reset();
        m_placement.reset();
        m_options.reset();
        SetProgramFolder(QString());
        PopupWinDelay = 60;
        PopupWinPos = 3;
    }
    TFormOptions& Open()
    {
        m_dialog = std::make_unique<TFormOptions>();
        m_dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
        return *m_dialog;
    }
    TNOption* Option(const char* name) { return Options->OptionByName(QString::fromLatin1(name)); }
    QString SettingsPath() const { return m_folder.File(QStringLiteral("Settings.ini")); }
    QString SettingsText() const
    {
        QFile file(SettingsPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    TempFolder m_folder;
    MessageAnswerer m_answers;
    std::unique_ptr<TDModOptions> m_options;
    std::unique_ptr<TFormSettingsFile> m_placement;
    std::unique_ptr<TFormOptions> m_dialog;
};
}  // namespace

TEST_F(OptionsDialogTest, OpensWithTheStoredValuesOnTheRememberedPageAndEscWritesNothing)
{
    Option("PopupWinPos")->SetValue(3);
    Option("PopupWinDelay")->SetValue(12);
    Option("MaxNumericLength")->SetValue(40);
    Option("DatabaseCaptionColor")->SetValue(0x0000FF);
    Option("LogonAsUser")->SetValue(true);
    Option("LogonAsAdmin")->SetValue(false);
    Options->SaveToFile();
    const QString stored = SettingsText();
    m_placement->File().WriteInteger(QStringLiteral("TFormOptions"), QStringLiteral("ActiveTabIndex"), 9);

    TFormOptions& dialog = Open();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("  Tovix Options"));
    QStringList tabs;
    for (int i = 0; i < dialog.pgOptions->count(); ++i)
        tabs << dialog.pgOptions->tabText(i) + (dialog.pgOptions->isTabVisible(i) ? QString() : QStringLiteral("(h)"));
    EXPECT_EQ(tabs, (QStringList{"Message Editor", "Recipients", "Contacts Tree", "Shared Data(h)", "Passwords",
                                 "PopupWin"}));
    // 9 names no page: the designed one.
    EXPECT_EQ(dialog.pgOptions->currentWidget(), dialog.tsPasswords);
    // Ctrl+Tab and Ctrl+Shift+Tab go round the shown pages only.
    QList<QWidget*> round;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(dialog.pgOptions, Qt::Key_Tab, Qt::ControlModifier);
        round << dialog.pgOptions->currentWidget();
    }
    EXPECT_EQ(round, (QList<QWidget*>{dialog.tsPopupWin, dialog.tsMessageEditor, dialog.tsRecipients,
                                      dialog.tsContactsTree, dialog.tsPasswords}));
    QTest::keyClick(dialog.pgOptions, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dialog.pgOptions->currentWidget(), dialog.tsContactsTree);
    dialog.pgOptions->setCurrentWidget(dialog.tsPasswords);
    EXPECT_FALSE(dialog.chkMessagesToGroupMembersSequentially->isVisibleTo(dialog.tsRecipients));
    EXPECT_FALSE(dialog.chkEnableTextFileRecipients->isVisibleTo(dialog.tsRecipients));
    EXPECT_TRUE(dialog.chkAllowSendingEmptyMessages->isChecked());
    EXPECT_TRUE(dialog.chkPopupForFailure->isChecked());
    EXPECT_EQ(dialog.edtFollowedByChar->text(), QStringLiteral(":"));
    EXPECT_EQ(dialog.edtNumericAllowedChars->text(), QStringLiteral("][-0123456789"));
    EXPECT_EQ(dialog.edtMaxNumericLength->text(), QStringLiteral("40"));
    EXPECT_TRUE(dialog.edtMaxNumericLength->isReadOnly());
    EXPECT_EQ(dialog.edPopupWinDelay->text(), QStringLiteral("12"));
    EXPECT_EQ(dialog.rgPopupWinPosItems->checkedId(), 3);
    EXPECT_EQ(dialog.lblDatabaseCaptionColor->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(dialog.rbLogonAsUser->isChecked());
    EXPECT_EQ(dialog.edtNewPasswordAdmin->text(), QStringLiteral("Brask"));
    EXPECT_EQ(dialog.edtConfirmPasswordUser->text(), QStringLiteral("Rimo"));
    EXPECT_EQ(dialog.edtNewPasswordUser->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.edtConfirmPasswordAdmin->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                                 dialog.edtConfirmPasswordAdmin),
              int('*'));
    EXPECT_EQ(dialog.grpAdminPassword->title(), QStringLiteral(" ADMINISTRATOR PASSWORD "));
    EXPECT_EQ(dialog.rbLogonAsAdmin->text(), QStringLiteral("Logon as A&dministrator"));
    EXPECT_NE(dialog.findChild<TYebCorner*>(QStringLiteral("YebCorner1")), nullptr);

    // Nothing changed: OK is greyed, so Enter does nothing either.
    EXPECT_TRUE(WaitUntil([&] { return !dialog.btnOK->isEnabled(); }));
    EXPECT_FALSE(dialog.actOk->isEnabled());
    EXPECT_FALSE(dialog.actApplyUserPass->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());

    // Esc after edits: Cancel, every value back, nothing written.
    dialog.pgOptions->setCurrentWidget(dialog.tsPopupWin);
    dialog.chkPopupForSuccess->click();
    dialog.updMaxNumericLength->btnUp->click();
    EXPECT_EQ(Option("MaxNumericLength")->AsInteger(), 41);
    EXPECT_TRUE(WaitUntil([&] { return dialog.btnOK->isEnabled(); }));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(Options->Modified());
    EXPECT_EQ(Option("MaxNumericLength")->AsInteger(), 40);
    EXPECT_EQ(SettingsText(), stored);
    m_dialog.reset();
    // The page shown is kept.
    EXPECT_EQ(m_placement->File().ReadInteger(QStringLiteral("TFormOptions"), QStringLiteral("ActiveTabIndex"), -1), 5);
    TFormOptions& again = Open();
    EXPECT_EQ(again.pgOptions->currentWidget(), again.tsPopupWin);
    EXPECT_TRUE(m_answers.Texts().isEmpty());
}

TEST_F(OptionsDialogTest, PopupDelayEditClampsAndRestoresAndTheCloseBoxLeavesEditsPending)
{
    TFormOptions& dialog = Open();
    Retype(dialog.edPopupWinDelay, QStringLiteral("500"));
    EXPECT_EQ(dialog.edPopupWinDelay->text(), QStringLiteral("180"));
    EXPECT_EQ(dialog.udPopupWinDelay->Position(), 180);
    EXPECT_EQ(Option("PopupWinDelay")->AsInteger(), 180);
    dialog.udPopupWinDelay->btnDown->click();
    EXPECT_EQ(dialog.edPopupWinDelay->text(), QStringLiteral("179"));
    EXPECT_EQ(Option("PopupWinDelay")->AsInteger(), 179);
    // The arrows are no focus stop of their own: one Tab leaves the edit.
    dialog.edPopupWinDelay->setFocus();
    QWidget* next = dialog.edPopupWinDelay->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_NE(next, static_cast<QWidget*>(dialog.udPopupWinDelay));
    // A letter, or an empty edit, brings the current delay back.
    Retype(dialog.edPopupWinDelay, QStringLiteral("x"));
    EXPECT_EQ(dialog.edPopupWinDelay->text(), QStringLiteral("179"));
    Retype(dialog.edPopupWinDelay, QString());
    EXPECT_EQ(dialog.edPopupWinDelay->text(), QStringLiteral("179"));
    EXPECT_EQ(Option("PopupWinDelay")->AsInteger(), 179);

    // The close box runs neither action: the edit stays in the store,
    // unapplied, and a new dialog applies it on OK.
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(Option("PopupWinDelay")->Modified());
    EXPECT_EQ(PopupWinDelay, 60);
    m_dialog.reset();
    TFormOptions& second = Open();
    EXPECT_EQ(second.edPopupWinDelay->text(), QStringLiteral("179"));
    EXPECT_TRUE(WaitUntil([&] { return second.btnOK->isEnabled(); }));
    second.btnOK->click();
    EXPECT_EQ(second.result(), QDialog::Accepted);
    EXPECT_EQ(PopupWinDelay, 179);
    EXPECT_TRUE(SettingsText().contains(QStringLiteral("PopupWinDelay=179\n")));
}

TEST_F(OptionsDialogTest, PasswordsApplyOnlyAMatchingNewOneAndCancelTakesItBack)
{
    TFormOptions& dialog = Open();
    // Letter case alone is no new password.
    Retype(dialog.edtNewPasswordUser, QStringLiteral("rIMO"));
    dialog.UpdateActions();
    EXPECT_FALSE(dialog.btnApplyUserPass->isEnabled());

    // Not confirmed: a warning, both edits back to the current password.
    Retype(dialog.edtNewPasswordAdmin, QStringLiteral("Secret"));
    Retype(dialog.edtConfirmPasswordAdmin, QStringLiteral("Secrte"));
    EXPECT_TRUE(WaitUntil([&] { return dialog.btnApplyAdminPass->isEnabled(); }));
    dialog.btnApplyAdminPass->click();
    ASSERT_EQ(m_answers.Requests().size(), 1);
    EXPECT_EQ(m_answers.Requests()[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(m_answers.Requests()[0].Text,
              QStringLiteral("The two values entered don't match. Administrator password was NOT changed."));
    EXPECT_EQ(dialog.edtNewPasswordAdmin->text(), QStringLiteral("Brask"));
    EXPECT_EQ(dialog.edtConfirmPasswordAdmin->text(), QStringLiteral("Brask"));
    EXPECT_EQ(Option("AdminPassword")->AsString(), QStringLiteral("Brask"));

    // Confirmed (letter case aside): kept as typed, pending until OK.
    Retype(dialog.edtNewPasswordUser, QStringLiteral("Neu"));
    Retype(dialog.edtConfirmPasswordUser, QStringLiteral("NEU"));
    dialog.UpdateActions();
    dialog.btnApplyUserPass->click();
    ASSERT_EQ(m_answers.Requests().size(), 2);
    EXPECT_EQ(m_answers.Requests()[1].Type, TMsgDlgType::mtInformation);
    EXPECT_EQ(m_answers.Requests()[1].Text, QStringLiteral("New User Password set successfully."));
    EXPECT_EQ(Option("UserPassword")->AsString(), QStringLiteral("Neu"));
    EXPECT_EQ(dialog.CurrentUserPassword, QStringLiteral("Neu"));
    EXPECT_FALSE(dialog.actApplyUserPass->isEnabled());

    dialog.btnCancel->click();
    EXPECT_EQ(Option("UserPassword")->AsString(), QStringLiteral("Rimo"));
    EXPECT_FALSE(QFileInfo::exists(SettingsPath()));
}

TEST_F(OptionsDialogTest, UncheckedPrefixGreysItsDependantsAndKeepsTheirValues)
{
    Option("AddDisplayNameToMessage")->SetValue(true);
    Option("PrefixAddInEditor")->SetValue(true);
    Option("FollowedByChar")->SetValue(QStringLiteral(">"));
    TFormOptions& dialog = Open();
    dialog.pgOptions->setCurrentWidget(dialog.tsMessageEditor);
    EXPECT_TRUE(dialog.edtFollowedByChar->isEnabled());
    EXPECT_TRUE(dialog.chkPrefixAddInEditor->isEnabled());
    EXPECT_EQ(dialog.edtFollowedByChar->maxLength(), 1);
    dialog.chkAddDisplayNameToMessage->click();
    EXPECT_FALSE(dialog.lblFollowedByChar->isEnabled());
    EXPECT_FALSE(dialog.edtFollowedByChar->isEnabled());
    EXPECT_FALSE(dialog.chkPrefixAddInEditor->isEnabled());
    EXPECT_NE(dialog.edtFollowedByChar->palette().color(QPalette::Disabled, QPalette::Base), QColor(Qt::white));
    EXPECT_FALSE(Option("AddDisplayNameToMessage")->AsBool());
    EXPECT_TRUE(Option("PrefixAddInEditor")->AsBool());
    EXPECT_EQ(Option("FollowedByChar")->AsString(), QStringLiteral(">"));

    dialog.chkAllowSendingEmptyMessages->click();
    EXPECT_FALSE(dialog.chkWarnOnEmptyMessages->isEnabled());
    dialog.chkAllowSendingEmptyMessages->click();
    EXPECT_TRUE(dialog.chkWarnOnEmptyMessages->isEnabled());
}

TEST_F(OptionsDialogTest, FailedWriteOnOkIsShownAndKeepsTheDialogOpenWithTheChangesPending)
{
    TFormOptions& dialog = Open();
    dialog.pgOptions->setCurrentWidget(dialog.tsPopupWin);
    dialog.rgPopupWinPosItems->button(1)->click();
    Retype(dialog.edPopupWinDelay, QStringLiteral("9"));
    // A folder in the file's place: every write fails.
    ASSERT_TRUE(QDir(m_folder.Path()).mkdir(QStringLiteral("Settings.ini")));
    EXPECT_TRUE(WaitUntil([&] { return dialog.btnOK->isEnabled(); }));
    dialog.btnOK->click();
    ASSERT_EQ(m_answers.Requests().size(), 1);
    EXPECT_EQ(m_answers.Requests()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(m_answers.Requests()[0].Text, QStringLiteral("Unable to write to ") + SettingsPath());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(Option("PopupWinPos")->Modified());
    EXPECT_EQ(dialog.edPopupWinDelay->text(), QStringLiteral("9"));
    EXPECT_TRUE(WaitUntil([&] { return dialog.btnOK->isEnabled(); }));

    // Cancel now: the values in effect are the saved ones again.
    EXPECT_EQ(PopupWinDelay, 9);
    dialog.btnCancel->click();
    EXPECT_EQ(PopupWinDelay, 5);
    EXPECT_EQ(PopupWinPos, 3);

    // Once the file can be written, OK applies and closes.
    ASSERT_TRUE(QDir(m_folder.Path()).rmdir(QStringLiteral("Settings.ini")));
    m_dialog.reset();
    TFormOptions& again = Open();
    again.rgPopupWinPosItems->button(1)->click();
    again.UpdateActions();
    again.btnOK->click();
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(PopupWinPos, 2);
    EXPECT_TRUE(SettingsText().contains(QStringLiteral("PopupWinPos=1\n")));
}

namespace {
// The whole main window with its panes on real files.
class OptionsAppliedTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        FreeAllPopupWins();
        main.reset();
        images.reset();
        LogonRole = RoleUser;
        PopupWinDelay = 60;
        PopupWinPos = 3;
        AddDisplayNameToMessage = false;
        FollowedByChar = QStringLiteral(":");
        DatabaseCaptionColor = 16711680;
    }

    TPaneWorld world;
    MessageAnswerer answers;
    std::unique_ptr<TFormMain> main;
    std::unique_ptr<TDataModuleImages> images;
};

}  // namespace

TEST_F(OptionsAppliedTest, OkPutsTheChangedOptionsIntoEffectAtOnceAndWritesThem)
{
    world.AddContacts({QStringLiteral("Alice")});
    // A hand-made "Settings.ini" others may read: OK leaves it to its owner.
    const QString settings = world.dbs.Folder() + QStringLiteral("Settings.ini");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Logon]\nLogonOnStart=0\n");
    }
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile::setPermissions(settings, owner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    world.Start();
    world.SetOption("LogonAsUser", true);
    main = std::make_unique<TFormMain>();
    images = std::make_unique<TDataModuleImages>();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    ASSERT_TRUE(WaitUntil([&] { return main->FormFoldersTree && main->FormMessageEditor; }));
    TSCGTreeView* tree = main->FormFoldersTree->tvFolders;
    EXPECT_EQ(tree->iconSize(), QSize(16, 16));
    EXPECT_FALSE(main->FormMessageEditor->lblPrefixIndicator->isVisible());

    // The options are the administrator's: greyed for the user, under Tools.
    EXPECT_TRUE(WaitUntil([&] { return !main->actOptionsNew->isEnabled(); }));
    EXPECT_TRUE(main->mnuTools->actions().contains(main->actOptionsNew));
    EXPECT_EQ(main->actOptionsNew->text(), QStringLiteral("&Options"));
    LogonRole = RoleAdmin;
    ASSERT_TRUE(WaitUntil([&] { return main->actOptionsNew->isEnabled(); }));

    bool ran = false;
    WhenModal<TFormOptions>([&](TFormOptions* dialog) {
        ran = true;
        dialog->cbLargeTreeIcons->click();
        WhenModal<QColorDialog>([](QColorDialog* colours) {
            colours->setCurrentColor(QColor(Qt::red));
            colours->accept();
        });
        dialog->btnDatabaseCaptionColor->click();
        dialog->chkAddDisplayNameToMessage->click();
        Retype(dialog->edtFollowedByChar, QStringLiteral(";"));
        dialog->rgPopupWinPosItems->button(3)->click();
        Retype(dialog->edPopupWinDelay, QStringLiteral("7"));
        dialog->chkPopupForSuccess->click();
        dialog->UpdateActions();
        dialog->btnOK->click();
    });
    main->actOptionsNew->trigger();
    ASSERT_TRUE(ran);
    EXPECT_TRUE(answers.Texts().isEmpty()) << qPrintable(answers.Texts().join('\n'));

    // The tree: large images, captions in the new colour.
    EXPECT_EQ(tree->iconSize(), QSize(32, 32));
    EXPECT_EQ(DatabaseCaptionColor, 0x0000FFu);
    const TNodeColors colours = TreeCustomDrawItem(TNTreeNode::From(tree->topLevelItem(0)), false, false);
    EXPECT_EQ(colours.Text, QColor(Qt::red));
    // The message editor counts with the new prefix.
    EXPECT_TRUE(main->FormMessageEditor->lblPrefixIndicator->isVisible());
    EXPECT_EQ(main->FormMessageEditor->lblPrefixIndicator->text(), QStringLiteral("(Name;)"));
    // The next popup: middle of the left edge, seven seconds.
    TPopupWin* popup = ShowPopupWin(QStringLiteral("Hi"), pkMessage);
    EXPECT_EQ(popup->Position(), 0);
    EXPECT_EQ(popup->DelayMs(), 7000);
    EXPECT_TRUE(PopupForSuccess);

    EXPECT_EQ(QFile::permissions(settings) & 0x7077, owner & 0x7077);
    const QStringList lines = ReadIniWithPython(settings);
    if (lines.isEmpty())
        GTEST_SKIP() << "python3 not installed";
    for (const char* expected : {"TreeView|LargeTreeIcons|1", "TreeView|DatabaseCaptionColor|255",
                                 "MessageEditor|AddDisplayNameToMessage|1", "MessageEditor|FollowedByChar|\";\"",
                                 "PopupWin|PopupWinPos|3", "PopupWin|PopupWinDelay|7", "PopupWin|PopupForSuccess|1"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(expected))) << expected << "\n" << qPrintable(lines.join('\n'));
}
