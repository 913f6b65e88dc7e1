#include "ui/plugins/carrieracu.h"

#include "platform/commatext.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {
// "RC8660": what a new carrier shows and what "-1" (none chosen) reads as.
constexpr int defaultSerialFormat = 1;
}  // namespace

TFormCarrierACU::TFormCarrierACU(QWidget* owner) : TFormBaseCarrierEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    cbbSerialFormat =
        NewPickCombo(this, QStringLiteral("cbbSerialFormat"),
                     {QStringLiteral("RC8650"), QStringLiteral("RC8660"), QStringLiteral("TTS-03-SPL"),
                      QStringLiteral("EMIC II"), QStringLiteral("CONTROL OUTPUT"), QStringLiteral("CUSTOM")});
    // Selected without its presets: a new carrier keeps the defaults below.
    cbbSerialFormat->setCurrentIndex(defaultSerialFormat);
    AddLabelledRow(form, QStringLiteral("Serial Format:"), cbbSerialFormat);
    // Activated fires for the operator's pick only, never for Put.
    connect(cbbSerialFormat, &QComboBox::activated, this, &TFormCarrierACU::cbbSerialFormatChange);

    edtHeader = NewEdit(this, QStringLiteral("edtHeader"));
    AddLabelledRow(form, QStringLiteral("Header String:"), edtHeader);
    edtFooter = NewEdit(this, QStringLiteral("edtFooter"));
    AddLabelledRow(form, QStringLiteral("Footer String: "), edtFooter);
    edtMaxMessLength = NewEdit(this, QStringLiteral("edtMaxMessLength"), QStringLiteral("64"));
    InstallDigitFilter(edtMaxMessLength);
    AddLabelledRow(form, QStringLiteral("Max Message Length:"), edtMaxMessLength);
}

void TFormCarrierACU::cbbSerialFormatChange(int index)
{
    struct TPreset {
        const char* Header;
        const char* Footer;
        const char* Length;
    };
    static constexpr TPreset presets[] = {
        {"", "\\0D", "240"},  {"", "\\0D", "240"}, {"", "\\0D", "240"},
        {"say=", ";", "120"}, {"", "", "240"},     {"", "", "240"},
    };
    if (index < 0 || index >= int(std::size(presets)))
        return;
    edtHeader->setText(QString::fromLatin1(presets[index].Header));
    edtFooter->setText(QString::fromLatin1(presets[index].Footer));
    edtMaxMessLength->setText(QString::fromLatin1(presets[index].Length));
}

QString TFormCarrierACU::GetDataAsCSVString() const
{
    return CommaTextFromList({ComboIndexText(cbbSerialFormat), TrimBlanksAndControls(edtHeader->text()),
                              TrimBlanksAndControls(edtFooter->text()),
                              TrimBlanksAndControls(edtMaxMessLength->text())});
}

bool TFormCarrierACU::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    // A number without an entry is kept and written back as it was.
    PutComboIndex(cbbSerialFormat, StrToIntChecked(ItemAt(items, 0)), defaultSerialFormat);
    edtHeader->setText(TrimBlanksAndControls(ItemAt(items, 1)));
    edtFooter->setText(TrimBlanksAndControls(ItemAt(items, 2)));
    edtMaxMessLength->setText(TrimBlanksAndControls(ItemAt(items, 3)));
    return CheckItemCount(items, 4);
}
