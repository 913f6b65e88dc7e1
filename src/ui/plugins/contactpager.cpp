#include "ui/plugins/contactpager.h"

#include "platform/commatext.h"
#include "ui/plugins/contactrules.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
QCheckBox* NewNumericBox(QWidget* owner, QFormLayout* form, const QString& caption)
{
    QCheckBox* box = NewCheckBox(owner, caption, QStringLiteral("chbNumeric"));
    form->addRow(QString(), box);
    return box;
}

QString FlagText(const QCheckBox* box)
{
    return box->isChecked() ? QStringLiteral("-1") : QStringLiteral("0");
}
}  // namespace

TFormEmbedTapContactEditor::TFormEmbedTapContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtPagerID = NewEdit(this, QStringLiteral("edtPagerID"));
    AddLabelledRow(form, QStringLiteral("&Pager ID : "), edtPagerID);
    chbNumeric = NewNumericBox(this, form, QStringLiteral("&Numeric-Only Pager"));
}

QString TFormEmbedTapContactEditor::GetDataAsCSVString() const
{
    return ContactText(edtPagerID->text(), chbNumeric->isChecked());
}

bool TFormEmbedTapContactEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList outer = CommaTextToList(data);
    edtPagerID->setText(ItemAt(outer, 0));
    chbNumeric->setChecked(NumericFlag(outer));
    return true;
}

bool TFormEmbedTapContactEditor::ValidateData()
{
    return Passes(PagerIdProblem(edtPagerID->text()), edtPagerID);
}

TFormEmbedSNPPContactEditor::TFormEmbedSNPPContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtPagerID = NewEdit(this, QStringLiteral("edtPagerID"));
    AddLabelledRow(form, QStringLiteral("&Pager ID:"), edtPagerID);
    edtSubject = NewEdit(this, QStringLiteral("edtSubject"));
    AddLabelledRow(form, QStringLiteral("S&ubject:"), edtSubject);
    chbNumeric = NewNumericBox(this, form, QStringLiteral("&Numeric-only Pager"));
}

QString TFormEmbedSNPPContactEditor::GetDataAsCSVString() const
{
    return ContactText(QStringList{edtPagerID->text(), edtSubject->text()}, chbNumeric->isChecked());
}

bool TFormEmbedSNPPContactEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList outer = CommaTextToList(data);
    const QStringList nested = NestedItems(outer);
    edtPagerID->setText(ItemAt(nested, 0));
    edtSubject->setText(ItemAt(nested, 1));
    chbNumeric->setChecked(NumericFlag(outer));
    return true;
}

bool TFormEmbedSNPPContactEditor::ValidateData()
{
    return Passes(PagerIdProblem(edtPagerID->text()), edtPagerID);
}

TFormEmbedWCTPContactEditor::TFormEmbedWCTPContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtPagerID = NewEdit(this, QStringLiteral("edtPagerID"));
    AddLabelledRow(form, QStringLiteral("Pager ID:"), edtPagerID);
    edtSenderID = NewEdit(this, QStringLiteral("edtSenderID"));
    AddLabelledRow(form, QStringLiteral("Sender ID:"), edtSenderID);
    edtMiscInfo = NewEdit(this, QStringLiteral("edtMiscInfo"));
    AddLabelledRow(form, QStringLiteral("Misc Info: "), edtMiscInfo);

    auto* notifyBoxes = new QVBoxLayout;
    auto newNotify = [this, notifyBoxes](const QString& caption, const QString& name) {
        QCheckBox* box = NewCheckBox(this, caption, name);
        notifyBoxes->addWidget(box);
        return box;
    };
    chbNotifyQueued = newNotify(QStringLiteral("Notify Queued"), QStringLiteral("chbNotifyQueued"));
    chbNotifyDelivered = newNotify(QStringLiteral("Notify delivered"), QStringLiteral("chbNotifyDelivered"));
    chbNotifyRead = newNotify(QStringLiteral("Notify Read"), QStringLiteral("chbNotifyRead"));
    auto* optionsLabel = new QLabel(QStringLiteral("Message\nControl\nOptions:"), this);
    optionsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->addRow(optionsLabel, notifyBoxes);

    chbNumeric = NewNumericBox(this, form, QStringLiteral("&Numeric-only Pager"));
}

QString TFormEmbedWCTPContactEditor::GetDataAsCSVString() const
{
    return ContactText(QStringList{edtPagerID->text(), edtSenderID->text(), edtMiscInfo->text(),
                                   FlagText(chbNotifyQueued), FlagText(chbNotifyDelivered), FlagText(chbNotifyRead)},
                       chbNumeric->isChecked());
}

bool TFormEmbedWCTPContactEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList outer = CommaTextToList(data);
    const QStringList nested = NestedItems(outer);
    edtPagerID->setText(ItemAt(nested, 0));
    edtSenderID->setText(ItemAt(nested, 1));
    edtMiscInfo->setText(ItemAt(nested, 2));
    chbNotifyQueued->setChecked(StrToBoolChecked(ItemAt(nested, 3)));
    chbNotifyDelivered->setChecked(StrToBoolChecked(ItemAt(nested, 4)));
    chbNotifyRead->setChecked(StrToBoolChecked(ItemAt(nested, 5)));
    chbNumeric->setChecked(NumericFlag(outer));
    return true;
}

bool TFormEmbedWCTPContactEditor::ValidateData()
{
    return Passes(PagerIdProblem(edtPagerID->text()), edtPagerID);
}
