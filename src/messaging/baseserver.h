#pragma once
// TBaseServer: the client's link to one paging-server endpoint, the common
// base of the TCP link (and of the automation link to come).
//
// A link logs on, sends the out-box rows of its endpoint one MESSAGE frame at
// a time, turns the server's replies into its logon state, acknowledgements
// and queued reports, and moves each acknowledged row into the sent-message
// log. The send loop is the same for every kind of transport (RunSendLoop);
// a kind supplies the transport: Connect, SendText, TransportAlive,
// Disconnect, and the rows it serves (OutRowFilter).
//
// Ownership: a link has exactly one owner at a time. The dispatcher (or a
// connection test) owns a new link; once listed in ServersList the list's
// owner (the main thread, through RemoveAndFreeServer, the graveyard of
// closed links, or shut-down) frees it. A thread that did not make the link
// uses it only while it holds ServersList's lock, or while it owns it.
// Destruction shuts the transport down and joins every thread of the link.
//
// Threads: Connect on the owner's thread; the send loop on the link's send
// thread; HandleServerReply on the receiving thread. The events, LastAck
// and the logon state are safe to use from all of them.

#include "data/datakinds.h"
#include "messaging/framecutter.h"
#include "messaging/framepipe.h"
#include "messaging/outboxstore.h"
#include "messaging/outmessageline.h"
#include "messaging/protocolmessages.h"
#include "messaging/sendcycle.h"
#include "messaging/sendsettings.h"
#include "messaging/sentrows.h"
#include "messaging/synchroevent.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>

// Outcome of connecting a link.
enum TConnectResult : quint8 {
    crConnected = 0,        // transport up and LOGON_OK within the time-out
    crNoListener = 1,       // TCP: the socket could not be opened in time
    crLogonFailed = 2,      // TCP: logon refused or unanswered
    crHostUnreachable = 3,  // automation host not reachable
    crNotInstalled = 4,     // automation server not installed
    crAutomationError = 5,  // any other automation error, or its logon failed
};

// The waits of the conversation, in milliseconds.
constexpr int kLogonTimeoutMs = 5000;
constexpr int kAckTimeoutMs = 3000;
constexpr int kConnectedWaitMs = 2000;
// Acknowledgements logged in one transaction at most, and the longest one
// waits to be logged while its batch runs.
constexpr int kAckLogGroup = 64;
constexpr int kAckLogDelayMs = 50;
// How often an idle send loop tries again to log acknowledgements whose
// logging failed.
constexpr int kIdlePollMs = 250;
// Acceptances in hand whose log write is still to come, at most: the next
// frame waits for the log beyond that (it stays far above what a batch holds
// while the log keeps up).
constexpr int kMaxUnloggedAcks = 2 * kAckLogGroup;
// How long the send path's writes wait for another program's lock on the
// local database before they count as failed (and are tried again).
constexpr int kLogBusyWaitMs = 100;
// While the record of a batch cannot be written, nothing more is sent: it is
// tried again every kLogRetryMs, and after kLogWaitMs the batch ends.
constexpr int kLogRetryMs = 250;
constexpr int kLogWaitMs = 60000;

