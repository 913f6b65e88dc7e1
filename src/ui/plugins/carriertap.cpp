#include "ui/plugins/carriertap.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

QStringList CarrierBaudRates()
{
    return {QStringLiteral("1200"),   QStringLiteral("2400"),   QStringLiteral("4800"),  QStringLiteral("9600"),
            QStringLiteral("14400"),  QStringLiteral("19200"),  QStringLiteral("38400"), QStringLiteral("57600"),
            QStringLiteral("115200"), QStringLiteral("128000"), QStringLiteral("256000")};
}

TFormCarrierTapBase::TFormCarrierTapBase(QWidget* owner, const TDefaults& defaults) : TFormBaseCarrierEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    if (defaults.WithPhone) {
        edtPhone = NewEdit(this, QStringLiteral("edtPhone"));
        AddLabelledRow(form, QStringLiteral("&Phone : "), edtPhone);
    }

    edtPassword = NewEdit(this, QStringLiteral("edtPassword"));
    chbBlankPassword = NewCheckBox(this, QStringLiteral("&Blank Password"), QStringLiteral("chbBlankPassword"), true);
    AddLabelledRow(form, QStringLiteral("Pass&word : "), edtPassword, chbBlankPassword);
    BindBlankToggle(chbBlankPassword, edtPassword);

    cbMaxMessLength = NewTextCombo(this, QStringLiteral("cbMaxMessLength"),
                                   {QStringLiteral("80"), QStringLiteral("140"), QStringLiteral("160"),
                                    QStringLiteral("200"), QStringLiteral("240")});
    cbMaxMessLength->setCurrentIndex(defaults.LengthIndex);
    InstallDigitFilter(cbMaxMessLength);
    AddLabelledRow(form, QStringLiteral("Max Message &Length : "), cbMaxMessLength);

    cbBaudRate = NewPickCombo(this, QStringLiteral("cbBaudRate"), CarrierBaudRates());
    SetComboText(cbBaudRate, defaults.BaudRate);
    InstallDigitFilter(cbBaudRate);
    AddLabelledRow(form, QStringLiteral("Modem Baud &Rate :"), cbBaudRate);

    cbDataSettings =
        NewPickCombo(this, QStringLiteral("cbDataSettings"), {QStringLiteral("7,E,1"), QStringLiteral("8,N,1")});
    SetComboText(cbDataSettings, defaults.DataSettings);
    AddLabelledRow(form, QStringLiteral("&Data Settings"), cbDataSettings);
}

QString TFormCarrierTapBase::GetDataAsCSVString() const
{
    return CommaTextFromList(
        {edtPhone ? TrimBlanksAndControls(edtPhone->text()) : QString(), TrimBlanksAndControls(edtPassword->text()),
         TrimBlanksAndControls(ComboText(cbMaxMessLength)), TrimBlanksAndControls(ComboText(cbBaudRate)),
         TrimBlanksAndControls(ComboText(cbDataSettings))});
}

bool TFormCarrierTapBase::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    bool result = true;
    if (edtPhone)
        edtPhone->setText(TrimBlanksAndControls(ItemAt(items, 0)));
    PutBlankToggled(chbBlankPassword, edtPassword, ItemAt(items, 1));
    SetComboText(cbMaxMessLength, TrimBlanksAndControls(ItemAt(items, 2)));
    result = PutListValue(cbBaudRate, items, 3, QStringLiteral("BaudRate")) && result;
    result = PutListValue(cbDataSettings, items, 4, QStringLiteral("DataSettings")) && result;
    return CheckItemCount(items, 5) && result;
}

TFormCarrierTAPModem::TFormCarrierTAPModem(QWidget* owner)
    : TFormCarrierTapBase(owner, {true, 4, QStringLiteral("1200"), QStringLiteral("7,E,1")})
{
}

bool TFormCarrierTAPModem::ValidateData()
{
    if (TrimBlanksAndControls(edtPhone->text()).isEmpty()) {
        Warn(QStringLiteral("Error: Phone number can't be empty"), edtPhone);
        return false;
    }
    return true;
}

TFormCarrierTapDirect::TFormCarrierTapDirect(QWidget* owner)
    : TFormCarrierTapBase(owner, {false, 3, QStringLiteral("9600"), QStringLiteral("8,N,1")})
{
}
