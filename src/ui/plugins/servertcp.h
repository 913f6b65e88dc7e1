#pragma once
// Settings editor of a TCP paging server (server type 1, "TCP Connection"):
// the server's IP address and port, and a connection test.
//
// Settings text: address, port, and an empty third item ("10.0.0.5,215,").
//
// The test reports a live link of the same address and port that is logged
// on as a success without touching it (looked up under ServersList's lock);
// otherwise it connects a temporary link that is never listed, on a worker
// thread that owns it from creation to release, and shows the result.

#include "ui/plugins/baseembededitor.h"

class QLineEdit;
class QPushButton;
class QSpinBox;
class TServerTestRunner;

class TFormTcpServerEmbedEditor final : public TFormBaseServerEmbedEditor {
    Q_OBJECT
public:
    explicit TFormTcpServerEmbedEditor(QWidget* owner = nullptr);

    QString GetDataAsCSVString() const override;
    // Item 0 as it is; item 1 as the port, 215 when it is not a whole
    // number from 1 to 65535.
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

    static constexpr int kDefaultPort = 215;
    TServerTestRunner& TestRunner() { return *m_runner; }

public slots:
    void btnTestConnectionClick();

private:
    QLineEdit* edtIPAddress = nullptr;
    QSpinBox* updPortNumber = nullptr;
    QPushButton* btnTestConnection = nullptr;
    TServerTestRunner* m_runner = nullptr;
};
