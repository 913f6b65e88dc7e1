#pragma once
// Carrier settings editor of SMTP (type 5). Items: host, port,
// authentication type (entry index; "-1", none chosen, loads as "Simple
// Login"), account name, password. SMTP carriers have no length item: index
// 0 names the host.

#include "ui/plugins/baseembededitor.h"

class QComboBox;
class QLineEdit;

class TFormCarrierSMTP final : public TFormBaseCarrierEditor {
    Q_OBJECT
public:
    explicit TFormCarrierSMTP(QWidget* owner = nullptr);
    static int GetMaxLengthIndex() { return 0; }

    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    // The port, then (whatever the port gave) the password; both warn.
    bool ValidateData() override;

private:
    QLineEdit* edtHost = nullptr;
    QLineEdit* edtPort = nullptr;
    QComboBox* cbbAuthType = nullptr;
    QLineEdit* edtAccount = nullptr;
    QLineEdit* edtPassword = nullptr;
};
