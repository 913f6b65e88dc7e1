#include "ui/plugins/contactacu.h"
#include "ui/plugins/contactaddress.h"
#include "ui/plugins/contactpager.h"
#include "ui/plugins/contactsmtp.h"

#include "platform/commatext.h"
#include "support/messageanswerer.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "editorfixture.h"

namespace {
struct TContactCase {
    const char* Name;
    TFormBaseEmbedContactEditor* (*Create)();
    const char* Default;
    const char* Valid;  // nested fields with commas, blanks and quotes
};

template <class T>
TFormBaseEmbedContactEditor* New()
{
    return new T;
}

const TContactCase contactCases[] = {
    {"Tap", New<TFormEmbedTapContactEditor>, R"(,false)", R"(" 123 ",true)"},
    {"SMS", New<TFormEmbedSMSContactEditor>, R"(,false)", R"(+6421555123,false)"},
    {"SMTP", New<TFormEmbedSMTPContactEditor>, R"(",,,",false)",
     R"("a@b.example,""c d@e.example"",,""Hello, """"world""""""",false)"},
    {"SNPP", New<TFormEmbedSNPPContactEditor>, R"(",",false)", R"("555123,""He said """"hi""""""",true)"},
    {"WCTP", New<TFormEmbedWCTPContactEditor>, R"(",,,0,0,0",false)", R"("777,me,""x, y"",-1,0,-1",true)"},
    {"MSG", New<TFormEmbedMSGContactEditor>, R"(",,,,",false)", R"("+6421555123,id1,src,""J Doe"",""p,w""",false)"},
    {"ACU", New<TFormEmbedACUContactEditor>, R"(",,,0,",false)", R"("10.0.0.1,5000,5001,0,""12 34""",false)"},
};

void PrintTo(const TContactCase& c, std::ostream* os)
{
    *os << c.Name;
}

class ContactEditorCase : public ::testing::TestWithParam<TContactCase> {};
}  // namespace

TEST_P(ContactEditorCase, NewEditorTextAndRoundTrip)
{
    MessageAnswerer answerer;
    std::unique_ptr<TFormBaseEmbedContactEditor> editor(GetParam().Create());
    EXPECT_EQ(editor->GetDataAsCSVString(), QString::fromLatin1(GetParam().Default));
    // An editor's own empty text loads back without an index error.
    EXPECT_TRUE(editor->PutDataAsCSVString(editor->GetDataAsCSVString()));

    const QString valid = QString::fromLatin1(GetParam().Valid);
    EXPECT_TRUE(editor->PutDataAsCSVString(valid));
    EXPECT_EQ(editor->GetDataAsCSVString(), valid);
    std::unique_ptr<TFormBaseEmbedContactEditor> again(GetParam().Create());
    EXPECT_TRUE(again->PutDataAsCSVString(editor->GetDataAsCSVString()));
    EXPECT_EQ(again->GetDataAsCSVString(), valid);
    EXPECT_TRUE(answerer.Texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AllTypes, ContactEditorCase, ::testing::ValuesIn(contactCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ContactEditors, SmtpNestedFieldsKeepCommasBlanksAndQuotes)
{
    TFormEmbedSMTPContactEditor editor;
    Control<QLineEdit>(&editor, "edtFrom")->setText(QStringLiteral("ops@example.com"));
    Control<QLineEdit>(&editor, "edtTo")->setText(QStringLiteral("a@example.com, b@example.com"));
    Control<QLineEdit>(&editor, "edtSubject")->setText(QStringLiteral("Alarm, \"zone 1\" "));
    const QString stored = editor.GetDataAsCSVString();
    const QStringList outer = CommaTextToList(stored);
    ASSERT_EQ(outer.size(), 2);
    EXPECT_EQ(outer[1], QStringLiteral("false"));
    EXPECT_EQ(CommaTextToList(outer[0]),
              QStringList({QStringLiteral("ops@example.com"), QStringLiteral("a@example.com, b@example.com"), QString(),
                           QStringLiteral("Alarm, \"zone 1\" ")}));

    TFormEmbedSMTPContactEditor loaded;
    EXPECT_TRUE(loaded.PutDataAsCSVString(stored));
    EXPECT_EQ(Control<QLineEdit>(&loaded, "edtSubject")->text(), QStringLiteral("Alarm, \"zone 1\" "));
    EXPECT_EQ(loaded.GetDataAsCSVString(), stored);
}

TEST(ContactEditors, NumericPagerFlag)
{
    TFormEmbedTapContactEditor editor;
    auto* numeric = Control<QCheckBox>(&editor, "chbNumeric");
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("123,TRUE")));
    EXPECT_TRUE(numeric->isChecked());
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("123")));
    EXPECT_FALSE(numeric->isChecked());
    editor.PutDataAsCSVString(QStringLiteral("123,\" true \""));
    EXPECT_TRUE(numeric->isChecked());
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("123,yes")));
    EXPECT_FALSE(numeric->isChecked());
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("123,false"));
    // Put never checks the count.
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("123,true,extra")));
    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QString()); }),
              QStringLiteral("List index out of bounds (0)"));

    // The SMS editor's hidden box is never written.
    TFormEmbedSMSContactEditor sms;
    auto* hidden = Control<QCheckBox>(&sms, "chbNumeric");
    EXPECT_TRUE(hidden->isHidden());
    sms.PutDataAsCSVString(QStringLiteral("+6421555123,true"));
    hidden->setChecked(true);
    EXPECT_EQ(sms.GetDataAsCSVString(), QStringLiteral("+6421555123,false"));
}

