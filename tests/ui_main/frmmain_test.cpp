// The main window: role display, action updates, send progress drawn into
// the status bar, menus and the splitter keys.
#include "ui/main/frmmain.h"
#include "foundation/dmoptions.h"
#include "foundation/formsettings.h"
#include "foundation/images.h"
#include "foundation/logonrole.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"
#include "ui/main/statusbar.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QImage>
#include <QMenuBar>
#include <QSplitter>
#include <QTest>
#include <memory>

TEST(SendProgressRules, TextAndFilledWidth)
{
    EXPECT_EQ(SendProgressText(1, 3), QStringLiteral("Msg 1 of 3"));
    EXPECT_EQ(SendProgressText(3, 3), QStringLiteral("Msg 3 of 3"));
    EXPECT_TRUE(SendProgressText(0, 10).isEmpty());
    EXPECT_TRUE(SendProgressText(4, 3).isEmpty());
    EXPECT_EQ(SendProgressFillWidth(120, 1, 3), 40);
    EXPECT_EQ(SendProgressFillWidth(120, 3, 3), 120);
    EXPECT_EQ(SendProgressFillWidth(120, 0, 10), 0);
    // No division by a zero total, no fill past the panel.
    EXPECT_EQ(SendProgressFillWidth(120, 2, 0), 0);
    EXPECT_EQ(SendProgressFillWidth(120, 5, 3), 120);
}

namespace {
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.Path());
        m_options = std::make_unique<TDModOptions>();
        m_placement = std::make_unique<TFormSettingsFile>();
        LogonRole = RoleUser;
    }
    void TearDown() override
    {
        m_main.reset();
        m_images.reset();
        m_placement.reset();
        m_options.reset();
        SetProgramFolder(QString());
        LogonRole = RoleUser;
    }
    void SetOption(const char* name, const QVariant& value)
    {
        Options->OptionByName(QString::fromLatin1(name))->SetValue(value);
    }
    // Made like the start-up does: window first, images after it.
    TFormMain& ShowMain()
    {
        m_main = std::make_unique<TFormMain>();
        m_images = std::make_unique<TDataModuleImages>();
        m_main->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_main.get()));
        return *m_main;
    }
    QImage StatusBarImage()
    {
        TNStatusBar* bar = m_main->stbStatusBar;
        QImage image(bar->size(), QImage::Format_ARGB32);
        bar->render(&image);
        return image;
    }
    // True when some pixel of the rectangle differs from the colour.
    static bool AnyPixelOtherThan(const QImage& image, const QRect& rect, const QColor& colour)
    {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (image.pixelColor(x, y).rgb() != colour.rgb())
                    return true;
        return false;
    }

    TempFolder m_folder;
    MessageAnswerer m_answers;
    std::unique_ptr<TDModOptions> m_options;
    std::unique_ptr<TFormSettingsFile> m_placement;
    std::unique_ptr<TDataModuleImages> m_images;
    std::unique_ptr<TFormMain> m_main;
};
}  // namespace

TEST_F(MainWindowTest, WithoutLogonAtStartTheOptionChoosesTheRoleShownInPanelZero)
{
    SetOption("LogonOnStart", false);
    SetOption("LogonAsUser", false);
    TFormMain& main = ShowMain();
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Tovix 2"));
    EXPECT_TRUE(WaitUntil([&] { return main.stbStatusBar->PanelText(0) == RoleWordAdmin; }))
        << "main.stbStatusBar->PanelText(0)";
    EXPECT_EQ(LogonRole, RoleAdmin);
    EXPECT_FALSE(main.stbStatusBar->PanelIcon(0).isNull());
    EXPECT_TRUE(m_answers.Texts().isEmpty());
}

