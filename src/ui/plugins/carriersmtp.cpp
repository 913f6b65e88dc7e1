#include "ui/plugins/carriersmtp.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {
// "Simple Login": what a new carrier shows and what "-1" (none chosen) reads as.
constexpr int defaultAuthType = 0;
}  // namespace

TFormCarrierSMTP::TFormCarrierSMTP(QWidget* owner) : TFormBaseCarrierEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtHost = NewEdit(this, QStringLiteral("edtHost"), QStringLiteral("smtp.example.com"));
    AddLabelledRow(form, QStringLiteral("SMTP &Host: "), edtHost);

    edtPort = NewEdit(this, QStringLiteral("edtPort"), QStringLiteral("25"));
    InstallDigitFilter(edtPort);
    AddLabelledRow(form, QStringLiteral("SMTP &Port: "), edtPort);

    cbbAuthType =
        NewPickCombo(this, QStringLiteral("cbbAuthType"), {QStringLiteral("Simple Login"), QStringLiteral("None")});
    cbbAuthType->setCurrentIndex(defaultAuthType);
    InstallDigitFilter(cbbAuthType);
    AddLabelledRow(form, QStringLiteral("Auth T&ype:"), cbbAuthType);

    edtAccount = NewEdit(this, QStringLiteral("edtAccount"), QStringLiteral("Account name"));
    AddLabelledRow(form, QStringLiteral("&Account name: "), edtAccount);

    edtPassword = NewPasswordEdit(this, QStringLiteral("edtPassword"), QStringLiteral("**********"));
    AddLabelledRow(form, QStringLiteral("Pa&ssword: "), edtPassword);
}

QString TFormCarrierSMTP::GetDataAsCSVString() const
{
    return CommaTextFromList({TrimBlanksAndControls(edtHost->text()), TrimBlanksAndControls(edtPort->text()),
                              ComboIndexText(cbbAuthType), TrimBlanksAndControls(edtAccount->text()),
                              TrimBlanksAndControls(edtPassword->text())});
}

bool TFormCarrierSMTP::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    bool result = true;
    edtHost->setText(TrimBlanksAndControls(ItemAt(items, 0)));
    edtPort->setText(TrimBlanksAndControls(ItemAt(items, 1)));
    const QString& authItem = ItemAt(items, 2);
    // A number without an entry is kept and written back as it was.
    if (!PutComboIndex(cbbAuthType, StrToIntChecked(authItem), defaultAuthType)) {
        result = false;
        Warn(QStringLiteral("Error From \"%1.PutDataAsCSVString()\" - wrong input data for SMTP AuthType: \"%2\"")
                 .arg(ClassName(), authItem));
    }
    edtAccount->setText(TrimBlanksAndControls(ItemAt(items, 3)));
    edtPassword->setText(TrimBlanksAndControls(ItemAt(items, 4)));
    return CheckItemCount(items, 5) && result;
}

bool TFormCarrierSMTP::ValidateData()
{
    bool result = true;
    if (!IsValidPortText(edtPort->text())) {
        Warn(QStringLiteral("Error: SMTP Port number is invalid."), edtPort);
        result = false;
    }
    if (TrimBlanksAndControls(edtPassword->text()).isEmpty()) {
        Warn(QStringLiteral("Error: Password can't be empty"), edtPassword);
        result = false;
    }
    return result;
}
