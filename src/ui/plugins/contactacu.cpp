#include "ui/plugins/contactacu.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {
// "IPP": what a new contact shows and what "-1" (none chosen) reads as.
constexpr int defaultCommandType = 0;
}  // namespace

TFormEmbedACUContactEditor::TFormEmbedACUContactEditor(QWidget* owner) : TFormBaseEmbedContactEditor(owner)
{
    m_form = NewFormLayout(this);
    edtAcuIP = NewEdit(this, QStringLiteral("edtAcuIP"));
    AddLabelledRow(m_form, QStringLiteral("ACU &IP: "), edtAcuIP);
    edtAcuPort = NewEdit(this, QStringLiteral("edtAcuPort"));
    AddLabelledRow(m_form, QStringLiteral("ACU &Port:"), edtAcuPort);
    edtLocalPort = NewEdit(this, QStringLiteral("edtLocalPort"));
    AddLabelledRow(m_form, QStringLiteral("&Local Port:"), edtLocalPort);
    cbbCommandType =
        NewPickCombo(this, QStringLiteral("cbbCommandType"), {QStringLiteral("IPP"), QStringLiteral("TTS")});
    cbbCommandType->setCurrentIndex(defaultCommandType);
    AddLabelledRow(m_form, QStringLiteral("Cmd T&ype:"), cbbCommandType);
    edtPagerID = NewEdit(this, QStringLiteral("edtPagerID"));
    AddLabelledRow(m_form, QStringLiteral("Pager I&D:"), edtPagerID);
    connect(cbbCommandType, &QComboBox::currentIndexChanged, this, &TFormEmbedACUContactEditor::cbbCommandTypeChange);
    cbbCommandTypeChange();
}

void TFormEmbedACUContactEditor::cbbCommandTypeChange()
{
    m_form->setRowVisible(edtPagerID, cbbCommandType->currentIndex() == 0);
}

QString TFormEmbedACUContactEditor::GetDataAsCSVString() const
{
    return ContactText(QStringList{edtAcuIP->text(), edtAcuPort->text(), edtLocalPort->text(),
                                   ComboIndexText(cbbCommandType), edtPagerID->text()},
                       false);
}

bool TFormEmbedACUContactEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList nested = NestedItems(CommaTextToList(data));
    edtAcuIP->setText(ItemAt(nested, 0));
    edtAcuPort->setText(ItemAt(nested, 1));
    edtLocalPort->setText(ItemAt(nested, 2));
    // A number without an entry is kept and written back as it was.
    PutComboIndex(cbbCommandType, StrToIntChecked(ItemAt(nested, 3)), defaultCommandType);
    edtPagerID->setText(ItemAt(nested, 4));
    cbbCommandTypeChange();
    return true;
}

bool TFormEmbedACUContactEditor::ValidateData()
{
    if (TrimBlanksAndControls(edtAcuIP->text()).isEmpty()) {
        Warn(QStringLiteral("Error - ACU Destionation Address is empty !"), edtAcuIP);
        return false;
    }
    return true;
}
