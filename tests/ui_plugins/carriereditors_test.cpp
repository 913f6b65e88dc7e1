#include "ui/plugins/carrieracu.h"
#include "ui/plugins/carrierhostport.h"
#include "ui/plugins/carrierpacnet.h"
#include "ui/plugins/carriersms.h"
#include "ui/plugins/carriersmtp.h"
#include "ui/plugins/carriertap.h"
#include "ui/plugins/embedcontrols.h"

#include "support/messageanswerer.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "editorfixture.h"

namespace {
QString PutWarning(const char* editorClass, const char* what, const QString& item)
{
    return QStringLiteral("Error From \"%1.PutDataAsCSVString()\" - wrong input data for %2: \"%3\"")
        .arg(QString::fromLatin1(editorClass), QString::fromLatin1(what), item);
}

// A new editor's text, and a valid text that must come back unchanged.
struct TCarrierCase {
    const char* Name;
    TFormBaseCarrierEditor* (*Create)();
    const char* Default;
    const char* Valid;
};

template <class T>
TFormBaseCarrierEditor* New()
{
    return new T;
}

const TCarrierCase carrierCases[] = {
    {"TAPModem", New<TFormCarrierTAPModem>, R"(,,240,1200,"7,E,1")", R"(0215551234,secret,100,9600,"8,N,1")"},
    {"Pacnet", New<TFormCarrierPacnet>, R"(,120,1200,"7,E,1",,)", R"(021,100,2400,"8,N,1",nui1,nua1)"},
    {"TapDirect", New<TFormCarrierTapDirect>, R"(,,200,9600,"8,N,1")", R"(,pw,80,115200,"7,E,1")"},
    {"SMS", New<TFormCarrierSMS>, R"(,,160,19200,"8,N,1",0)", R"(+6421600600,1234,140,9600,"7,E,1",-1)"},
    {"SMTP", New<TFormCarrierSMTP>, R"(smtp.example.com,25,0,"Account name",**********)",
     R"(mail.example.org,587,1,"John Smith","p w")"},
    {"SNPP", New<TFormCarrierSNPP>, R"(snpp.example.com,7777,240,,**********)", R"(snpp.example.org,444,160,me,pw)"},
    {"WCTP", New<TFormCarrierWCTP>, R"(wctp.example.com\wctp,80,300)", R"(wctp.example.org\wctp,8080,500)"},
    {"MSG", New<TFormCarrierMSG>, R"(http://sms.example.com/gateway,80,480)", R"(https://gw.example.org/send,443,160)"},
    {"ACU", New<TFormCarrierACU>, R"(1,,,64)", R"(3,say=,;,120)"},
};

void PrintTo(const TCarrierCase& c, std::ostream* os)
{
    *os << c.Name;
}

class CarrierEditorCase : public ::testing::TestWithParam<TCarrierCase> {};
}  // namespace

