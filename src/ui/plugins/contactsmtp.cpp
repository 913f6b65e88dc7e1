#include "ui/plugins/contactsmtp.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QFormLayout>
#include <QLineEdit>

TFormEmbedSMTPContactEditor::TFormEmbedSMTPContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtFrom = NewEdit(this, QStringLiteral("edtFrom"));
    AddLabelledRow(form, QStringLiteral("&From: "), edtFrom);
    edtTo = NewEdit(this, QStringLiteral("edtTo"));
    AddLabelledRow(form, QStringLiteral("&To:"), edtTo);
    edtCC = NewEdit(this, QStringLiteral("edtCC"));
    AddLabelledRow(form, QStringLiteral("&CC:"), edtCC);
    edtSubject = NewEdit(this, QStringLiteral("edtSubject"));
    AddLabelledRow(form, QStringLiteral("&Subject:"), edtSubject);
}

QString TFormEmbedSMTPContactEditor::GetDataAsCSVString() const
{
    return ContactText(QStringList{edtFrom->text(), edtTo->text(), edtCC->text(), edtSubject->text()}, false);
}

bool TFormEmbedSMTPContactEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList nested = NestedItems(CommaTextToList(data));
    edtFrom->setText(ItemAt(nested, 0));
    edtTo->setText(ItemAt(nested, 1));
    edtCC->setText(ItemAt(nested, 2));
    edtSubject->setText(ItemAt(nested, 3));
    return true;
}

bool TFormEmbedSMTPContactEditor::ValidateData()
{
    if (TrimBlanksAndControls(edtFrom->text()).isEmpty()) {
        Warn(QStringLiteral("Error - From Email Address is empty !"), edtFrom);
        return false;
    }
    if (TrimBlanksAndControls(edtTo->text()).isEmpty()) {
        Warn(QStringLiteral("Error - To Email Addresses: \"%1\" is empty !").arg(edtTo->text()), edtTo);
        return false;
    }
    return true;
}
