// The splash window and the about box: their lines, the minimum time of the
// splash and the automation switch.
#include "platform/versioninfo.h"
#include "support/messageanswerer.h"
#include "ui/main/frmabout.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {
QString Value438(const QString& key)
{
    if (key == QStringLiteral("ProductName"))
        return QStringLiteral("Tovix 2");
    if (key == QStringLiteral("MajorVersion"))
        return QStringLiteral("2");
    if (key == QStringLiteral("MinorVersion"))
        return QStringLiteral("0");
    if (key == QStringLiteral("Build"))
        return QStringLiteral("438");
    if (key == QStringLiteral("LegalCopyRight"))
        return QStringLiteral("2026 Someone");
    if (key == QStringLiteral("CompanyName"))
        return QStringLiteral("Someone Ltd");
    return QString();
}
}  // namespace

TEST(AboutTexts, VersionLineHasThreeBlanksInTheAboutBoxAndTwoInTheSplash)
{
    const TAboutTexts about =
        MakeAboutTexts(TAboutStyle::AboutBox, Value438, QStringLiteral("Debian 12"), QStringLiteral("1,048,576"));
    EXPECT_EQ(about.ProductVersion, QStringLiteral("Version 2.0   (Build 438)"));
    EXPECT_EQ(about.Caption, QStringLiteral("  About Tovix 2"));
    EXPECT_EQ(about.LegalCopyRight, QStringLiteral("Copyright 2026 Someone"));
    EXPECT_EQ(about.CompanyName, QStringLiteral("Someone Ltd"));
    EXPECT_EQ(about.WindowsVersion, QStringLiteral("Debian 12"));
    EXPECT_EQ(about.Memory, QStringLiteral("Memory Available to Windows:  1,048,576 KB"));
    const TAboutTexts splash = MakeAboutTexts(TAboutStyle::Splash, Value438, QString(), QString());
    EXPECT_EQ(splash.ProductVersion, QStringLiteral("Version 2.0  (Build 438)"));
}

TEST(AboutBox, ShowsTheProgramsVersionModallyAndClosesWithItsButton)
{
    QString title, version, product;
    bool closeVisible = false;
    WhenModal<TFormAboutNew>([&](TFormAboutNew* box) {
        title = box->windowTitle();
        version = box->lblProductVersion->text();
        product = box->lblProductName->text();
        closeVisible = box->btnClose->isVisible();
        box->btnClose->click();
    });
    ShowAboutBox(QStringLiteral(" (test)"));
    EXPECT_EQ(title, QStringLiteral("  About Tovix 2 (test)"));
    EXPECT_EQ(product, QStringLiteral("Tovix 2"));
    EXPECT_EQ(version, QStringLiteral("Version %1.%2   (Build %3)")
                           .arg(GetVersionInfoValue(QStringLiteral("MajorVersion")),
                                GetVersionInfoValue(QStringLiteral("MinorVersion")),
                                GetVersionInfoValue(QStringLiteral("Build"))));
    EXPECT_TRUE(closeVisible);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Splash, StaysAtLeastItsMinimumTimeAfterHideSplash)
{
    SetStartedAsComServer(false);
    QElapsedTimer clock;
    clock.start();
    ShowSplash(400, false);
    ASSERT_NE(FormAbout, nullptr);
    QPointer<TFormAbout> splash = FormAbout;
    EXPECT_TRUE(splash->isVisible());
    EXPECT_FALSE(splash->btnClose->isVisible());
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(splash->lblProductVersion->text().count(QStringLiteral("  (Build")), 1);
    EXPECT_FALSE(splash->lblProductVersion->text().contains(QStringLiteral("   (Build")));
    qint64 closedAt = -1;
    QObject::connect(splash, &QObject::destroyed, [&] { closedAt = clock.elapsed(); });
    HideSplash();
    EXPECT_EQ(FormAbout, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return splash.isNull(); }, 10000));
    EXPECT_GE(closedAt, 400);
}

TEST(Splash, WithoutHideSplashItWaitsUnlessAutoClose)
{
    SetStartedAsComServer(false);
    ShowSplash(50, false);
    QPointer<TFormAbout> kept = FormAbout;
    // Long past its minimum time, still there: nobody released it.
    WaitUntil([] { return false; }, 700);
    EXPECT_FALSE(kept.isNull());
    HideSplash();
    ASSERT_TRUE(WaitUntil([&] { return kept.isNull(); }, 10000));

    ShowSplash(50, true);
    QPointer<TFormAbout> automatic = FormAbout;
    ASSERT_TRUE(WaitUntil([&] { return automatic.isNull(); }, 10000));
    EXPECT_EQ(FormAbout, nullptr);
}

TEST(Splash, StartedForAutomationShowsNoSplash)
{
    SetStartedAsComServer(true);
    ShowSplash(3000, false);
    EXPECT_EQ(FormAbout, nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TFormAbout*>(w), nullptr);
    HideSplash();
    SetStartedAsComServer(false);
}
