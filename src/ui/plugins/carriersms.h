#pragma once
// Carrier settings editor of SMS through a GSM modem (type 4). Items: SMS
// centre number, SIM PIN, largest SMS length, baud rate, data settings,
// Unicode flag ("-1" or "0").

#include "ui/plugins/baseembededitor.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class TFormCarrierSMS final : public TFormBaseCarrierEditor {
    Q_OBJECT
public:
    explicit TFormCarrierSMS(QWidget* owner = nullptr);
    static int GetMaxLengthIndex() { return 2; }

    QString GetDataAsCSVString() const override;
    // Sets the Unicode box without presetting the length: the stored length
    // stays as loaded; only the operator's click presets it.
    bool PutDataAsCSVString(const QString& data) override;
    // Every character of the trimmed centre number is one of "0123456789+".
    bool ValidateData() override;

private:
    QCheckBox* chbSMSCInPhone = nullptr;
    QLineEdit* edtSMSCenter = nullptr;
    QLineEdit* edtPinNo = nullptr;
    QCheckBox* chbBlankPinNo = nullptr;
    QComboBox* cbMaxMessLength = nullptr;
    QComboBox* cbBaudRate = nullptr;
    QComboBox* cbDataSettings = nullptr;
    QCheckBox* chbUniCode = nullptr;
};