TEST_P(CarrierEditorCase, NewEditorWritesTheDefaultsAndValidTextsComeBack)
{
    MessageAnswerer answerer;
    std::unique_ptr<TFormBaseCarrierEditor> editor(GetParam().Create());
    EXPECT_EQ(editor->GetDataAsCSVString(), QString::fromLatin1(GetParam().Default));

    const QString valid = QString::fromLatin1(GetParam().Valid);
    EXPECT_TRUE(editor->PutDataAsCSVString(valid));
    EXPECT_EQ(editor->GetDataAsCSVString(), valid);
    // A second editor loaded from the stored text gives it back again.
    std::unique_ptr<TFormBaseCarrierEditor> again(GetParam().Create());
    again->PutDataAsCSVString(editor->GetDataAsCSVString());
    EXPECT_EQ(again->GetDataAsCSVString(), valid);
    EXPECT_TRUE(answerer.Texts().isEmpty()) << answerer.Texts().join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CarrierEditorCase, ::testing::ValuesIn(carrierCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(CarrierEditors, TapModemLoadRules)
{
    MessageAnswerer answerer;
    TFormCarrierTAPModem editor;

    // A baud rate that is not a list value warns; loading goes on.
    EXPECT_FALSE(editor.PutDataAsCSVString(QStringLiteral(R"(021,,100,300,"8,N,1")")));
    EXPECT_EQ(answerer.Texts(), QStringList{PutWarning("TFormCarrierTAPModem", "BaudRate", QStringLiteral("300"))});
    EXPECT_EQ(ComboText(Control<QComboBox>(&editor, "cbDataSettings")), QStringLiteral("8,N,1"));
    EXPECT_EQ(Control<QComboBox>(&editor, "cbMaxMessLength")->currentText(), QStringLiteral("100"));
    // The rejected value is kept, so saving unchanged does not rewrite it.
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(021,,100,300,"8,N,1")"));

    // Lower-case data settings select the list value.
    answerer.Clear();
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(R"(021,,240,1200,"7,e,1")")));
    EXPECT_EQ(Control<QComboBox>(&editor, "cbDataSettings")->currentIndex(), 0);
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(021,,240,1200,"7,E,1")"));
    EXPECT_TRUE(answerer.Texts().isEmpty());

    // Six items: the first five load, then the count warning.
    EXPECT_FALSE(editor.PutDataAsCSVString(QStringLiteral(R"(999,,160,2400,"8,N,1",extra)")));
    EXPECT_EQ(answerer.Texts(),
              QStringList{QStringLiteral("Error From \"TFormCarrierTAPModem.PutDataAsCSVString()\" - wrong number of "
                                         "input strings in data: \"6\" (correct is 5)")});
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(999,,160,2400,"8,N,1")"));

    // Four items: the index error after the first four loaded.
    answerer.Clear();
    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("555,pw,80,4800")); }),
              QStringLiteral("List index out of bounds (4)"));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtPhone")->text(), QStringLiteral("555"));
    EXPECT_EQ(Control<QComboBox>(&editor, "cbBaudRate")->currentText(), QStringLiteral("4800"));
    EXPECT_TRUE(answerer.Texts().isEmpty());

    // A data setting that is no list value warns with the untrimmed item.
    EXPECT_FALSE(editor.PutDataAsCSVString(QStringLiteral(R"(021,,240,1200," 9,X,2")")));
    EXPECT_EQ(answerer.Texts(),
              QStringList{PutWarning("TFormCarrierTAPModem", "DataSettings", QStringLiteral(" 9,X,2"))});
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(021,,240,1200,"9,X,2")"));
}

TEST(CarrierEditors, TapWarningsNameTheEditorClass)
{
    MessageAnswerer answerer;
    TFormCarrierTapDirect editor;
    EXPECT_FALSE(editor.PutDataAsCSVString(QStringLiteral(R"(,,200,12,"8,N,1")")));
    EXPECT_EQ(answerer.Texts(), QStringList{PutWarning("TFormCarrierTapDirect", "BaudRate", QStringLiteral("12"))});
    // TAP Direct ignores item 0 and writes it empty.
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(R"(ignored,,200,9600,"8,N,1")")));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(,,200,9600,"8,N,1")"));
    EXPECT_EQ(editor.HelpContext(), 1054);
}

TEST(CarrierEditors, BlankPasswordToggle)
{
    MessageAnswerer answerer;
    TFormCarrierTAPModem editor;
    auto* password = Control<QLineEdit>(&editor, "edtPassword");
    auto* blank = Control<QCheckBox>(&editor, "chbBlankPassword");
    EXPECT_TRUE(blank->isChecked());
    EXPECT_FALSE(password->isEnabled());

    editor.PutDataAsCSVString(QStringLiteral(R"(021,secret,240,1200,"7,E,1")"));
    EXPECT_FALSE(blank->isChecked());
    EXPECT_TRUE(password->isEnabled());
    EXPECT_EQ(password->text(), QStringLiteral("secret"));

    blank->click();
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_EQ(password->palette().color(QPalette::Base), QApplication::palette(password).color(QPalette::Button));
    blank->click();
    EXPECT_TRUE(password->isEnabled());
    EXPECT_EQ(password->palette().color(QPalette::Base), QApplication::palette(password).color(QPalette::Base));

    editor.PutDataAsCSVString(QStringLiteral(R"(021,,240,1200,"7,E,1")"));
    EXPECT_TRUE(blank->isChecked());
    EXPECT_FALSE(password->isEnabled());
}

