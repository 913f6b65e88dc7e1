#pragma once
// TMessageProcessor: applies the servers' delivery reports and shows their
// broadcasts. Its thread takes the items of InMessagesList one at a time in
// arrival order: a report confirms the sent-message log row with its status,
// deletes the out-box row (and its text with its last row), refreshes the
// sent-messages report and, by option, posts a success or failure popup; a
// broadcast becomes a popup through the hidden window.
//
// A report can overtake the logging of its own acknowledgement (a server
// that reports at once): such a report is held until the row is logged, at
// most ReportHoldMs, and then applied as it stands. A report whose write
// failed (the database locked by another program, or not reachable) is
// kept and tried again until it is written.
//
// Made by the first send (SendOutBox) and freed at shut-down; the destructor
// stops and joins the thread. The thread uses its own database connection.

#include "messaging/protocolmessages.h"
#include "messaging/sendsettings.h"
#include "platform/threads.h"

#include <QElapsedTimer>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <memory>

class TMessageProcessor;

class TNMessagesThread : public TNThread {
public:
    explicit TNMessagesThread(TMessageProcessor& owner);
    ~TNMessagesThread() override;

protected:
    void Execute() override;

private:
    TMessageProcessor& m_owner;
};

class TMessageProcessor {
public:
    // ReportHoldMs: how long a report waits for its acknowledgement.
    explicit TMessageProcessor(int reportHoldMs = kReportHoldMs);
    ~TMessageProcessor();
    TMessageProcessor(const TMessageProcessor&) = delete;
    TMessageProcessor& operator=(const TMessageProcessor&) = delete;

    // Asks the thread to stop and waits up to TimeoutMs; true when it ended.
    bool Stop(int timeoutMs);

    // How long a report waits for its acknowledgement to be logged, unless
    // the maker says otherwise.
    static constexpr int kReportHoldMs = 10000;
    // The most items applied in one transaction.
    static constexpr int kBatchSize = 100;

    // Reports held for their acknowledgement now.
    int HeldReports() const;

    // The text of a failure popup for a send-status code.
    static QString SendErrorText(int errorCode);
    static QString SendSuccessText();
    // The popup an applied report gets, when the options ask for it.
    static void ShowReportPopup(const TClientInputMessage& report, bool forSuccess, bool forFailure);

private:
    friend class TNMessagesThread;
    struct THeld {
        TClientInputMessage Report;
        QElapsedTimer Since;
    };
    void Run(const TNThread& thread);
    // How long the thread may sleep now (-1: until woken).
    int NextWaitMs() const;
    // Applies the held reports in one transaction; those whose
    // acknowledgement is not logged yet, and those that could not be
    // written, stay held.
    void ProcessHeld(QSqlDatabase& db);
    void ShowBroadcast(const TClientInputMessage& message);

    const int m_reportHoldMs;
    QList<THeld> m_held;    // the thread's own
    bool m_failed = false;  // the last write of a held report failed
    std::atomic<int> m_heldCount{0};
    std::unique_ptr<TNMessagesThread> m_thread;
};

// The one processor, or none before the first send.
extern TMessageProcessor* MessageProcessor;
// The text of the last broadcast. Any thread.
QString BroadcastText();
