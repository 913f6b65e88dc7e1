#include "foundation/helpfile.h"
#include "foundation/workarea.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

TEST(HelpFile, OpensTheFileBesideTheProgramAndTellsTheOperatorWhenItCannot)
{
    MessageAnswerer answers;
    TempFolder dir;
    SetProgramFolder(dir.Path());
    QList<QUrl> opened;
    bool handlerOpens = true;
    SetHelpOpener([&](const QUrl& url) {
        opened << url;
        return handlerOpens;
    });
    EXPECT_EQ(HelpFile(), dir.File("Help.chm"));
    EXPECT_FALSE(ShowHelpTopic(10));
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(answers.Requests().at(0).Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(answers.Texts().at(0),
              QStringLiteral("The help file \"%1\" was not found beside the program.").arg(dir.File("Help.chm")));

    QFile f(dir.File("Help.chm"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(ShowHelpTopic(10));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toLocalFile(), dir.File("Help.chm"));
    EXPECT_EQ(answers.Texts().size(), 1);
    // A file no program opens is no silent failure either.
    handlerOpens = false;
    EXPECT_FALSE(ShowHelpTopic(10));
    ASSERT_EQ(answers.Texts().size(), 2);
    EXPECT_TRUE(answers.Texts().at(1).contains(dir.File("Help.chm")));

    SetHelpFile(dir.File("other.chm"));
    EXPECT_FALSE(ShowHelpTopic(0));
    EXPECT_TRUE(answers.Texts().last().contains(QStringLiteral("other.chm")));
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