TEST(CarrierEditors, PacnetKeepsValuesThatAreNotListValues)
{
    MessageAnswerer answerer;
    TFormCarrierPacnet editor;
    const QString saved = editor.GetDataAsCSVString();
    // Its own default data setting is not a list value: False, no warning,
    // and the value is written back unchanged.
    EXPECT_FALSE(editor.PutDataAsCSVString(saved));
    EXPECT_EQ(editor.GetDataAsCSVString(), saved);
    EXPECT_EQ(Control<QComboBox>(&editor, "cbDataSettings")->currentIndex(), -1);

    EXPECT_FALSE(editor.PutDataAsCSVString(QStringLiteral(R"(021,100,110,"8,n,1",a,b)")));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(021,100,110,"8,N,1",a,b)"));
    EXPECT_TRUE(answerer.Texts().isEmpty());
    EXPECT_EQ(editor.HelpContext(), 1053);
}

TEST(CarrierEditors, KeyboardFilters)
{
    MessageAnswerer answerer;
    TFormCarrierSMTP smtp;
    auto* port = Control<QLineEdit>(&smtp, "edtPort");
    port->clear();
    QTest::keyClicks(port, QStringLiteral("8a0-"));
    EXPECT_EQ(port->text(), QStringLiteral("80"));
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), QStringLiteral("8"));

    TFormCarrierTAPModem tap;
    QLineEdit* length = Control<QComboBox>(&tap, "cbMaxMessLength")->lineEdit();
    length->clear();
    QTest::keyClicks(length, QStringLiteral("1x2 0"));
    EXPECT_EQ(length->text(), QStringLiteral("120"));

    // PACNET's speed changes by mouse only.
    TFormCarrierPacnet pacnet;
    auto* speed = Control<QComboBox>(&pacnet, "cbSpeed");
    QTest::keyClicks(speed, QStringLiteral("96"));
    QTest::keyClick(speed, Qt::Key_Down);
    QTest::keyClick(speed, Qt::Key_End);
    EXPECT_EQ(ComboText(speed), QStringLiteral("1200"));
    EXPECT_EQ(speed->currentIndex(), -1);
}

TEST(CarrierEditors, SmsUnicodeAndCentre)
{
    MessageAnswerer answerer;
    TFormCarrierSMS editor;
    auto* unicode = Control<QCheckBox>(&editor, "chbUniCode");
    auto* length = Control<QComboBox>(&editor, "cbMaxMessLength");

    // Loading a ticked Unicode flag keeps the stored length.
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(R"(,,140,19200,"8,N,1",-1)")));
    EXPECT_TRUE(unicode->isChecked());
    EXPECT_EQ(length->currentText(), QStringLiteral("140"));
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(R"(,,100,19200,"8,N,1",True)")));
    EXPECT_EQ(length->currentText(), QStringLiteral("100"));
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(R"(,,120,19200,"8,N,1",false)")));
    EXPECT_FALSE(unicode->isChecked());
    EXPECT_EQ(length->currentText(), QStringLiteral("120"));

    // The operator's click presets the length.
    unicode->click();
    EXPECT_EQ(length->currentText(), QStringLiteral("70"));
    unicode->click();
    EXPECT_EQ(length->currentText(), QStringLiteral("160"));

    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral(R"(,,120,19200,"8,N,1",yes)")); }),
              QStringLiteral("'yes' is not a valid boolean value"));

    // The centre box is not stored: a loaded number shows in the disabled edit.
    auto* centre = Control<QLineEdit>(&editor, "edtSMSCenter");
    auto* inPhone = Control<QCheckBox>(&editor, "chbSMSCInPhone");
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(R"(+6421600600,,160,19200,"8,N,1",0)")));
    EXPECT_TRUE(inPhone->isChecked());
    EXPECT_FALSE(centre->isEnabled());
    EXPECT_EQ(centre->text(), QStringLiteral("+6421600600"));
    EXPECT_TRUE(editor.ValidateData());
    inPhone->click();
    EXPECT_TRUE(centre->isEnabled());
    inPhone->click();
    EXPECT_TRUE(centre->text().isEmpty());
    EXPECT_TRUE(editor.ValidateData());
    EXPECT_TRUE(answerer.Texts().size() == 0);

    inPhone->click();
    centre->setText(QStringLiteral("+64 21600600"));
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: SMSC number format is wrong.")});
    EXPECT_EQ(editor.focusWidget(), centre);
}