TEST_F(MainWindowTest, LogonAsUserStartsAsUserWithTheAdministratorActionsDisabled)
{
    SetOption("LogonOnStart", false);
    SetOption("LogonAsUser", true);
    TFormMain& main = ShowMain();
    QAction adminOnly(QStringLiteral("Admin"), &main);
    main.AddAdminAction(&adminOnly);
    EXPECT_TRUE(WaitUntil([&] { return main.stbStatusBar->PanelText(0) == RoleWordUser; }))
        << "main.stbStatusBar->PanelText(0)";
    EXPECT_EQ(LogonRole, RoleUser);
    EXPECT_TRUE(WaitUntil([&] { return !adminOnly.isEnabled(); })) << "!adminOnly.isEnabled()";
    EXPECT_EQ(main.actLogon->text(), QStringLiteral("&Logon as Administrator"));

    // The idle update follows a change of role.
    LogonRole = RoleAdmin;
    ShowLogonRole();
    EXPECT_TRUE(WaitUntil([&] { return adminOnly.isEnabled(); })) << "adminOnly.isEnabled()";
    EXPECT_TRUE(WaitUntil([&] { return main.actLogon->text() == QStringLiteral("&Logoff as Administrator"); }))
        << "main.actLogon->text()";
    EXPECT_TRUE(WaitUntil([&] { return main.stbStatusBar->PanelText(0) == RoleWordAdmin; }))
        << "main.stbStatusBar->PanelText(0)";
}

TEST_F(MainWindowTest, MenusToolBarAndHelpKey)
{
    TFormMain& main = ShowMain();
    QStringList titles;
    for (QAction* a : main.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("S&ettings"), QStringLiteral("T&ools"), QStringLiteral("&Reports"),
                                   QStringLiteral("&Help")}));
    // Menus without entries stay out of sight until their windows come.
    EXPECT_TRUE(WaitUntil([&] { return !main.mnuSettings->menuAction()->isVisible(); }))
        << "!main.mnuSettings->menuAction()->isVisible()";
    EXPECT_TRUE(main.mnuTools->menuAction()->isVisible());
    EXPECT_EQ(main.mnuHelp->actions(), (QList<QAction*>{main.actAbout, main.actHelp}));
    EXPECT_EQ(main.actAbout->text(), QStringLiteral("&About ..."));
    EXPECT_EQ(main.actHelp->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(main.actHelp->toolTip(), QStringLiteral("Open Help file"));
    EXPECT_FALSE(main.actHelp->icon().isNull());
    // F1 (or the tool bar's button) without "Help.chm" beside the program.
    {
        MessageAnswerer answers;
        QTest::keyClick(&main, Qt::Key_F1);
        ASSERT_EQ(answers.Texts().size(), 1);
        EXPECT_TRUE(answers.Texts().at(0).contains(QStringLiteral("Help.chm")));
        EXPECT_TRUE(answers.Texts().at(0).contains(QStringLiteral("not found")));
    }
    EXPECT_EQ(main.stbStatusBar->PanelCount(), 4);
    EXPECT_EQ(main.stbStatusBar->PanelRect(2).width(), 120);
}

TEST_F(MainWindowTest, SendProgressOneOfThreeFillsAThird)
{
    TFormMain& main = ShowMain();
    main.SetSendProgress(1, 3);
    const QImage image = StatusBarImage();
    const QRect panel1 = main.stbStatusBar->PanelRect(1);
    const QRect panel2 = main.stbStatusBar->PanelRect(2);
    const QColor highlight = main.stbStatusBar->palette().color(QPalette::Highlight);
    const QColor window = main.stbStatusBar->palette().color(QPalette::Window);
    const int y = panel2.center().y();
    EXPECT_EQ(image.pixelColor(panel2.left() + panel2.width() / 6, y).rgb(), highlight.rgb());
    EXPECT_EQ(image.pixelColor(panel2.left() + panel2.width() / 3 - 2, y).rgb(), highlight.rgb());
    EXPECT_EQ(image.pixelColor(panel2.left() + panel2.width() / 3 + 2, y).rgb(), window.rgb());
    EXPECT_EQ(image.pixelColor(panel2.left() + panel2.width() * 5 / 6, y).rgb(), window.rgb());
    // The text sits right-aligned in panel 1: ink on the right, none at the far left.
    EXPECT_TRUE(AnyPixelOtherThan(
        image, QRect(panel1.center().x(), panel1.top() + 2, panel1.width() / 2 - 3, panel1.height() - 4), window));
    EXPECT_FALSE(AnyPixelOtherThan(image, QRect(panel1.left() + 1, panel1.top() + 2, 4, panel1.height() - 4), window));
    EXPECT_EQ(main.SendCurrent, 1);
    EXPECT_EQ(main.SendTotal, 3);
}

