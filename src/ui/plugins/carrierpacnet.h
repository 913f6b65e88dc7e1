#pragma once
// Carrier settings editor of Telecom NZ PACNET (type 2). Items: phone,
// largest message length, speed, data settings, NUI, NUA.

#include "ui/plugins/baseembededitor.h"

class QComboBox;
class QLineEdit;

class TFormCarrierPacnet final : public TFormBaseCarrierEditor {
    Q_OBJECT
public:
    explicit TFormCarrierPacnet(QWidget* owner = nullptr);
    static int GetMaxLengthIndex() { return 1; }

    QString GetDataAsCSVString() const override;
    // A speed or data setting that is not a list value yields false without
    // a warning; the value stays shown so that it is written back unchanged.
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override { return true; }
    int HelpContext() const override { return 1053; }

private:
    QLineEdit* edtPhone = nullptr;
    QComboBox* cbMaxMessLength = nullptr;
    QComboBox* cbSpeed = nullptr;
    QComboBox* cbDataSettings = nullptr;
    QLineEdit* edtNUI = nullptr;
    QLineEdit* edtNUA = nullptr;
};
