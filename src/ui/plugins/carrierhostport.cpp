#include "ui/plugins/carrierhostport.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QFormLayout>
#include <QLineEdit>

TFormCarrierHostPortBase::TFormCarrierHostPortBase(QWidget* owner, const TLayout& layout)
    : TFormBaseCarrierEditor(owner), m_word(layout.Word)
{
    QFormLayout* form = NewFormLayout(this);
    edtHost = NewEdit(this, QStringLiteral("edtHost"), layout.DefaultHost);
    AddLabelledRow(form, layout.Word + QStringLiteral(" &Host: "), edtHost);

    edtPort = NewEdit(this, QStringLiteral("edtPort"), layout.DefaultPort);
    InstallDigitFilter(edtPort);
    AddLabelledRow(form, layout.Word + QStringLiteral(" &Port: "), edtPort);

    edtMaxMessLength = NewEdit(this, QStringLiteral("edtMaxMessLength"), layout.DefaultLength);
    InstallDigitFilter(edtMaxMessLength);
    AddLabelledRow(form, layout.LengthCaption, edtMaxMessLength);

    if (layout.WithLogin) {
        edtLoginID = NewEdit(this, QStringLiteral("edtLoginID"));
        AddLabelledRow(form, QStringLiteral("Login I&D: "), edtLoginID);
        edtPassword = NewPasswordEdit(this, QStringLiteral("edtPassword"), QStringLiteral("**********"));
        AddLabelledRow(form, QStringLiteral("Pa&ssword: "), edtPassword);
    }
}

QString TFormCarrierHostPortBase::GetDataAsCSVString() const
{
    QStringList items{TrimBlanksAndControls(edtHost->text()), TrimBlanksAndControls(edtPort->text()), TrimBlanksAndControls(edtMaxMessLength->text())};
    if (edtLoginID)
        items << TrimBlanksAndControls(edtLoginID->text()) << TrimBlanksAndControls(edtPassword->text());
    return CommaTextFromList(items);
}

bool TFormCarrierHostPortBase::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    edtHost->setText(TrimBlanksAndControls(ItemAt(items, 0)));
    edtPort->setText(TrimBlanksAndControls(ItemAt(items, 1)));
    edtMaxMessLength->setText(TrimBlanksAndControls(ItemAt(items, 2)));
    if (edtLoginID) {
        edtLoginID->setText(TrimBlanksAndControls(ItemAt(items, 3)));
        edtPassword->setText(TrimBlanksAndControls(ItemAt(items, 4)));
    }
    return CheckItemCount(items, edtLoginID ? 5 : 3);
}

bool TFormCarrierHostPortBase::ValidateData()
{
    if (!IsValidPortText(edtPort->text())) {
        Warn(QStringLiteral("Error: %1 Port number is invalid.").arg(m_word), edtPort);
        return false;
    }
    return true;
}

TFormCarrierSNPP::TFormCarrierSNPP(QWidget* owner)
    : TFormCarrierHostPortBase(owner,
                               {QStringLiteral("SNPP"), QStringLiteral("snpp.example.com"), QStringLiteral("7777"),
                                QStringLiteral("Ma&x Message Length:"), QStringLiteral("240"), true})
{
}

TFormCarrierWCTP::TFormCarrierWCTP(QWidget* owner)
    : TFormCarrierHostPortBase(owner,
                               {QStringLiteral("WCTP"), QStringLiteral("wctp.example.com\\wctp"), QStringLiteral("80"),
                                QStringLiteral("Max Message &Length:"), QStringLiteral("300"), false})
{
}

TFormCarrierMSG::TFormCarrierMSG(QWidget* owner)
    : TFormCarrierHostPortBase(
          owner, {QStringLiteral("MSG"), QStringLiteral("http://sms.example.com/gateway"), QStringLiteral("80"),
                  QStringLiteral("Max Message &Length:"), QStringLiteral("480"), false})
{
}
