#pragma once
// Settings editor of a shared address book (database type 2, "Access
// (Shared)"): the paging server's host, the port of its remote data door,
// the server name the book is registered under, and that name's GUID.
//
// Talking to the server (the server-name list, the connection test) runs on
// a worker thread of the editor's own; its end is posted back to the editor,
// so the window stays painted and nothing re-enters the editor meanwhile.
// The destructor waits for a running worker (bounded by its time-out).

#include "ui/plugins/baseembededitor.h"

#include <QHash>
#include <functional>
#include <memory>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormEmbedAccessSharedEditor final : public TFormBaseDatabaseEmbedEditor {
    Q_OBJECT
public:
    explicit TFormEmbedAccessSharedEditor(QWidget* owner = nullptr);
    ~TFormEmbedAccessSharedEditor() override;

    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    // Host, port (1..65535) and server name must be given.
    bool ValidateData() override;

    // How long one exchange with the server may take.
    static constexpr int kTimeoutMs = 5000;
    // A worker is talking to the server.
    bool IsBusy() const { return m_worker.joinable() && !m_done; }

signals:
    // A list fetch or a connection test has ended (its boxes are shown).
    void ServerTalkEnded();

public slots:
    void btnBrowseForHostClick();
    // Fetches the server names of the host's remote data door into the
    // drop-down, then opens it.
    void cbServerNameDropDown();
    void cbServerNameChange(const QString& text);
    void btnTestConnectionClick();

private:
    struct TOutcome {
        bool ok = false;
        QString error;
        QStringList names;
        QHash<QString, QString> guids;
    };
    // Checks the host and port; false after the warning.
    bool ReadTarget(QString* host, quint16* port);
    void Start(std::function<TOutcome()> work, std::function<void(const TOutcome&)> done);
    void Finish();

    QLineEdit* edtHost = nullptr;
    QPushButton* btnBrowseForHost = nullptr;
    QLineEdit* edtPort = nullptr;
    QComboBox* cbServerName = nullptr;
    QLineEdit* edtGUID = nullptr;
    QLabel* lblTrying = nullptr;
    QPushButton* btnTestConnection = nullptr;

    // GUIDs of the names the last list fetch brought.
    QHash<QString, QString> m_knownGuids;
    QString m_serverName;

    std::thread m_worker;
    bool m_done = true;
    std::shared_ptr<TOutcome> m_outcome;
    std::function<void(const TOutcome&)> m_onDone;
};