TEST(ContactEditors, PagerIdValidationWarnsAndFocuses)
{
    MessageAnswerer answerer;
    TFormEmbedTapContactEditor editor;
    auto* pagerId = Control<QLineEdit>(&editor, "edtPagerID");
    EXPECT_FALSE(editor.ValidateData());
    pagerId->setText(QStringLiteral("12"));
    EXPECT_FALSE(editor.ValidateData());
    pagerId->setText(QStringLiteral("-12"));
    EXPECT_TRUE(editor.ValidateData());
    pagerId->setText(QStringLiteral("12a"));
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(),
              QStringList({QStringLiteral("Error - Pager ID is empty !"),
                           QStringLiteral("Error - Pager ID less than 3 digits !"),
                           QStringLiteral("Error - Pager ID: \"12a\" is not a valid numeric string !")}));
    EXPECT_EQ(editor.focusWidget(), pagerId);

    // SNPP and WCTP follow the same rules on their pager ID.
    answerer.Clear();
    TFormEmbedSNPPContactEditor snpp;
    TFormEmbedWCTPContactEditor wctp;
    snpp.PutDataAsCSVString(QStringLiteral("\"1234567890123456789,s\",false"));
    wctp.PutDataAsCSVString(QStringLiteral("\"-1,,,0,0,0\",false"));
    EXPECT_FALSE(snpp.ValidateData());
    EXPECT_FALSE(wctp.ValidateData());
    EXPECT_EQ(answerer.Texts(),
              QStringList({QStringLiteral("Error - Pager ID greater than 18 digits  !"),
                           QStringLiteral("Error - Pager ID: \"-1\" is not a valid numeric string !")}));
    snpp.PutDataAsCSVString(QStringLiteral("\"0x1F,s\",false"));
    EXPECT_TRUE(snpp.ValidateData());
}

