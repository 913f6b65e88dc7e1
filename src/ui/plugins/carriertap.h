#pragma once
// Carrier settings editors of TAP over a modem (type 1) and TAP over a
// direct line (type 3). Items: phone (written empty and ignored by Put for
// TAP Direct), password, largest message length, baud rate, data settings.

#include "ui/plugins/baseembededitor.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class TFormCarrierTapBase : public TFormBaseCarrierEditor {
    Q_OBJECT
public:
    static int GetMaxLengthIndex() { return 2; }

    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override { return true; }

protected:
    struct TDefaults {
        bool WithPhone;
        int LengthIndex;  // selected entry of the length list
        QString BaudRate;
        QString DataSettings;
    };
    TFormCarrierTapBase(QWidget* owner, const TDefaults& defaults);

    QLineEdit* edtPhone = nullptr;  // TAP Modem only
    QLineEdit* edtPassword = nullptr;
    QCheckBox* chbBlankPassword = nullptr;
    QComboBox* cbMaxMessLength = nullptr;
    QComboBox* cbBaudRate = nullptr;
    QComboBox* cbDataSettings = nullptr;
};

class TFormCarrierTAPModem final : public TFormCarrierTapBase {
    Q_OBJECT
public:
    explicit TFormCarrierTAPModem(QWidget* owner = nullptr);
    // The trimmed phone number must not be empty.
    bool ValidateData() override;
};

class TFormCarrierTapDirect final : public TFormCarrierTapBase {
    Q_OBJECT
public:
    explicit TFormCarrierTapDirect(QWidget* owner = nullptr);
    int HelpContext() const override { return 1054; }
};

// Baud rates offered by the modem and serial-line editors.
QStringList CarrierBaudRates();
