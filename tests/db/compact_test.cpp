// Compaction in place: every row kept, no "Temp" file left, and on failure
// the original file untouched.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>

#include "db/compact.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "support/testdatabases.h"

namespace {

class CompactTest : public ::testing::Test {
protected:
    TestDatabases files;

    void FillAndThin(const QString& path)
    {
        TNConnection c;
        c.SetDatabasePath(path);
        for (int i = 0; i < 400; ++i)
            c.ExecSQL(QStringLiteral("insert into SentMessageTexts (Message) values (:M)"),
                      {{QStringLiteral("M"), QString(500, QChar(u'a' + i % 26))}});
        c.ExecSQL(QStringLiteral("delete from SentMessageTexts where ID % 2 = 0"));
    }
    static int Rows(const QString& path)
    {
        TNConnection c;
        c.SetDatabasePath(path);
        return c.QueryValue(QStringLiteral("select count(*) + sum(length(Message)) from SentMessageTexts")).toInt();
    }
    static QByteArray Bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(CompactTest, KeepsEveryRowShrinksAndLeavesNoTempFile)
{
    const QString path = files.LocalDataPath();
    FillAndThin(path);
    const int before = Rows(path);
    const qint64 size = QFileInfo(path).size();
    QString error;
    ASSERT_TRUE(CompactDatabaseFile(path, &error)) << error.toStdString();
    EXPECT_EQ(Rows(path), before);
    EXPECT_LT(QFileInfo(path).size(), size);
    EXPECT_FALSE(QFileInfo::exists(files.Folder() + QStringLiteral("TempLocalData2.mdb")));
    EXPECT_EQ(CompactTempPath(path), files.Folder() + QStringLiteral("TempLocalData2.mdb"));

    // The address book too; the default rows survive.
    ASSERT_TRUE(CompactDatabaseFile(files.AddressBookPath(), &error));
    TNConnection book;
    book.SetDatabasePath(files.AddressBookPath());
    EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from CarrierTypes")).toInt(), 9);
}

TEST_F(CompactTest, AStaleTempFileIsReplaced)
{
    QFile stale(files.Folder() + QStringLiteral("TempLocalData2.mdb"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("left over");
    stale.close();
    EXPECT_TRUE(CompactDatabaseFile(files.LocalDataPath()));
    EXPECT_FALSE(stale.exists());
}

TEST_F(CompactTest, AFailureKeepsTheOriginal)
{
    const QString path = files.LocalDataPath();
    FillAndThin(path);
    const QByteArray original = Bytes(path);
    // A folder in the temporary file's place cannot be removed or written.
    const QString blocker = CompactTempPath(path);
    ASSERT_TRUE(QDir().mkpath(blocker + QStringLiteral("/inside")));
    QString error;
    EXPECT_FALSE(CompactDatabaseFile(path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Bytes(path), original);
    EXPECT_TRUE(QFileInfo(blocker).isDir());
}

TEST_F(CompactTest, AFileInUseIsNotReplaced)
{
    const QString path = files.LocalDataPath();
    TNConnection open;
    open.SetDatabasePath(path);
    open.ExecSQL(QStringLiteral("insert into SentMessageTexts (Message) values ('x')"));
    QString error;
    EXPECT_FALSE(CompactDatabaseFile(path, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("in use")));
    EXPECT_FALSE(QFileInfo::exists(CompactTempPath(path)));
    EXPECT_EQ(open.QueryValue(QStringLiteral("select count(*) from SentMessageTexts")).toInt(), 1);
}

// Compacts as a user who may not write into the folder. The super-user
// writes anywhere, so then a child process does it as "nobody".
bool CompactAsUnprivileged(const QString& path)
{
    if (geteuid() != 0)
        return CompactDatabaseFile(path);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        _exit(CompactDatabaseFile(path) ? 1 : 0);
    }
    // A child that hangs is stopped after half a minute and counts as a
    // compaction (a failure of the test).
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; waited += 10) {
        if (waited >= 30000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return true;
        }
        usleep(10000);
    }
    return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(CompactTest, AnUnwritableFolderKeepsTheOriginal)
{
    TempFolder folder;
    const QString path = folder.File(LocalDataFileName());
    CreateLocalDataFile(path);
    FillAndThin(path);
    const QByteArray original = Bytes(path);
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                     QFile::WriteOther;
    ASSERT_TRUE(QFile::setPermissions(path, all));
    const auto readOnlyFolder =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(folder.Path(), readOnlyFolder));
    const bool compacted = CompactAsUnprivileged(path);
    QFile::setPermissions(folder.Path(), readOnlyFolder | QFile::WriteOwner);
    EXPECT_FALSE(compacted);
    EXPECT_EQ(Bytes(path), original);
    EXPECT_FALSE(QFileInfo::exists(CompactTempPath(path)));
    EXPECT_GT(Rows(path), 0);
}

TEST_F(CompactTest, AMissingFileIsAFailure)
{
    QString error;
    EXPECT_FALSE(CompactDatabaseFile(files.Folder() + QStringLiteral("Nothing.mdb"), &error));
    EXPECT_FALSE(QFileInfo::exists(files.Folder() + QStringLiteral("Nothing.mdb")));
}

}  // namespace
