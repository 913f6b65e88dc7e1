#include "ui/plugins/contactaddress.h"

#include "platform/commatext.h"
#include "ui/plugins/contactrules.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {
// The address edit with its example line below it.
QLineEdit* AddAddressRows(QWidget* owner, QFormLayout* form, const QString& example)
{
    QLineEdit* edit = NewEdit(owner, QStringLiteral("edtSMSAddress"));
    AddLabelledRow(form, QStringLiteral("&SMS Address: "), edit);
    auto* exampleLabel = new QLabel(example, owner);
    exampleLabel->setObjectName(QStringLiteral("lblExample"));
    form->addRow(QString(), exampleLabel);
    return edit;
}
}  // namespace

TFormEmbedSMSContactEditor::TFormEmbedSMSContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtSMSAddress = AddAddressRows(this, form, QStringLiteral("(e.g. +64215551234 or 0215551234)"));
    chbNumeric = NewCheckBox(this, QStringLiteral("&Numeric-Only Pager"), QStringLiteral("chbNumeric"));
    chbNumeric->hide();
}

QString TFormEmbedSMSContactEditor::GetDataAsCSVString() const
{
    return ContactText(edtSMSAddress->text(), false);
}

bool TFormEmbedSMSContactEditor::PutDataAsCSVString(const QString& data)
{
    edtSMSAddress->setText(ItemAt(CommaTextToList(data), 0));
    return true;
}

bool TFormEmbedSMSContactEditor::ValidateData()
{
    return Passes(DestinationAddressProblem(edtSMSAddress->text(), QStringLiteral("SMS")), edtSMSAddress);
}

TFormEmbedMSGContactEditor::TFormEmbedMSGContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtSMSAddress = AddAddressRows(this, form, QStringLiteral("(e.g. +64215551234)"));
    edtMessageID = NewEdit(this, QStringLiteral("edtMessageID"));
    AddLabelledRow(form, QStringLiteral("M&essage ID:"), edtMessageID);
    edtSourceCode = NewEdit(this, QStringLiteral("edtSourceCode"));
    AddLabelledRow(form, QStringLiteral("Source &Code:"), edtSourceCode);
    edtUserName = NewEdit(this, QStringLiteral("edtUserName"));
    AddLabelledRow(form, QStringLiteral("&User Name:"), edtUserName);
    edtPassword = NewPasswordEdit(this, QStringLiteral("edtPassword"));
    AddLabelledRow(form, QStringLiteral("&Password:"), edtPassword);
}

QString TFormEmbedMSGContactEditor::GetDataAsCSVString() const
{
    return ContactText(QStringList{edtSMSAddress->text(), edtMessageID->text(), edtSourceCode->text(),
                                   edtUserName->text(), edtPassword->text()},
                       false);
}

bool TFormEmbedMSGContactEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList nested = NestedItems(CommaTextToList(data));
    edtSMSAddress->setText(ItemAt(nested, 0));
    edtMessageID->setText(ItemAt(nested, 1));
    edtSourceCode->setText(ItemAt(nested, 2));
    edtUserName->setText(ItemAt(nested, 3));
    edtPassword->setText(ItemAt(nested, 4));
    return true;
}

bool TFormEmbedMSGContactEditor::ValidateData()
{
    return Passes(DestinationAddressProblem(edtSMSAddress->text(), QStringLiteral("MSG")), edtSMSAddress);
}