// A transport failure (a send that could not be completed).
class ELinkError : public std::runtime_error {
public:
    explicit ELinkError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class TBaseServer {
public:
    virtual ~TBaseServer();
    TBaseServer(const TBaseServer&) = delete;
    TBaseServer& operator=(const TBaseServer&) = delete;

    virtual qint32 ServerTypeNo() const = 0;
    virtual QString GetIpAddress() const { return QString(); }
    // The address as the out-box rows hold it (GetIpAddress may be cut).
    virtual QString EndpointAddress() const { return GetIpAddress(); }
    virtual qint32 GetPortNo() const { return 0; }
    virtual QString GetHostName() const { return QString(); }

    // Brings the transport up and logs on within TimeoutMs; Reserved is not
    // read. May raise; use SafeConnect to get every failure as a result.
    virtual TConnectResult Connect(int reserved, int timeoutMs) = 0;
    // Hands one framed line to the transport; raises ELinkError on failure.
    virtual void SendText(const QByteArray& frame) = 0;
    // Drops the transport (the server asked to close the connection).
    virtual void Disconnect() {}
    // Another thread: a Connect in progress gives up its waits as soon as
    // it can (the program is ending).
    virtual void AbortConnect() { LogonUnanswerable(); }
    // Shut-down, main thread: asks the link's threads to end as its
    // destructor does and waits for them up to TimeoutMs; true once they all
    // have (freeing the link then waits no more). A link whose threads did
    // not end must not be freed.
    virtual bool StopThreads(int timeoutMs);
    // Connect, with an error that maps to no result taken as this result
    // (and its text as ErrorText).
    TConnectResult SafeConnect(int timeoutMs);
    // The result an unexpected error of Connect stands for.
    virtual TConnectResult UnmappedErrorResult() const = 0;

    // The state the conversation has reached.
    bool LoggedOn() const { return m_loggedOn.load(); }
    bool Destroying() const { return m_destroying.load(); }
    // Reason code (0..5) and text of the last LOGON_DENIED / DENY_CONNECTION.
    quint8 ErrorCode() const;
    QString ErrorText() const;
    void SetErrorText(const QString& text);

    // While set, a request of the server to close the connection is ignored
    // (the automation link's; the dispatcher sets it for a link it is
    // connecting and clears it once the link is listed).
    bool Testing() const { return m_testing.load(); }
    void SetTesting(bool testing) { m_testing = testing; }

    // Wakes the send thread for the out-box rows of this endpoint; counted as
    // send work until the batch that takes it has ended.
    void RequestBatch() { m_outMessagesEvent.Request(); }

    // Sends the LOGON frame with the installation's identity.
    void SendLogon(const QString& appId);
    // Sends the MESSAGE frame of a row; false (nothing sent) when the row
    // cannot be routed. The row counts as sent in this run from then on.
    bool SendOutMessage(const TNOutRow& row, const TNSendSettings& settings, TNRouteCache* routes = nullptr);
    // Dispatches every frame the cutter holds, in order. Malformed frames
    // are skipped, and so are acknowledgements and reports that answer no
    // row this run has sent to this link's server and awaits them for (see
    // sentrows.h); a report ahead of its row's acceptance waits for it.
    void HandleServerReply(TFrameCutter& cutter);
    void HandleServerReply(const QList<TClientRawInMessage>& messages);

    // Acknowledgements received and not yet logged, oldest first (the send
    // thread takes them all at once).
    QList<TClientInputMessage> TakeAcks();
    // The last acknowledgement that arrived, or none.
    bool LastAck(TClientInputMessage* ack) const;
    // Whether acknowledgements wait to be taken, or reports to be passed on.
    bool HasAcks() const;

    // The rows this link sends: its kind, its endpoint.
    virtual TNOutRowFilter OutRowFilter() const = 0;

    // A number no other link of this run has: tells a link from a later one
    // made at the same address (a posted message names a link by both).
    quint64 Serial() const { return m_serial; }

    // The error popups of the send path.
    static QString NotSentText(const QString& name, const QString& reason);
    // The reason given for a row that cannot be framed (no route).
    static QString NoRouteText();
    // The one notice of a batch during which the sent-messages log could
    // not be written (Reason: why, in words): how many accepted rows were
    // logged late, how many are still unlogged (Names: some of them), how
    // many stay queued (-1: not known), and whether the batch stopped
    // waiting for the log.
    QString LogTroubleText(const QString& reason, int loggedLate, int unlogged, const QStringList& names, int queued,
                           bool gaveUp) const;
    // Acceptances told as unlogged that have been logged since.
    static QString LoggedSinceText(int rows);
    QString BatchFailedText(const QString& reason) const;
    // The server closed the connection before the batch was through: how
    // many rows stay queued that the next Send sends (-1: not known), and
    // how many stay that no Send can send as they stand (no route).
    QString ConnectionClosedText(int sendable, int unroutable = 0) const;
    // Rows of a batch got no answer within their wait and the server said
    // nothing of them since: how many stay queued (-1: not known), which the
    // next Send sends again.
    QString UnansweredText(int rows) const;
    // The server sent Answers acknowledgements or reports that match no row
    // the run awaits them for; they were ignored.
    QString StrayAnswersText(int answers) const;

    // Set by ServersList's owner under its write lock (see serverslist.h).
    bool ListedUnderLock() const { return m_listed; }
    bool ClosedUnderLock() const { return m_closed; }

protected:
    TBaseServer();

    // The send thread's work: the logon phase (unless logged on already),
    // then batches whenever RequestBatch wakes it, until StopRequested
    // returns true, the transport dies or the logon fails. Every error of a
    // row or of the log is contained and reported in an error popup: the row
    // stays in the out-box and the loop goes on; a row the server accepted is
    // never sent again.
    void RunSendLoop(const std::function<bool()>& stopRequested, quint64 batchId);
    // Whether the transport can still carry frames.
    virtual bool TransportAlive() const { return true; }
    // Whether the thread that reads the server's answers may send the next
    // frame itself (SendText safe from it, and quick).
    virtual bool ReceiverSends() const { return false; }
    // The first step of every most-derived destructor: marks the link as
    // ending and wakes every wait of its threads.
    void BeginDestroy();
    // The server ended the conversation (closed the socket, asked to close,
    // left the bus): a batch that still had rows to send tells the operator
    // so, even when the link is being freed by then. Noted before anything
    // that follows from the end (the transport's loss, the link's
    // unlisting), so the batch never takes the end for a stop.
    void NoteServerClosed() { m_serverClosed = true; }
    // Tells the answers ignored since the last batch ended; every
    // most-derived destructor calls it once the link's threads are joined
    // (or can bring no more answers). Never throws.
    void TellStrayAnswersAtEnd() noexcept;
    // A row's frame goes on the wire now (just before it is handed to the
    // transport): its answers are taken from here on, on any link to this
    // link's server.
    void RowPutOnWire(qint32 rowId) { RunSentRows().Sent(rowId, EndpointId()); }
    // The number of this link's server in the run's record of sent rows:
    // the same for every link to the same endpoint.
    quint32 EndpointId() const;
    // Releases send work requested of a batch that will never run; Send is
    // enabled again when that was the last work of the cycle.
    void CancelPendingBatch()
    {
        if (m_outMessagesEvent.Cancel())
            CheckSendDone();
    }

    // Waits until the logon is answered (accepted or refused), the transport
    // ends or TimeoutMs runs out; true when logged on.
    bool WaitForLogon(int timeoutMs);
    // The logon can no longer be answered (the transport ended); also wakes
    // the send thread's waits so it notices at once.
    void LogonUnanswerable();

    TNEvent m_connectedEvent;
    TNEvent m_logonEvent;
    // Set by any answer to LOGON: a refusal need not wait out the time-out.
    TNEvent m_logonAnswered;

private:
    friend class TNServersList;
    void DispatchReply(const TClientRawInMessage& message);
    // A report that counts for its row: held for the log write of the row's
    // acknowledgement, or passed to the message processor.
    void ForwardReport(const TClientInputMessage& report);
    // Ignores Answers answers no row awaits, counting them for the operator.
    void DropStrayAnswers(int answers);
    // Tells the operator, in one popup, how many answers were ignored since
    // the last time (nothing when none was).
    void TellStrayAnswers();
    struct TBatchAcks;
    struct TLogTrouble;
    // One batch; true when the server closed the connection before it was
    // through (the operator has been told, once its answers were logged).
    bool RunBatch(QSqlDatabase& db, const std::function<bool()>& stopRequested, quint64 batchId,
                  const TNSendSettings& settings);
    void RunBatchRows(QSqlDatabase& db, const std::function<bool()>& stopRequested, quint64 batchId,
                      const TNSendSettings& settings, TBatchAcks& acks, TNRouteCache& routes);
    // Tells the operator that the server closed the connection before the
    // batch was through, with the number of the endpoint's rows that stay
    // queued, those the next Send sends apart from those it cannot.
    void TellConnectionClosed(QSqlDatabase& db, TNRouteCache& routes) const;
    // The same for a batch the server's end kept from running.
    void TellUnrunBatch(const QString& path) const;
    // While the batch's record cannot be written (acceptances in hand that
    // could not be logged, or Marks, rows about to go out, that could not be
    // noted), nothing goes out: tries again every kLogRetryMs until it is
    // written (true), or the batch must end (stopped, transport gone, the
    // file read-only, or kLogWaitMs ran out: false).
    bool AwaitLog(QSqlDatabase& db, const std::function<bool()>& stopRequested, TBatchAcks& acks,
                  const QList<qint32>& marks);
    // The batch's one notice about its record, when the log could not be
    // written during it.
    void TellLogTrouble(QSqlDatabase& db, const TLogTrouble& trouble, TNRouteCache& routes);
    // Tells the operator that rows of earlier batches whose wait ran out
    // (m_unanswered, emptied) got no answer and stay queued, unless their
    // answers came since; nothing when none stays.
    void TellUnanswered(QSqlDatabase& db);
    // Rows accepted by the server whose acceptance is not logged yet: they
    // are never sent again.
    QSet<qint32> UnloggedAckRows() const;
    // "IP Address= ..., Port=..." or "Host = ...", as the popups name it.
    QString ServerPlace() const;
    // Moves the batch's frames along: collects the answers, logs them when
    // their group is due, sends the next frame when nothing is in flight,
    // and waits while the queue is full (or, draining, until it is empty).
    // Progress is given the place in its batch of each frame the send
    // thread itself sends, and of the last frame on the wire whenever the
    // send thread is about to wait; it returns the milliseconds until a
    // position it held back is due (-1: none).
    // False: the batch must end (stopped, transport gone or failed; the
    // operator has been told where that is news).
    bool StepPipe(const std::function<bool()>& stopRequested, TBatchAcks& acks, bool draining,
                  const std::function<qint64(int)>& progress);
    // Puts a frame the send thread took on the wire; false (and a popup) on
    // failure.
    bool SendFrame(const TNFramePipe::TFrame& frame);
    bool LogonPhase(const std::function<bool()>& stopRequested, const QString& appId);
    // Logs Acks (emptied unless WaitForWriters is false and another writer
    // is busy: false then). An acknowledgement that cannot be logged is kept
    // in m_unloggedAcks, retried later and reported once; a refusal that is
    // logged gets the failure popup when the options ask for it.
    // FailedRows, when given, gets the rows whose acceptance could not be
    // logged; m_logError keeps the reason (empty when none failed).
    bool LogAcks(QSqlDatabase& db, QList<TClientInputMessage>& acks, bool waitForWriters,
                 QSet<qint32>* failedRows = nullptr);
    // Whether the next frame may go out now: no acceptance in hand failed to
    // be logged, and fewer than kMaxUnloggedAcks wait for their log write.
    bool MayGoOn() const { return !m_logHeld.load() && m_acksInHand.load() < kMaxUnloggedAcks; }
    // LogAcks for every acknowledgement in hand, the retried ones included.
    void LogAcksInHand(QSqlDatabase& db);
    // The link goes (the program closes) with acknowledgements that could
    // not be logged: their recipients are named among the failures of the
    // close.
    void TellUnloggedAtEnd(QSqlDatabase& db);
    // Hands the reports held for the link's log writes to the message
    // processor; with SendLoopEnded none is held from then on.
    void PassReportsToProcessor(bool sendLoopEnded);

    const quint64 m_serial;
    mutable std::once_flag m_endpointOnce;
    mutable quint32 m_endpointId = 0;
    // Send thread only: acknowledgements whose logging failed, the reason
    // of the last failure, and how many of them a notice called unlogged.
    QList<TClientInputMessage> m_unloggedAcks;
    QString m_logError;
    int m_toldUnlogged = 0;
    // Send thread only: rows of the batches so far whose wait ran out, told
    // (those still unanswered) once m_unansweredDue has passed.
    QSet<qint32> m_unanswered;
    QDeadlineTimer m_unansweredDue;
    // Acceptances taken and not logged yet (counted when they arrive, until
    // their log write succeeds or finds nothing to log), and whether one of
    // them failed to be logged: while so, no further frame goes out.
    std::atomic<int> m_acksInHand{0};
    std::atomic<bool> m_logHeld{false};
    TNWorkSignal m_outMessagesEvent;
    TNSynchroEvent m_ackEvent;
    TNFramePipe m_pipe;
    // The send thread waits with no answer in hand: the next answer wakes it
    // (it starts the answer's log delay).
    std::atomic<bool> m_wakeOnAck{false};
    std::atomic<bool> m_loggedOn{false};
    std::atomic<bool> m_destroying{false};
    std::atomic<bool> m_testing{false};
    std::atomic<bool> m_serverClosed{false};
    // Answers ignored since the operator was last told: told at the end of
    // each batch, after a quiet moment while idle, and when the link goes.
    std::atomic<int> m_strayAnswers{0};
    // The send loop waits for work: an acknowledgement wakes it.
    std::atomic<bool> m_sendIdle{false};
    mutable std::mutex m_stateLock;  // guards the fields below
    quint8 m_errorCode = 0;
    QString m_errorText;
    QList<TClientInputMessage> m_acks;
    // The last of m_acks answered the row a batch had on the wire.
    bool m_lastAckInFlight = false;
    TClientInputMessage m_lastAck;
    bool m_hasLastAck = false;
    // Reports of rows whose acknowledgement is not logged yet.
    QList<TClientInputMessage> m_reportsAwaitingLog;
    bool m_sendLoopEnded = false;
    // Guarded by ServersList's lock.
    bool m_listed = false;
    bool m_closed = false;
};
