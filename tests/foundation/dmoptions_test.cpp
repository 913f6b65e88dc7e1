#include "foundation/dmoptions.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/pythonini.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void WriteAll(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

class OptionTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(dir.Path());
        PopupWinPos = 3;
        PopupWinDelay = 60;
        NumericAllowedChars = QStringLiteral("0123456789[]-");
        MaxNumericLength = 20;
    }
    void TearDown() override
    {
        SetProgramFolder(QString());
        OnLargeTreeIconsChanged = nullptr;
        OnMessageEditorOptionsChanged = nullptr;
    }
    QString SettingsPath() const { return dir.File("Settings.ini"); }

    TempFolder dir;
    MessageAnswerer answers;
};
}  // namespace

TEST_F(OptionTable, FirstStartGivesTheTableDefaultsAndWritesAllOptions)
{
    {
        TDModOptions module;
        ASSERT_EQ(Options, &module.SCGOptions());
        EXPECT_EQ(Options->Count(), 26);
        EXPECT_FALSE(Options->OptionByName("LogonOnStart")->AsBool());
        EXPECT_FALSE(Options->OptionByName("LogonAsUser")->AsBool());
        EXPECT_TRUE(Options->OptionByName("LogonAsAdmin")->AsBool());
        EXPECT_TRUE(Options->OptionByName("AllowSendingEmptyMessages")->AsBool());
        EXPECT_TRUE(Options->OptionByName("PopupForFailure")->AsBool());
        EXPECT_EQ(Options->OptionByName("PopupWinDelay")->AsInteger(), 5);
        EXPECT_EQ(Options->OptionByName("AppID")->AsString(), "");
        EXPECT_EQ(Options->OptionByName("UserPassword")->AsString(), "Rimo");
        EXPECT_EQ(Options->OptionByName("SharedDataFolder")->AsString(), "SharedData");
        // Copied at creation from the options.
        EXPECT_EQ(NumericAllowedChars, "][-0123456789");
        EXPECT_EQ(MaxNumericLength, 20);
        EXPECT_EQ(DatabaseCaptionColor, 16711680u);
        // Not copied at creation.
        EXPECT_EQ(PopupWinDelay, 60);
        EXPECT_EQ(PopupWinPos, 3);
        EXPECT_FALSE(QFileInfo::exists(SettingsPath()));
    }
    EXPECT_EQ(Options, nullptr);
    const QString text = ReadAll(SettingsPath());
    EXPECT_EQ(text.count(u'='), 26) << qPrintable(text);
    EXPECT_TRUE(text.startsWith("[TreeView]\nLargeTreeIcons=0\nDatabaseCaptionColor=16711680\n")) << qPrintable(text);
    EXPECT_TRUE(text.contains("[Identification]\nAppID=\"\"\n")) << qPrintable(text);
    EXPECT_TRUE(answers.Texts().isEmpty());
}

TEST_F(OptionTable, HandlersRefreshTheVariablesAndHooks)
{
    TDModOptions module;
    QList<bool> large;
    int recounts = 0;
    OnLargeTreeIconsChanged = [&](bool v) { large << v; };
    OnMessageEditorOptionsChanged = [&] { ++recounts; };

    Options->OptionByName("PopupWinPos")->SetValue(3);
    Options->OptionByName("PopupWinDelay")->SetValue(0);
    Options->OptionByName("LargeTreeIcons")->SetValue(true);
    Options->OptionByName("FollowedByChar")->SetValue(QStringLiteral("-"));
    Options->OptionByName("AddDisplayNameToMessage")->SetValue(true);
    Options->OptionByName("EntryInUpperCase")->SetValue(true);
    Options->OptionByName("PrefixAddInEditor")->SetValue(true);
    Options->OptionByName("MaxNumericLength")->SetValue(8);
    Options->OptionByName("NumericAllowedChars")->SetValue(QStringLiteral("0123"));
    Options->OptionByName("DatabaseCaptionColor")->SetValue(255);
    Options->ApplyChanges();
    EXPECT_EQ(PopupWinPos, 0);
    EXPECT_EQ(PopupWinDelay, 0);
    EXPECT_EQ(large, QList<bool>({true}));
    EXPECT_EQ(recounts, 2);
    EXPECT_EQ(FollowedByChar, "-");
    EXPECT_TRUE(AddDisplayNameToMessage);
    EXPECT_TRUE(EntryInUpperCase);
    EXPECT_TRUE(PrefixAddInEditor);
    EXPECT_EQ(MaxNumericLength, 8);
    EXPECT_EQ(NumericAllowedChars, "0123");
    EXPECT_EQ(DatabaseCaptionColor, 255u);

    Options->OptionByName("PopupWinPos")->SetValue(0);
    Options->ApplyChanges();
    EXPECT_EQ(PopupWinPos, 3);
    Options->OptionByName("PopupWinPos")->SetValue(1);
    Options->ApplyChanges();
    EXPECT_EQ(PopupWinPos, 2);
    Options->OptionByName("PopupWinPos")->SetValue(7);  // no such position: the popup stays where it was
    Options->ApplyChanges();
    EXPECT_EQ(PopupWinPos, 2);

    // Restore the program-wide copies for the other tests.
    AddDisplayNameToMessage = EntryInUpperCase = PrefixAddInEditor = false;
    FollowedByChar = QStringLiteral(":");
}

