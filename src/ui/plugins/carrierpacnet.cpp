#include "ui/plugins/carrierpacnet.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

TFormCarrierPacnet::TFormCarrierPacnet(QWidget* owner) : TFormBaseCarrierEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtPhone = NewEdit(this, QStringLiteral("edtPhone"));
    AddLabelledRow(form, QStringLiteral("&Phone No. : "), edtPhone);

    cbMaxMessLength =
        NewTextCombo(this, QStringLiteral("cbMaxMessLength"),
                     {QStringLiteral("80"), QStringLiteral("100"), QStringLiteral("120"), QStringLiteral("140"),
                      QStringLiteral("160"), QStringLiteral("200"), QStringLiteral("240")});
    SetComboText(cbMaxMessLength, QStringLiteral("120"));
    AddLabelledRow(form, QStringLiteral("Max Message &Length : "), cbMaxMessLength);

    // Speed and data settings change by mouse only; they start with a text
    // and no entry selected.
    cbSpeed = NewPickCombo(this, QStringLiteral("cbSpeed"),
                           {QStringLiteral("300"), QStringLiteral("1200"), QStringLiteral("2400"),
                            QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("14400"),
                            QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("56000")});
    ShowComboText(cbSpeed, QStringLiteral("1200"));
    InstallKeyboardBlock(cbSpeed);
    AddLabelledRow(form, QStringLiteral("Speed (&bps) : "), cbSpeed);

    cbDataSettings =
        NewPickCombo(this, QStringLiteral("cbDataSettings"), {QStringLiteral("7,O,1"), QStringLiteral("8,N,1")});
    ShowComboText(cbDataSettings, QStringLiteral("7,E,1"));
    InstallKeyboardBlock(cbDataSettings);
    AddLabelledRow(form, QStringLiteral("&Data Settings : "), cbDataSettings);

    edtNUI = NewEdit(this, QStringLiteral("edtNUI"));
    edtNUI->setToolTip(QStringLiteral("Network User Identifier"));
    AddLabelledRow(form, QStringLiteral("NU&I :"), edtNUI);

    edtNUA = NewEdit(this, QStringLiteral("edtNUA"));
    edtNUA->setToolTip(QStringLiteral("Network User Address"));
    AddLabelledRow(form, QStringLiteral("NU&A :"), edtNUA);
}

QString TFormCarrierPacnet::GetDataAsCSVString() const
{
    return CommaTextFromList({TrimBlanksAndControls(edtPhone->text()), TrimBlanksAndControls(ComboText(cbMaxMessLength)),
                              TrimBlanksAndControls(ComboText(cbSpeed)), TrimBlanksAndControls(ComboText(cbDataSettings)),
                              TrimBlanksAndControls(edtNUI->text()), TrimBlanksAndControls(edtNUA->text())});
}

bool TFormCarrierPacnet::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    bool result = true;
    edtPhone->setText(TrimBlanksAndControls(ItemAt(items, 0)));
    ShowComboText(cbMaxMessLength, TrimBlanksAndControls(ItemAt(items, 1)));
    result = SelectListValue(cbSpeed, ItemAt(items, 2)) && result;
    result = SelectListValue(cbDataSettings, ItemAt(items, 3)) && result;
    edtNUI->setText(TrimBlanksAndControls(ItemAt(items, 4)));
    edtNUA->setText(TrimBlanksAndControls(ItemAt(items, 5)));
    return CheckItemCount(items, 6) && result;
}
