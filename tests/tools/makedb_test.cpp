// The tovix2-makedb program: creates both files in a folder when absent and
// leaves existing files alone.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

#include "db/connection.h"
#include "support/tempfolder.h"

namespace {

int RunMakeDb(const QStringList& args, QString* output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(TOVIX_MAKEDB_EXE), args);
    if (!process.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(MakeDbTest, CreatesBothFilesOnceAndKeepsTheirRows)
{
    TempFolder folder;
    QString output;
    ASSERT_EQ(RunMakeDb({folder.Path()}, &output), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("LocalData2.mdb")));
    ASSERT_TRUE(QFileInfo::exists(folder.File(QStringLiteral("LocalData2.mdb"))));
    ASSERT_TRUE(QFileInfo::exists(folder.File(QStringLiteral("Tovix2Database.mdb"))));
    {
        TNConnection local;
        local.SetDatabasePath(folder.File(QStringLiteral("LocalData2.mdb")));
        EXPECT_EQ(local.QueryValue(QStringLiteral("select Name from Databases")).toString(),
                  QStringLiteral("Local Database"));
        local.ExecSQL(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values ('g', 1)"));
    }
    // A second run finds both and changes nothing.
    ASSERT_EQ(RunMakeDb({folder.Path()}, &output), 0);
    EXPECT_TRUE(output.isEmpty());
    TNConnection local;
    local.SetDatabasePath(folder.File(QStringLiteral("LocalData2.mdb")));
    EXPECT_EQ(local.QueryValue(QStringLiteral("select count(*) from FoldersOpen")).toInt(), 1);
}

TEST(MakeDbTest, WrongUseAndMissingFolderFail)
{
    EXPECT_EQ(RunMakeDb({}), 2);
    TempFolder folder;
    EXPECT_EQ(RunMakeDb({folder.Path() + QStringLiteral("missing")}), 1);
    EXPECT_FALSE(QFileInfo::exists(folder.Path() + QStringLiteral("missing")));
}

}  // namespace