TEST(ContactEditors, AddressValidation)
{
    MessageAnswerer answerer;
    TFormEmbedSMSContactEditor sms;
    sms.PutDataAsCSVString(QStringLiteral("12345,false"));
    EXPECT_FALSE(sms.ValidateData());
    sms.PutDataAsCSVString(QStringLiteral("+12345,false"));
    EXPECT_TRUE(sms.ValidateData());

    TFormEmbedMSGContactEditor msg;
    EXPECT_FALSE(msg.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList({QStringLiteral("Error - SMS Destination Address less than 6 digits !"),
                                             QStringLiteral("Error - MSG Destionation Address is empty !")}));
    EXPECT_EQ(msg.focusWidget(), Control<QLineEdit>(&msg, "edtSMSAddress"));

    answerer.Clear();
    TFormEmbedSMTPContactEditor smtp;
    EXPECT_FALSE(smtp.ValidateData());
    Control<QLineEdit>(&smtp, "edtFrom")->setText(QStringLiteral("a@b"));
    Control<QLineEdit>(&smtp, "edtTo")->setText(QStringLiteral("  "));
    EXPECT_FALSE(smtp.ValidateData());
    EXPECT_EQ(smtp.focusWidget(), Control<QLineEdit>(&smtp, "edtTo"));
    Control<QLineEdit>(&smtp, "edtTo")->setText(QStringLiteral("not an address"));
    EXPECT_TRUE(smtp.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList({QStringLiteral("Error - From Email Address is empty !"),
                                             QStringLiteral("Error - To Email Addresses: \"  \" is empty !")}));

    answerer.Clear();
    TFormEmbedACUContactEditor acu;
    EXPECT_FALSE(acu.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error - ACU Destionation Address is empty !")});
    EXPECT_EQ(acu.focusWidget(), Control<QLineEdit>(&acu, "edtAcuIP"));
}

TEST(ContactEditors, WctpNotifyFlagsAreBooleanTexts)
{
    TFormEmbedWCTPContactEditor editor;
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("\"555,s,m,TRUE,2,false\",false")));
    EXPECT_TRUE(Control<QCheckBox>(&editor, "chbNotifyQueued")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(&editor, "chbNotifyDelivered")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(&editor, "chbNotifyRead")->isChecked());
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("\"555,s,m,-1,-1,0\",false"));
    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("\"555,s,m,yes,0,0\",false")); }),
              QStringLiteral("'yes' is not a valid boolean value"));
    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("\"555,s,m,0,0\",false")); }),
              QStringLiteral("List index out of bounds (5)"));
}

TEST(ContactEditors, AcuCommandTypeShowsOrHidesThePagerId)
{
    TFormEmbedACUContactEditor editor;
    auto* commandType = Control<QComboBox>(&editor, "cbbCommandType");
    auto* pagerId = Control<QLineEdit>(&editor, "edtPagerID");
    EXPECT_EQ(commandType->currentText(), QStringLiteral("IPP"));
    EXPECT_FALSE(pagerId->isHidden());

    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("\"10.0.0.1,5000,5001,1,777\",false")));
    EXPECT_TRUE(pagerId->isHidden());
    // A hidden pager ID is still written.
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("\"10.0.0.1,5000,5001,1,777\",false"));
    commandType->setCurrentIndex(0);
    EXPECT_FALSE(pagerId->isHidden());
    // A number without an entry is kept and written back; -1 (none chosen)
    // reads as "IPP".
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("\"10.0.0.1,5000,5001,9,777\",false")));
    EXPECT_EQ(commandType->currentIndex(), -1);
    EXPECT_TRUE(pagerId->isHidden());
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("\"10.0.0.1,5000,5001,9,777\",false"));
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("\"10.0.0.1,5000,5001,-1,777\",false")));
    EXPECT_EQ(commandType->currentText(), QStringLiteral("IPP"));
    EXPECT_FALSE(pagerId->isHidden());

    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("\"10.9.9.9,1,2,x,777\",false")); }),
              QStringLiteral("'x' is not a valid integer value"));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtAcuIP")->text(), QStringLiteral("10.9.9.9"));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtAcuPort")->text(), QStringLiteral("1"));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtLocalPort")->text(), QStringLiteral("2"));
}
