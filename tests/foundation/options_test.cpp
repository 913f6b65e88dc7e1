#include "foundation/options.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QTime>

namespace {
void WriteAll(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

QString ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

class OptionStore : public ::testing::Test {
protected:
    void SetUp() override { SetProgramFolder(dir.Path()); }
    void TearDown() override { SetProgramFolder(QString()); }
    QString SettingsPath() const { return dir.File("Settings.ini"); }

    TempFolder dir;
    MessageAnswerer answers;
};
}  // namespace

TEST_F(OptionStore, ReadsEachKindWithItsRules)
{
    const QString longText(3000, u'a');
    WriteAll(SettingsPath(),
             "[S]\n"
             "Trailing=\"ends in a blank \"\n"
             "Single='single quoted'\n"
             "Empty=\n"
             "Long=" +
                 longText +
                 "\n"
                 "Hex=0x1F\n"
                 "Dollar=$1F\n"
                 "Junk=12ab\n"
                 "Negative=-40\n"
                 "Two=2\n"
                 "Yes=yes\n"
                 "Zero=0\n"
                 "Float=2.5\n"
                 "BadFloat=x\n");
    TSCGOptions store;
    TNOption* trailing = store.AddOption("S", "Trailing", okString, QStringLiteral("d"));
    TNOption* single = store.AddOption("S", "Single", okString, QStringLiteral("d"));
    TNOption* empty = store.AddOption("S", "Empty", okString, QStringLiteral("d"));
    TNOption* missing = store.AddOption("S", "MissingText", okString, QStringLiteral("the default"));
    TNOption* longOne = store.AddOption("S", "Long", okString, QVariant());
    TNOption* hex = store.AddOption("S", "Hex", okInteger, 7);
    TNOption* dollar = store.AddOption("S", "Dollar", okInteger, 7);
    TNOption* junk = store.AddOption("S", "Junk", okInteger, 7);
    TNOption* negative = store.AddOption("S", "Negative", okInteger, 7);
    TNOption* two = store.AddOption("S", "Two", okBool, false);
    TNOption* yes = store.AddOption("S", "Yes", okBool, QStringLiteral("False"));
    TNOption* yesTrue = store.AddOption("S", "Yes2", okBool, QStringLiteral("tRUE"));
    TNOption* zero = store.AddOption("S", "Zero", okBool, true);
    TNOption* flt = store.AddOption("S", "Float", okFloat, 1.0);
    TNOption* badFloat = store.AddOption("S", "BadFloat", okFloat, 1.5);
    TNOption* noDefault = store.AddOption("S", "NoDefault", okInteger, QVariant());
    store.LoadFromFile();

    EXPECT_EQ(trailing->Value().toString(), "ends in a blank ");
    EXPECT_EQ(single->Value().toString(), "single quoted");
    EXPECT_EQ(empty->Value().toString(), "");
    EXPECT_EQ(missing->Value().toString(), "the default");
    EXPECT_EQ(longOne->Value().toString(), longText.left(2047));
    EXPECT_EQ(hex->AsInteger(), 31);
    EXPECT_EQ(dollar->AsInteger(), 31);
    EXPECT_EQ(junk->AsInteger(), 7);
    EXPECT_EQ(negative->AsInteger(), -40);
    EXPECT_TRUE(two->AsBool());
    EXPECT_FALSE(yes->AsBool());
    EXPECT_TRUE(yesTrue->AsBool());
    EXPECT_FALSE(zero->AsBool());
    EXPECT_DOUBLE_EQ(flt->AsFloat(), 2.5);
    EXPECT_DOUBLE_EQ(badFloat->AsFloat(), 1.5);
    EXPECT_EQ(noDefault->AsInteger(), 0);
    for (int i = 0; i < store.Count(); ++i)
        EXPECT_FALSE(store.At(i)->Modified()) << qPrintable(store.At(i)->Name());
    EXPECT_TRUE(answers.Texts().isEmpty());
}

TEST_F(OptionStore, TextWithBlanksSurvivesSaveAndLoad)
{
    {
        TSCGOptions store;
        TNOption* text = store.AddOption("S", "Text", okString, QString());
        TNOption* number = store.AddOption("S", "Number", okInteger, 0);
        TNOption* flag = store.AddOption("S", "Flag", okBool, false);
        TNOption* flt = store.AddOption("S", "Float", okFloat, 0.0);
        TNOption* time = store.AddOption("S", "Time", okDateTime, QVariant());
        TNOption* lines = store.AddOption("S", "Lines", okString, QString());
        store.LoadFromFile();
        text->SetValue(QStringLiteral("  both ends  "));
        number->SetValue(-12);
        flag->SetValue(true);
        flt->SetValue(0.1);
        time->SetValue(QTime(13, 45, 30));
        lines->SetValue(QStringLiteral("one\r\n[Logon]\nAdminPassword=x"));
        store.SaveToFile();
        EXPECT_FALSE(store.Modified());
        EXPECT_EQ(lines->AsString(), "one [Logon] AdminPassword=x");
    }
    EXPECT_EQ(ReadAll(SettingsPath()),
              "[S]\nText=\"  both ends  \"\nNumber=-12\nFlag=1\nFloat=0.1\nTime=13:45:30\n"
              "Lines=\"one [Logon] AdminPassword=x\"\n");
    TSCGOptions again;
    TNOption* text = again.AddOption("S", "Text", okString, QString());
    TNOption* flt = again.AddOption("S", "Float", okFloat, 0.0);
    TNOption* time = again.AddOption("S", "Time", okDateTime, QVariant());
    again.LoadFromFile();
    EXPECT_EQ(text->AsString(), "  both ends  ");
    EXPECT_DOUBLE_EQ(flt->AsFloat(), 0.1);
    EXPECT_EQ(time->Value().toTime(), QTime(13, 45, 30));
}

TEST_F(OptionStore, LookupTrimsButComparesCase)
{
    TSCGOptions store;
    TNOption* logon = store.AddOption("Logon", "LogonOnStart", okBool, false);
    EXPECT_EQ(store.OptionByName(" LogonOnStart\t"), logon);
    try {
        store.OptionByName(" logononstart");
        FAIL() << "no error raised";
    } catch (const EOptionError& e) {
        EXPECT_EQ(e.Message(), "From TSCGOptions.OptionByName() : There is no Option named: \" logononstart\"");
    }
}

TEST_F(OptionStore, PropertyChecksWarnAndKeepTheOldValue)
{
    TSCGOptions store;
    TNOption* first = store.Add();
    EXPECT_EQ(first->Name(), "Option0");
    EXPECT_EQ(first->SectionName(), "DefaultSection");
    TNOption* second = store.AddOption("S", "Taken", okInteger, 1);

    first->SetName(" Taken ");
    first->SetName("  ");
    first->SetSectionName("");
    store.SetFileName(" ");
    second->SetDefaultValue(QStringLiteral("text for an integer"));
    second->SetDefaultValue(2.5);
    EXPECT_EQ(answers.Texts(),
              QStringList({"There is already an option named: \"Taken\". Please use another name!",
                           "Error: Option Name can't be empty !!!", "Error: SectionName can't be empty !!!",
                           "Error: FileName can't be empty !!!", "Wrong DefaultValue type. Please correct it.",
                           "Wrong DefaultValue type. Please correct it."}));
    for (const auto& r : answers.Requests())
        EXPECT_EQ(r.Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(first->Name(), "Option0");
    EXPECT_EQ(first->SectionName(), "DefaultSection");
    EXPECT_EQ(store.FileName(), "Settings.ini");
    EXPECT_EQ(second->DefaultValue().toInt(), 1);

    // Accepted types, and an empty default for any kind.
    answers.Clear();
    second->SetDefaultValue(QVariant::fromValue<quint8>(200));
    second->SetDefaultValue(QVariant::fromValue<qint64>(-5));
    second->SetDefaultValue(QVariant());
    first->SetKind(okBool);
    first->SetDefaultValue(QStringLiteral("True"));
    first->SetDefaultValue(false);
    store.SetFileName(" Other.ini ");
    EXPECT_TRUE(answers.Texts().isEmpty());
    EXPECT_EQ(store.FileName(), "Other.ini");
}

TEST_F(OptionStore, ApplyRunsHandlersOfModifiedOptionsThenWrites)
{
    TSCGOptions store;
    QStringList ran;
    QVariant savedDuringHandler;
    auto record = [&](TNOption* o) {
        ran << o->Name();
        savedDuringHandler = o->SavedValue();
    };
    TNOption* a = store.AddOption("S", "A", okInteger, 1, record);
    TNOption* b = store.AddOption("S", "B", okString, QStringLiteral("x"), record);
    store.LoadFromFile();
    EXPECT_FALSE(QFileInfo::exists(SettingsPath()));

    b->SetValue(QStringLiteral("x"));  // the same as the saved value
    EXPECT_FALSE(store.Modified());
    a->SetValue(5);
    EXPECT_TRUE(store.Modified());
    store.ApplyChanges();
    EXPECT_EQ(ran, QStringList({"A"}));
    EXPECT_EQ(savedDuringHandler.toInt(), 1);
    EXPECT_FALSE(store.Modified());
    EXPECT_EQ(ReadAll(SettingsPath()), "[S]\nA=5\nB=\"x\"\n");

    ran.clear();
    b->ApplyValue();
    EXPECT_EQ(ran, QStringList({"B"}));
}

TEST_F(OptionStore, CancelRestoresEveryValueAndLeavesTheFile)
{
    WriteAll(SettingsPath(), "; kept\n[S]\nA=3\nB=\"old\"\n");
    TSCGOptions store;
    int handlers = 0;
    TNOption* a = store.AddOption("S", "A", okInteger, 1, [&](TNOption*) { ++handlers; });
    TNOption* b = store.AddOption("S", "B", okString, QString(), [&](TNOption*) { ++handlers; });
    store.LoadFromFile();
    a->SetValue(99);
    b->SetValue(QStringLiteral("OLD"));  // text compares with case
    EXPECT_TRUE(b->Modified());
    store.CancelChanges();
    EXPECT_EQ(a->AsInteger(), 3);
    EXPECT_EQ(b->AsString(), "old");
    EXPECT_FALSE(store.Modified());
    EXPECT_EQ(handlers, 0);
    EXPECT_EQ(ReadAll(SettingsPath()), "; kept\n[S]\nA=3\nB=\"old\"\n");
}

TEST_F(OptionStore, ModifiedTreatsEmptyValuesApart)
{
    TSCGOptions store;
    TNOption* o = store.AddOption("S", "O", okString, QVariant());
    store.LoadFromFile();  // an empty default gives an empty text, not an empty value
    EXPECT_FALSE(o->Modified());
    o->SetValue(QVariant());
    EXPECT_TRUE(o->Modified());
    o->SetValue(QString());
    EXPECT_FALSE(o->Modified());
}

TEST_F(OptionStore, FailedSaveRaisesTheFileError)
{
    TSCGOptions store;
    store.SetFileName("missing-folder/Settings.ini");
    store.AddOption("S", "A", okInteger, 1);
    store.LoadFromFile();
    try {
        store.SaveToFile();
        FAIL() << "no error raised";
    } catch (const EProfileFileError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("missing-folder/Settings.ini"));
    }
}