TEST_F(MainWindowTest, ProgressPanelHoldsItsWholeText)
{
    TFormMain& main = ShowMain();
    TNStatusBar* bar = main.stbStatusBar;
    const QColor window = bar->palette().color(QPalette::Window);
    for (const auto& [current, total] : {std::pair(100, 100), std::pair(4321, 123456)}) {
        main.SetSendProgress(current, total);
        const QString text = SendProgressText(current, total);
        const QRect panel1 = bar->PanelRect(1);
        EXPECT_GT(panel1.width(), bar->fontMetrics().horizontalAdvance(text)) << text.toStdString();
        // Right-aligned and whole: no ink cut at the panel's left edge.
        const QImage image = StatusBarImage();
        EXPECT_FALSE(
            AnyPixelOtherThan(image, QRect(panel1.left() + 1, panel1.top() + 2, 2, panel1.height() - 4), window))
            << text.toStdString();
        EXPECT_EQ(bar->PanelRect(2).left(), panel1.right() + 3);
    }
}

TEST_F(MainWindowTest, CompletedProgressIsShownThenEmptiedByTheTimer)
{
    TFormMain& main = ShowMain();
    main.SetSendProgress(3, 3);
    const QRect panel2 = main.stbStatusBar->PanelRect(2);
    const QColor highlight = main.stbStatusBar->palette().color(QPalette::Highlight);
    const QColor window = main.stbStatusBar->palette().color(QPalette::Window);
    QImage image = StatusBarImage();
    EXPECT_EQ(image.pixelColor(panel2.right() - 2, panel2.center().y()).rgb(), highlight.rgb());
    EXPECT_TRUE(WaitUntil([&] { return main.SendCurrent == 0; }, 3000)) << "main.SendCurrent";
    EXPECT_EQ(main.SendTotal, 10);
    image = StatusBarImage();
    EXPECT_FALSE(AnyPixelOtherThan(image, panel2.adjusted(0, 1, 0, -1), window));
    const QRect panel1 = main.stbStatusBar->PanelRect(1);
    EXPECT_FALSE(AnyPixelOtherThan(image, panel1.adjusted(1, 2, -2, -2), window));
}

TEST_F(MainWindowTest, ZeroOfTenShowsNoTextAndAnEmptyBar)
{
    TFormMain& main = ShowMain();
    main.SetSendProgress(2, 10);
    main.SetSendProgress(0, 10);
    const QImage image = StatusBarImage();
    const QColor window = main.stbStatusBar->palette().color(QPalette::Window);
    EXPECT_FALSE(AnyPixelOtherThan(image, main.stbStatusBar->PanelRect(2).adjusted(0, 1, 0, -1), window));
    EXPECT_FALSE(AnyPixelOtherThan(image, main.stbStatusBar->PanelRect(1).adjusted(1, 2, -2, -2), window));
}

TEST_F(MainWindowTest, PlacementAndSplitterKeysRoundTrip)
{
    {
        TFormMain& main = ShowMain();
        EXPECT_TRUE(WaitUntil([&] { return main.isMaximized(); })) << "main.isMaximized()";
        main.splVertical->setSizes({180, main.splVertical->width() - 180});
        main.splHorizontal->setSizes({150, main.splHorizontal->height() - 150});
        m_main.reset();
    }
    TNProfileFile& ini = m_placement->File();
    const QString section = QStringLiteral("TFormMain");
    EXPECT_TRUE(ini.ReadBool(section, QStringLiteral("Maximized"), false));
    EXPECT_EQ(ini.ReadInteger(section, QStringLiteral("pnlEmbedContactsWidth"), 0), 180);
    EXPECT_EQ(ini.ReadInteger(section, QStringLiteral("pnlEmbedRecipientsHeight"), 0), 150);

    TFormMain& again = ShowMain();
    EXPECT_TRUE(WaitUntil([&] { return again.pnlEmbedContacts->width() == 180; })) << "again.pnlEmbedContacts->width()";
    EXPECT_EQ(again.pnlEmbedRecipients->height(), 150);
}

TEST_F(MainWindowTest, NeverShownWindowSavesItsDesignedSplitterKeys)
{
    m_main = std::make_unique<TFormMain>();
    m_main.reset();
    EXPECT_EQ(m_placement->File().ReadInteger(QStringLiteral("TFormMain"), QStringLiteral("pnlEmbedContactsWidth"), 0),
              257);
    EXPECT_EQ(
        m_placement->File().ReadInteger(QStringLiteral("TFormMain"), QStringLiteral("pnlEmbedRecipientsHeight"), 0),
        320);
}
