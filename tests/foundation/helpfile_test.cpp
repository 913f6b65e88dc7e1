#include "foundation/helpfile.h"
#include "foundation/workarea.h"
#include "platform/programfolder.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

TEST(HelpFile, OpensTheFileBesideTheProgramOnlyWhenItExists)
{
    TempFolder dir;
    SetProgramFolder(dir.Path());
    QList<QUrl> opened;
    SetHelpOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    EXPECT_EQ(HelpFile(), dir.File("Help.chm"));
    EXPECT_FALSE(ShowHelpTopic(10));
    EXPECT_TRUE(opened.isEmpty());

    QFile f(dir.File("Help.chm"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(ShowHelpTopic(10));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toLocalFile(), dir.File("Help.chm"));

    SetHelpFile(dir.File("other.chm"));
    EXPECT_FALSE(ShowHelpTopic(0));
    SetHelpFile(QString());
    SetHelpOpener({});
    SetProgramFolder(QString());
}

TEST(WorkArea, IsThePrimaryScreensAvailableGeometry)
{
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(WorkArea(), QGuiApplication::primaryScreen()->availableGeometry());
    EXPECT_FALSE(WorkArea().isEmpty());
}