TEST_F(OptionTable, UnappliedEditsAreWrittenAtShutDown)
{
    WriteAll(SettingsPath(), "; operator's note\n[Logon]\nUserPassword=\"secret \"\nForeign=keep\n");
    {
        TDModOptions module;
        EXPECT_EQ(Options->OptionByName("UserPassword")->AsString(), "secret ");
        Options->OptionByName("PopupWinDelay")->SetValue(9);  // closed by the close box: no handler
    }
    EXPECT_EQ(PopupWinDelay, 60);
    const QString text = ReadAll(SettingsPath());
    EXPECT_TRUE(text.startsWith("; operator's note\n[Logon]\nUserPassword=\"secret \"\nForeign=keep\n"))
        << qPrintable(text);
    EXPECT_TRUE(text.contains("PopupWinDelay=9\n"));
}

TEST_F(OptionTable, FailedWriteAtShutDownIsReportedNotThrown)
{
    QDir(dir.Path()).mkdir("Settings.ini");  // a folder in the file's place: every write fails
    EXPECT_NO_THROW({
        TDModOptions module;
        Options->OptionByName("AppID")->SetValue(QStringLiteral("{X}"));
    });
    // Told from the event loop once the destructor is through, never from it.
    EXPECT_TRUE(answers.Requests().isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(answers.Requests()[0].Text, "Unable to write to " + SettingsPath());
    EXPECT_EQ(Options, nullptr);
}

TEST_F(OptionTable, WrittenFileReadsBackWithAnIndependentIniReader)
{
    {
        TDModOptions module;
        Options->OptionByName("FollowedByChar")->SetValue(QStringLiteral(" > "));
        Options->OptionByName("AppID")->SetValue(QStringLiteral("{6F9619FF-8B86-D011-B42D-00CF4FC964FF}"));
        Options->OptionByName("MaxNumericLength")->SetValue(-3);
        Options->OptionByName("LargeTreeIcons")->SetValue(true);
    }
    const QStringList lines = ReadIniWithPython(SettingsPath());
    if (lines.isEmpty())
        GTEST_SKIP() << "python3 not installed";
    ASSERT_EQ(lines.size(), 26) << qPrintable(lines.join('\n'));

    TDModOptions again;
    for (const QString& line : lines) {
        const QStringList f = line.split('|');
        ASSERT_EQ(f.size(), 3) << qPrintable(line);
        TNOption* o = Options->OptionByName(f[1]);
        EXPECT_EQ(o->SectionName(), f[0]);
        switch (o->Kind()) {
            case okBool:
                EXPECT_EQ(o->AsBool(), f[2] == "1") << qPrintable(line);
                break;
            case okInteger:
                EXPECT_EQ(QString::number(o->AsInteger()), f[2]) << qPrintable(line);
                break;
            default: {
                // Texts are written inside double quotes.
                const bool quoted = f[2].size() >= 2 && f[2].startsWith('"') && f[2].endsWith('"');
                EXPECT_EQ(o->AsString(), quoted ? f[2].mid(1, f[2].size() - 2) : f[2]) << qPrintable(line);
            }
        }
    }
    EXPECT_EQ(Options->OptionByName("FollowedByChar")->AsString(), " > ");
    EXPECT_EQ(Options->OptionByName("MaxNumericLength")->AsInteger(), -3);
    EXPECT_TRUE(Options->OptionByName("LargeTreeIcons")->AsBool());
}
