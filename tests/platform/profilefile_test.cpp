#include "platform/profilefile.h"
#include "support/filesizelimit.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString ReadAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QString::fromUtf8(f.readAll());
}

void WriteAll(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}
}  // namespace

TEST(ProfileFile, KeepsForeignLinesAndComparesNamesWithoutCase)
{
    TempFolder dir;
    const QString path = dir.File("a.ini");
    WriteAll(path,
             "; leading comment\n[Other]\nKeep=this one\n\n[Logon]\nuserpassword=old\n; inner comment\nForeign=1\n");
    TNProfileFile ini(path);
    EXPECT_EQ(ini.ReadString("LOGON", "UserPassword", "x"), "old");
    ini.WriteString("logon", "UserPassword", "\"new \"");
    ini.WriteString("Logon", "Added", "5");
    ini.WriteString("Fresh", "Key", "v");
    const QString text = ReadAll(path);
    EXPECT_TRUE(
        text.startsWith("; leading comment\n[Other]\nKeep=this one\n\n[Logon]\nUserPassword=\"new \"\n; inner "
                        "comment\nForeign=1\nAdded=5\n"))
        << qPrintable(text);
    EXPECT_TRUE(text.endsWith("[Fresh]\nKey=v\n")) << qPrintable(text);

    TNProfileFile again(path);
    EXPECT_EQ(again.ReadString("Logon", "UserPassword", ""), "\"new \"");
    EXPECT_EQ(again.ReadInteger("logon", "added", 0), 5);
    EXPECT_EQ(again.ReadSection("Logon"), QStringList({"UserPassword", "Foreign", "Added"}));
}

TEST(ProfileFile, IntegersAndBooleans)
{
    TempFolder dir;
    const QString path = dir.File("b.ini");
    WriteAll(path, "[S]\nhex=0x1F\ndollar=$1F\nneg=-12\nbad=12ab\nb2=2\nyes=yes\n");
    TNProfileFile ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "dollar", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "neg", 0), -12);
    EXPECT_EQ(ini.ReadInteger("S", "bad", 7), 7);
    EXPECT_TRUE(ini.ReadBool("S", "b2", false));
    EXPECT_FALSE(ini.ReadBool("S", "yes", false));
    EXPECT_EQ(ini.ReadInteger("S", "missing", -1), -1);
}

TEST(ProfileFile, IntegersStayInTheirRange)
{
    TempFolder dir;
    const QString path = dir.File("r.ini");
    WriteAll(path,
             "[S]\nallbits=$FFFFFFFF\nmax=2147483647\nmin=-2147483648\nover=2147483648\nwrapped=4294967295\n"
             "ninedigits=$1FFFFFFFF\nleadingzeros=$00000001F\nsignedhex=0x-5\nprefixtwice=0x0x1F\nblankhex=$1 F\n");
    TNProfileFile ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "allbits", 0), -1);
    EXPECT_EQ(ini.ReadInteger("S", "max", 0), 2147483647);
    EXPECT_EQ(ini.ReadInteger("S", "min", 0), INT32_MIN);
    // A decimal number outside 32 bits is unreadable, not wrapped round.
    EXPECT_EQ(ini.ReadInteger("S", "over", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "wrapped", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "ninedigits", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "leadingzeros", 7), 31);
    EXPECT_EQ(ini.ReadInteger("S", "signedhex", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "prefixtwice", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "blankhex", 7), 7);
}

TEST(ProfileFile, FailedWriteNamesTheFileAndKeepsMemoryUnchanged)
{
    TempFolder dir;
    const QString path = dir.File("missing-folder/c.ini");
    TNProfileFile ini(path);
    try {
        ini.WriteString("S", "K", "v");
        FAIL() << "no error";
    } catch (const EProfileFileError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + path);
    }
    EXPECT_FALSE(ini.ValueExists("S", "K"));
    EXPECT_FALSE(QFileInfo::exists(path));
}

