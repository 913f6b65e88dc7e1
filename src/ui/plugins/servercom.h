#pragma once
// Settings editor of a paging server reached through its automation door
// (server type 2, "COM Connection"): the host name, a computer picker and a
// connection test.
//
// Settings text: two empty items and the host name (",,host").
//
// The test makes a temporary automation link (testing set, so a close
// request of the server is not acted on), connects it on a worker thread
// that owns it from creation to release, disconnects its automation
// component, and shows the result once the worker's end is posted back. The
// wait is the link's own (its start and logon limits); the window stays
// painted meanwhile.

#include "ui/plugins/baseembededitor.h"

class QLineEdit;
class QPushButton;
class TServerTestRunner;

class TFormComServerEmbedEditor final : public TFormBaseServerEmbedEditor {
    Q_OBJECT
public:
    explicit TFormComServerEmbedEditor(QWidget* owner = nullptr);

    QString GetDataAsCSVString() const override;
    // Item 2 as it is; a text of fewer than three items raises the list's
    // index error.
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

    TServerTestRunner& TestRunner() { return *m_runner; }

public slots:
    void btnTestConnectionClick();
    // Cancelling the picker leaves the host name as it was.
    void btnSelectHostClick();

private:
    QLineEdit* edtHostName = nullptr;
    QPushButton* btnSelectHost = nullptr;
    QPushButton* btnTestConnection = nullptr;
    TServerTestRunner* m_runner = nullptr;
};