TEST(CarrierEditors, SmtpAuthenticationAndValidation)
{
    MessageAnswerer answerer;
    TFormCarrierSMTP editor;
    auto* authType = Control<QComboBox>(&editor, "cbbAuthType");
    EXPECT_EQ(authType->currentText(), QStringLiteral("Simple Login"));
    // "-1" (none chosen: a carrier saved as first shown) is "Simple Login".
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("h,25,1,a,p")));
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("h,25,-1,a,p")));
    EXPECT_EQ(authType->currentText(), QStringLiteral("Simple Login"));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("h,25,0,a,p"));
    EXPECT_TRUE(answerer.Texts().isEmpty());
    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("h,25,x,a,p")); }),
              QStringLiteral("'x' is not a valid integer value"));
    // A number without an entry warns, and is kept as it was.
    EXPECT_FALSE(editor.PutDataAsCSVString(QStringLiteral("h,25,7,a,p")));
    EXPECT_EQ(answerer.Texts(), QStringList{PutWarning("TFormCarrierSMTP", "SMTP AuthType", QStringLiteral("7"))});
    EXPECT_EQ(authType->currentIndex(), -1);
    EXPECT_EQ(ComboText(authType), QStringLiteral("7"));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("h,25,7,a,p"));

    answerer.Clear();
    editor.PutDataAsCSVString(QStringLiteral("h,65536,0,a,\"\""));
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList({QStringLiteral("Error: SMTP Port number is invalid."),
                                             QStringLiteral("Error: Password can't be empty")}));
    EXPECT_EQ(editor.focusWidget(), Control<QLineEdit>(&editor, "edtPassword"));

    answerer.Clear();
    editor.PutDataAsCSVString(QStringLiteral("h,0,0,a,p"));
    EXPECT_TRUE(editor.ValidateData());
    editor.PutDataAsCSVString(QStringLiteral("h,abc,0,a,p"));
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: SMTP Port number is invalid.")});
    EXPECT_EQ(editor.focusWidget(), Control<QLineEdit>(&editor, "edtPort"));
}

TEST(CarrierEditors, GatewayPortsAndPhone)
{
    MessageAnswerer answerer;
    TFormCarrierSNPP snpp;
    TFormCarrierWCTP wctp;
    TFormCarrierMSG msg;
    EXPECT_TRUE(snpp.ValidateData() && wctp.ValidateData() && msg.ValidateData());
    snpp.PutDataAsCSVString(QStringLiteral("h,-5,240,,"));
    wctp.PutDataAsCSVString(QStringLiteral("h,,300"));
    msg.PutDataAsCSVString(QStringLiteral("h,99999,480"));
    EXPECT_FALSE(snpp.ValidateData());
    EXPECT_FALSE(wctp.ValidateData());
    EXPECT_FALSE(msg.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList({QStringLiteral("Error: SNPP Port number is invalid."),
                                             QStringLiteral("Error: WCTP Port number is invalid."),
                                             QStringLiteral("Error: MSG Port number is invalid.")}));

    answerer.Clear();
    TFormCarrierTAPModem tap;
    EXPECT_FALSE(tap.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: Phone number can't be empty")});
    EXPECT_EQ(tap.focusWidget(), Control<QLineEdit>(&tap, "edtPhone"));
    EXPECT_EQ(tap.HelpContext(), 1052);
    EXPECT_TRUE(TFormCarrierPacnet().ValidateData());
}

TEST(CarrierEditors, AcuSerialFormat)
{
    MessageAnswerer answerer;
    TFormCarrierACU editor;
    auto* format = Control<QComboBox>(&editor, "cbbSerialFormat");
    EXPECT_EQ(ComboText(format), QStringLiteral("RC8660"));
    // "-1" (none chosen: a carrier saved as first shown) is "RC8660", without
    // its presets.
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("-1,,,64")));
    EXPECT_EQ(format->currentText(), QStringLiteral("RC8660"));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("1,,,64"));

    // Focus passing through the drop-down changes nothing.
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    format->setFocus();
    QTest::keyClick(format, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), format);
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("1,,,64"));

    // Put selects without presetting.
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("3,a,b,99")));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("3,a,b,99"));

    // The operator's pick presets header, footer and length.
    auto pick = [&](int index) {
        format->setCurrentIndex(index);
        emit format->activated(index);
    };
    pick(3);
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("3,say=,;,120"));
    pick(0);
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(R"(0,,\0D,240)"));
    pick(5);
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("5,,,240"));

    // A number without an entry is kept as it was, silently.
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("17,,,64")));
    EXPECT_EQ(format->currentIndex(), -1);
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("17,,,64"));
    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("RC8650,,,64")); }),
              QStringLiteral("'RC8650' is not a valid integer value"));
    EXPECT_TRUE(answerer.Texts().isEmpty());
}
