#pragma once
// Contact address editors whose address is a phone number: SMS (type 4) and
// MSG, the HTTP SMS gateway (type 8). Item 1 is always "false".

#include "ui/plugins/baseembededitor.h"

class QCheckBox;
class QLineEdit;

// Item 0: the SMS address.
class TFormEmbedSMSContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedSMSContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

private:
    QLineEdit* edtSMSAddress = nullptr;
    // Kept hidden; neither read nor written.
    QCheckBox* chbNumeric = nullptr;
};

// Item 0 nested: SMS address, message ID, source code, user name, password.
class TFormEmbedMSGContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedMSGContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

private:
    QLineEdit* edtSMSAddress = nullptr;
    QLineEdit* edtMessageID = nullptr;
    QLineEdit* edtSourceCode = nullptr;
    QLineEdit* edtUserName = nullptr;
    QLineEdit* edtPassword = nullptr;
};
