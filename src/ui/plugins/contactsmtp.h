#pragma once
// Contact address editor of SMTP (type 5). Item 0 nested: From, To, CC,
// Subject; item 1 always "false".

#include "ui/plugins/baseembededitor.h"

class QLineEdit;

class TFormEmbedSMTPContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedSMTPContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    // From and To must not be empty; no address is tested for its form.
    bool ValidateData() override;

private:
    QLineEdit* edtFrom = nullptr;
    QLineEdit* edtTo = nullptr;
    QLineEdit* edtCC = nullptr;
    QLineEdit* edtSubject = nullptr;
};
