#pragma once
// Carrier settings editor of ACU (type 9). Items: serial format (entry
// index; "-1", none chosen, loads as "RC8660"), header string, footer
// string, largest message length.

#include "ui/plugins/baseembededitor.h"

class QComboBox;
class QLineEdit;

class TFormCarrierACU final : public TFormBaseCarrierEditor {
    Q_OBJECT
public:
    explicit TFormCarrierACU(QWidget* owner = nullptr);
    static int GetMaxLengthIndex() { return 3; }

    QString GetDataAsCSVString() const override;
    // Selects the serial format without applying its presets.
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override { return true; }

private:
    // The operator picked a serial format: preset header, footer and length.
    void cbbSerialFormatChange(int index);

    QComboBox* cbbSerialFormat = nullptr;
    QLineEdit* edtHeader = nullptr;
    QLineEdit* edtFooter = nullptr;
    QLineEdit* edtMaxMessLength = nullptr;
};
