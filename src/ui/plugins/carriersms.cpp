#include "ui/plugins/carriersms.h"

#include "platform/commatext.h"
#include "ui/plugins/carriertap.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

TFormCarrierSMS::TFormCarrierSMS(QWidget* owner) : TFormBaseCarrierEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);

    chbSMSCInPhone =
        NewCheckBox(this, QStringLiteral("Using SMSC stored in mobile phone"), QStringLiteral("chbSMSCInPhone"), true);
    form->addRow(chbSMSCInPhone);
    edtSMSCenter = NewEdit(this, QStringLiteral("edtSMSCenter"));
    AddLabelledRow(form, QStringLiteral("SMS &Center : "), edtSMSCenter,
                   new QLabel(QStringLiteral(" (e.g. +6421600600)"), this));
    // The box is not stored: Put leaves it alone, so a loaded number shows in
    // the disabled edit until the operator clears the box.
    BindBlankToggle(chbSMSCInPhone, edtSMSCenter);

    edtPinNo = NewEdit(this, QStringLiteral("edtPinNo"));
    chbBlankPinNo = NewCheckBox(this, QStringLiteral("&Blank SIM Pin No."), QStringLiteral("chbBlankPinNo"), true);
    AddLabelledRow(form, QStringLiteral("SIM &Pin No.: "), edtPinNo, chbBlankPinNo);
    BindBlankToggle(chbBlankPinNo, edtPinNo);

    cbMaxMessLength = NewTextCombo(this, QStringLiteral("cbMaxMessLength"),
                                   {QStringLiteral("70"), QStringLiteral("140"), QStringLiteral("160")});
    SetComboText(cbMaxMessLength, QStringLiteral("160"));
    InstallDigitFilter(cbMaxMessLength);
    AddLabelledRow(form, QStringLiteral("Max SMS &Length : "), cbMaxMessLength);

    cbBaudRate = NewPickCombo(this, QStringLiteral("cbBaudRate"), CarrierBaudRates());
    SetComboText(cbBaudRate, QStringLiteral("19200"));
    InstallDigitFilter(cbBaudRate);
    AddLabelledRow(form, QStringLiteral("COM Baud &Rate :"), cbBaudRate);

    cbDataSettings =
        NewPickCombo(this, QStringLiteral("cbDataSettings"), {QStringLiteral("7,E,1"), QStringLiteral("8,N,1")});
    SetComboText(cbDataSettings, QStringLiteral("8,N,1"));
    AddLabelledRow(form, QStringLiteral("&Data Settings"), cbDataSettings);

    chbUniCode = NewCheckBox(this, QStringLiteral("UniCode"), QStringLiteral("chbUniCode"));
    form->addRow(QString(), chbUniCode);
    // Clicked, not toggled: a change made by Put must not preset the length.
    connect(chbUniCode, &QCheckBox::clicked, this, [this](bool checked) {
        SetComboText(cbMaxMessLength, checked ? QStringLiteral("70") : QStringLiteral("160"));
    });
}

QString TFormCarrierSMS::GetDataAsCSVString() const
{
    return CommaTextFromList({TrimBlanksAndControls(edtSMSCenter->text()), TrimBlanksAndControls(edtPinNo->text()),
                              TrimBlanksAndControls(ComboText(cbMaxMessLength)),
                              TrimBlanksAndControls(ComboText(cbBaudRate)),
                              TrimBlanksAndControls(ComboText(cbDataSettings)),
                              chbUniCode->isChecked() ? QStringLiteral("-1") : QStringLiteral("0")});
}

bool TFormCarrierSMS::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    bool result = true;
    edtSMSCenter->setText(TrimBlanksAndControls(ItemAt(items, 0)));
    PutBlankToggled(chbBlankPinNo, edtPinNo, ItemAt(items, 1));
    SetComboText(cbMaxMessLength, TrimBlanksAndControls(ItemAt(items, 2)));
    result = PutListValue(cbBaudRate, items, 3, QStringLiteral("BaudRate")) && result;
    result = PutListValue(cbDataSettings, items, 4, QStringLiteral("DataSettings")) && result;
    chbUniCode->setChecked(StrToBoolChecked(ItemAt(items, 5)));
    return CheckItemCount(items, 6) && result;
}

bool TFormCarrierSMS::ValidateData()
{
    if (!IsPhoneNumberText(TrimBlanksAndControls(edtSMSCenter->text()))) {
        Warn(QStringLiteral("Error: SMSC number format is wrong."), edtSMSCenter);
        return false;
    }
    return true;
}