namespace {
QByteArray Bytes(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
}  // namespace

TEST(ProfileFile, EachWriteChangesOnlyItsEntryInTheFileAsItIsNow)
{
    TempFolder dir;
    const QString path = dir.File("s.ini");
    WriteAll(path, "[Form]\nLeft=10\nTop=20\n");
    TNProfileFile first(path);
    TNProfileFile second(path);

    // An outside edit between load and save survives.
    WriteAll(path, "[Form]\nLeft=10\nTop=20\n[ByHand]\nAdded=1\n");
    first.WriteInteger("Form", "Left", 11);
    EXPECT_EQ(ReadAll(path), "[Form]\nLeft=11\nTop=20\n[ByHand]\nAdded=1\n");
    // Two objects on one file lose nothing: rewriting a value it never
    // changed does not bring back the second's stale copy, and its own
    // change keeps the first's entry.
    second.WriteInteger("Form", "Left", 10);
    second.WriteInteger("Form", "Top", 21);
    second.UpdateFile();
    EXPECT_EQ(ReadAll(path), "[Form]\nLeft=11\nTop=21\n[ByHand]\nAdded=1\n");
    EXPECT_EQ(second.ReadInteger("Form", "Left", 0), 11);
    first.DeleteKey("ByHand", "Added");
    second.WriteString("New", "K", "v");
    EXPECT_EQ(ReadAll(path), "[Form]\nLeft=11\nTop=21\n[ByHand]\n\n[New]\nK=v\n");
}

TEST(ProfileFile, LinesThatAreNotUtf8ReadAsWindows1252AndStayByteForByte)
{
    TempFolder dir;
    const QString path = dir.File("w.ini");
    const QByteArray foreign = "; caf\xE9 cr\xE8me\r";
    WriteBytes(path, foreign + "\n[Logon]\nAdminPassword=\"Mot\xE9\"\nUserPassword=\"\xC3\xA9t\xC3\xA9\"\n");
    TNProfileFile ini(path);
    EXPECT_EQ(ini.ReadString("Logon", "AdminPassword", ""), QString::fromUtf8("\"Mot\u00E9\""));
    EXPECT_EQ(ini.ReadString("Logon", "UserPassword", ""), QString::fromUtf8("\"\u00E9t\u00E9\""));
    ini.WriteString("Logon", "Added", QString::fromUtf8("\u00E0 \u20AC"));
    ini.WriteString("Logon", "Wide", QString::fromUtf8("\u4E2D"));
    // Untouched lines as they were; new ones in the file's code page where
    // it can hold them.
    EXPECT_EQ(Bytes(path), foreign +
                               "\n[Logon]\nAdminPassword=\"Mot\xE9\"\nUserPassword=\"\xC3\xA9t\xC3\xA9\"\nAdded=\xE0 "
                               "\x80\nWide=\xE4\xB8\xAD\n");
    TNProfileFile again(path);
    EXPECT_EQ(again.ReadString("Logon", "Added", ""), QString::fromUtf8("\u00E0 \u20AC"));
    EXPECT_EQ(again.ReadString("Logon", "Wide", ""), QString::fromUtf8("\u4E2D"));
}

TEST(ProfileFile, ModesOfReplacedFiles)
{
    TempFolder dir;
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QString secret = dir.File("Settings.ini");
    TNProfileFile settings(secret, TProfileAccess::OwnerOnly);
    settings.WriteString("Logon", "UserPassword", "\"x\"");
    EXPECT_EQ(QFile::permissions(secret) & 0x7077, owner & 0x7077);
    QFile::setPermissions(secret, owner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    settings.UpdateFile();
    EXPECT_EQ(QFile::permissions(secret) & 0x7077, owner & 0x7077);

    // A shared file keeps whatever mode it has.
    const QString form = dir.File("FormSettings.ini");
    WriteAll(form, "[F]\nLeft=1\n");
    const auto groupRead = owner | QFileDevice::ReadGroup;
    QFile::setPermissions(form, groupRead);
    TNProfileFile placement(form);
    placement.WriteInteger("F", "Left", 2);
    EXPECT_EQ(QFile::permissions(form) & 0x7077, groupRead & 0x7077);
}

// A disk that takes no more (here a file size limit) refuses the write; the
// file keeps its old content whole, through a new file or written in place.
TEST(ProfileFile, FailedWriteKeepsTheOldFileWhole)
{
    TempFolder dir;
    const QString old = "[Main]\nLeft=1\n" + QString(200, u'x').prepend("Note=") + "\n";
    const QString path = dir.File("FormSettings.ini");
    WriteAll(path, old);
    TNProfileFile ini(path);
    {
        const FileSizeLimit full(100);
        EXPECT_THROW(ini.WriteInteger("Main", "Left", 2), EProfileFileError);
        EXPECT_THROW(ini.UpdateFile(), EProfileFileError);
    }
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files), QStringList{"FormSettings.ini"});
    ini.WriteInteger("Main", "Left", 3);
    EXPECT_TRUE(ReadAll(path).startsWith("[Main]\nLeft=3\n"));
    if (::geteuid() == 0)
        return;  // root writes into read-only folders: no write in place
    const QString folder = QFileInfo(path).absolutePath();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    {
        const FileSizeLimit full(100);
        EXPECT_THROW(ini.WriteString("Main", "Wide", QString(300, u'y')), EProfileFileError);
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(ReadAll(path).startsWith("[Main]\nLeft=3\n"));
    EXPECT_EQ(ReadAll(path).size(), old.size());
}

TEST(ProfileFile, WritableFileInReadOnlyFolderIsWrittenInPlace)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempFolder dir;
    const QString folder = dir.File("ro");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + "/a.ini";
    const QString locked = folder + "/b.ini";
    WriteAll(path, "[S]\nK=1\n");
    WriteAll(locked, "[S]\nK=1\n");
    QFile::setPermissions(locked, QFileDevice::ReadOwner);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    TNProfileFile ini(path);
    ini.WriteInteger("S", "K", 2);
    TNProfileFile readOnly(locked);
    EXPECT_THROW(readOnly.WriteInteger("S", "K", 2), EProfileFileError);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadAll(path), "[S]\nK=2\n");
    EXPECT_EQ(ReadAll(locked), "[S]\nK=1\n");
}
