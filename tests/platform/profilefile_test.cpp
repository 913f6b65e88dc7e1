#include "platform/profilefile.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
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
