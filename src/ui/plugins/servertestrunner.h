#pragma once
// Runs one server connection test on a worker thread of its own and hands
// the outcome back on the main thread, so the editor's window stays painted
// while a link connects and nothing re-enters the editor meanwhile (no
// nested event loop). The work makes, connects and frees its own link: the
// worker is the link's one owner from start to end.
//
// The destructor waits for a running test; a test is bounded by the time-out
// of the link's Connect.

#include "messaging/baseserver.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

class QFormLayout;
class QPushButton;
class QWidget;

// The "T&est Connection" button in a row of its own at the right of Form.
QPushButton* AddTestConnectionRow(QFormLayout* form, QWidget* editor);

struct TServerTestOutcome {
    TConnectResult Result = crConnected;
    QString ErrorText;
    QString HostName;
};

class TServerTestRunner : public QObject {
    Q_OBJECT
public:
    using TWork = std::function<TServerTestOutcome()>;
    using TDone = std::function<void(const TServerTestOutcome&)>;

    explicit TServerTestRunner(QObject* parent = nullptr) : QObject(parent) {}
    ~TServerTestRunner() override;

    bool Busy() const { return m_busy; }
    // Work runs on the worker; Done runs on the main thread afterwards.
    void Start(TWork work, TDone done);

    // Connects a link the worker owns with the logon wait of a test and
    // reads what the boxes need; Prepare runs on the link first, Finish
    // (the automation link's disconnect) last; the link goes afterwards.
    static TServerTestOutcome ConnectTemporaryLink(std::unique_ptr<TBaseServer> link,
                                                   const std::function<void(TBaseServer&)>& prepare = {},
                                                   const std::function<void(TBaseServer&)>& finish = {});

signals:
    // A test has ended and its boxes have been shown.
    void Finished();

private:
    void Finish();

    std::thread m_worker;
    bool m_busy = false;
    std::shared_ptr<TServerTestOutcome> m_outcome;
    TDone m_done;
};
