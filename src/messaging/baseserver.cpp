#include "messaging/baseserver.h"

#include "data/threadconnections.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "db/writeproblem.h"
#include "foundation/dmoptions.h"
#include "messaging/inmessageslist.h"
#include "messaging/messageprocessor.h"
#include "messaging/messagetable.h"
#include "messaging/outmessageline.h"
#include "messaging/popupwin.h"
#include "messaging/protocol.h"
#include "messaging/sendprogress.h"
#include "messaging/unroutedrows.h"
#include "platform/closereport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace {
std::atomic<quint64> g_lastLinkSerial{0};
}  // namespace

TBaseServer::TBaseServer() : m_serial(++g_lastLinkSerial) {}

TBaseServer::~TBaseServer() = default;

bool TBaseServer::StopThreads(int /*timeoutMs*/)
{
    BeginDestroy();
    return true;
}

void TBaseServer::TellStrayAnswersAtEnd() noexcept
{
    try {
        TellStrayAnswers();
    } catch (...) {
    }
}

TConnectResult TBaseServer::SafeConnect(int timeoutMs)
{
    try {
        return Connect(0, timeoutMs);
    } catch (const std::exception& e) {
        SetErrorText(QString::fromUtf8(e.what()));
    } catch (...) {
        SetErrorText(QStringLiteral("Unknown error while connecting"));
    }
    return UnmappedErrorResult();
}

quint8 TBaseServer::ErrorCode() const
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_errorCode;
}

QString TBaseServer::ErrorText() const
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_errorText;
}

void TBaseServer::SetErrorText(const QString& text)
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    m_errorText = text;
}

void TBaseServer::SendLogon(const QString& appId)
{
    SendText(FrameLine(LogonLine(appId)));
}

bool TBaseServer::SendOutMessage(const TNOutRow& row, const TNSendSettings& settings, TNRouteCache* routes)
{
    const QString line = OutMessageLine(row, settings, routes);
    if (line.isEmpty())
        return false;
    RowPutOnWire(row.ID);
    SendText(FrameLine(line));
    return true;
}

void TBaseServer::HandleServerReply(TFrameCutter& cutter)
{
    QList<TClientRawInMessage> messages;
    cutter.Split(messages);
    HandleServerReply(messages);
}

void TBaseServer::HandleServerReply(const QList<TClientRawInMessage>& messages)
{
    for (const TClientRawInMessage& message : messages)
        DispatchReply(message);
}

void TBaseServer::DispatchReply(const TClientRawInMessage& message)
{
    if (message.IsMalformed())
        return;
    TClientInputMessage input;
    switch (message.Kind) {
        case rkLogonOk:
            m_loggedOn = true;
            m_logonEvent.SetEvent();
            m_logonAnswered.SetEvent();
            break;
        case rkLogonDenied:
        case rkDenyConnection: {
            // LogonEvent stays unset: the logon wait runs out.
            std::lock_guard<std::mutex> guard(m_stateLock);
            m_errorCode = quint8(message.GetReasonCode());
            m_errorText = message.GetReasonText();
            m_logonAnswered.SetEvent();
            break;
        }
        case rkMessageAccepted:
        case rkMessageAcceptError:
            if (message.ToInputMessage(&input)) {
                TNSentRows::TAckTake take = RunSentRows().TakeAck(input, EndpointId());
                if (!take.Taken) {
                    DropStrayAnswers(1);
                    break;
                }
                // A report held for this row that named another server
                // record is counted before anyone is woken, so the batch's
                // end cannot tell the ignored answers without it.
                if (take.Stale > 0)
                    DropStrayAnswers(take.Stale);
                // The server waits for the next row: it goes out first,
                // unless the log is behind (MayGoOn).
                m_acksInHand.fetch_add(1);
                QByteArray next;
                const TNFramePipe::TAnswer answer = m_pipe.Answered(input.ClientRecordID, next, MayGoOn());
                bool wake = answer.Wake;
                if (answer.SendNext) {
                    RowPutOnWire(answer.NextRow);
                    try {
                        SendText(next);
                    } catch (const std::exception& e) {
                        m_pipe.SendFailed(QString::fromUtf8(e.what()));
                        wake = true;
                    }
                }
                {
                    std::lock_guard<std::mutex> guard(m_stateLock);
                    m_acks.append(input);
                    m_lastAckInFlight = answer.InFlight;
                    m_lastAck = input;
                    m_hasLastAck = true;
                }
                if (wake || (m_wakeOnAck.load() && m_wakeOnAck.exchange(false)))
                    m_ackEvent.SetEvent();
                // An idle send loop logs it now, not at its next batch.
                if (m_sendIdle.load())
                    m_outMessagesEvent.Wake();
                // A report that came before the acceptance confirms the row
                // now.
                if (take.HasReport)
                    ForwardReport(take.Report);
            }
            break;
        case rkMessageSent:
        case rkMessageSendError:
            if (message.ToInputMessage(&input)) {
                const TNSentRows::TReportTake take = RunSentRows().TakeReport(input, EndpointId());
                if (take == TNSentRows::rtStray)
                    DropStrayAnswers(1);
                else if (take == TNSentRows::rtTaken)
                    ForwardReport(input);
            }
            break;
        case rkBroadcastMessage:
            if (message.ToInputMessage(&input))
                InMessagesList.Add(input);
            break;
        default:
            break;
    }
}

void TBaseServer::ForwardReport(const TClientInputMessage& report)
{
    {
        // A report of a row whose acknowledgement this link has not logged
        // yet goes to the processor with the next log write: the processor
        // could only hold it till then, and is woken once per group. The
        // report of the row just acknowledged (the usual case: both come in
        // one read) certainly waits; the claims are looked at only for the
        // others.
        std::lock_guard<std::mutex> guard(m_stateLock);
        const bool justAcked =
            m_lastAckInFlight && !m_acks.isEmpty() && m_acks.last().ClientRecordID == report.ClientRecordID;
        if (!m_sendLoopEnded && (justAcked || RowAwaitsAckLog(report.ClientRecordID))) {
            m_reportsAwaitingLog.append(report);
            if (m_sendIdle.load())
                m_outMessagesEvent.Wake();
            return;
        }
    }
    InMessagesList.Add(report);
}

void TBaseServer::DropStrayAnswers(int answers)
{
    // Not an answer this run awaits from this server (a row never sent or
    // sent to another server, answered already, a report naming another
    // server record): it must not make any row count as accepted, delivered
    // or failed. The operator hears how many once per batch (the popup is
    // the notice: nothing is written per answer); an idle send loop is woken
    // by the first so it tells them after a quiet moment.
    if (m_strayAnswers.fetch_add(answers) == 0 && m_sendIdle.load())
        m_outMessagesEvent.Wake();
}

quint32 TBaseServer::EndpointId() const
{
    // Made on first use: the kind's filter is not there while the base is
    // being made. The filter's first address stands for the server (a local
    // server's is the loopback address, whichever of its addresses a link
    // was made for).
    std::call_once(m_endpointOnce, [this] {
        const TNOutRowFilter filter = OutRowFilter();
        m_endpointId = TNSentRows::EndpointId(QStringLiteral("%1|%2|%3|%4")
                                                  .arg(filter.ServerTypeNo)
                                                  .arg(filter.IpAddresses.value(0), filter.HostName)
                                                  .arg(filter.PortNo));
    });
    return m_endpointId;
}

void TBaseServer::TellStrayAnswers()
{
    const int answers = m_strayAnswers.exchange(0);
    if (answers > 0)
        PostShowPopup(StrayAnswersText(answers), pkError);
}

QList<TClientInputMessage> TBaseServer::TakeAcks()
{
    // Reset before taking, so an acknowledgement pushed meanwhile sets the
    // event again and is never missed.
    m_ackEvent.ResetEvent();
    std::lock_guard<std::mutex> guard(m_stateLock);
    QList<TClientInputMessage> acks;
    acks.swap(m_acks);
    m_hasLastAck = false;
    return acks;
}

bool TBaseServer::HasAcks() const
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    return !m_acks.isEmpty() || !m_reportsAwaitingLog.isEmpty();
}

void TBaseServer::LogonUnanswerable()
{
    m_logonAnswered.SetEvent();
    // The transport ended: the send thread's waits end with it.
    m_ackEvent.SetEvent();
    m_outMessagesEvent.Wake();
}

bool TBaseServer::LastAck(TClientInputMessage* ack) const
{
    std::lock_guard<std::mutex> guard(m_stateLock);
    if (m_hasLastAck && ack)
        *ack = m_lastAck;
    return m_hasLastAck;
}

void TBaseServer::BeginDestroy()
{
    m_destroying = true;
    m_connectedEvent.SetEvent();
    m_logonEvent.SetEvent();
    m_logonAnswered.SetEvent();
    m_ackEvent.SetEvent();
    m_outMessagesEvent.Wake();
}

bool TBaseServer::WaitForLogon(int timeoutMs)
{
    m_logonAnswered.WaitFor(timeoutMs);
    return LoggedOn();
}

bool TBaseServer::LogonPhase(const std::function<bool()>& stopRequested, const QString& appId)
{
    while (!stopRequested() && !Destroying()) {
        if (m_connectedEvent.WaitFor(kConnectedWaitMs) != wrSignaled)
            continue;
        if (Destroying())
            return false;
        m_logonEvent.ResetEvent();
        try {
            SendLogon(appId);
        } catch (const std::exception&) {
            return false;
        }
        return WaitForLogon(kLogonTimeoutMs) && !Destroying();
    }
    return false;
}

namespace {
bool HasAckFor(const QList<TClientInputMessage>& acks, qint32 rowId)
{
    for (const TClientInputMessage& ack : acks)
        if (ack.ClientRecordID == rowId)
            return true;
    return false;
}
}  // namespace

QString TBaseServer::NotSentText(const QString& name, const QString& reason)
{
    return QStringLiteral("The message to \"%1\" could not be sent to the Server.\r\rReason: %2").arg(name, reason);
}

QString TBaseServer::NoRouteText()
{
    return QStringLiteral("the recipient's contact, carrier or pager data was not found in its address book");
}

namespace {
QString Messages(int n)
{
    return n == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(n);
}
}  // namespace

QString TBaseServer::LogTroubleText(const QString& reason, int loggedLate, int unlogged, const QStringList& names,
                                    int queued, bool gaveUp) const
{
    QStringList parts;
    if (loggedLate > 0)
        parts << QStringLiteral("%1 accepted by the Server %2 logged late, once the log could be written.")
                     .arg(Messages(loggedLate), loggedLate == 1 ? QStringLiteral("was") : QStringLiteral("were"));
    if (unlogged > 0) {
        QString who = names.join(QStringLiteral(", "));
        if (unlogged > names.size())
            who += (who.isEmpty() ? QString() : QStringLiteral(" and ")) +
                   QStringLiteral("%1 more").arg(unlogged - names.size());
        parts << QStringLiteral(
                     "%1 accepted by the Server %2 not logged yet (%3); %4 logged as soon as the log can be "
                     "written, and not sent again.")
                     .arg(Messages(unlogged), unlogged == 1 ? QStringLiteral("is") : QStringLiteral("are"), who,
                          unlogged == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
    }
    const QString stopped = gaveUp ? QStringLiteral("Sending stopped, waiting for the log: ") : QString();
    if (queued < 0)
        parts << stopped + QStringLiteral("the messages not sent stay in the OutBox.");
    else if (queued > 0)
        parts << stopped + QStringLiteral("%1 %2 in the OutBox; the next Send sends %3.")
                               .arg(Messages(queued), queued == 1 ? QStringLiteral("stays") : QStringLiteral("stay"),
                                    queued == 1 ? QStringLiteral("it") : QStringLiteral("them"));
    else
        parts << QStringLiteral("No message stays in the OutBox.");
    return QStringLiteral(
               "The sent-messages log could not be written while messages went to the Server at %1: "
               "%2.\r\r%3")
        .arg(ServerPlace(), reason, parts.join(QStringLiteral("\r\r")));
}

QString TBaseServer::LoggedSinceText(int rows)
{
    return rows == 1 ? QStringLiteral(
                           "The message accepted by the Server that could not be logged is in the "
                           "sent-messages log now.")
                     : QStringLiteral(
                           "The %1 messages accepted by the Server that could not be logged are in the "
                           "sent-messages log now.")
                           .arg(rows);
}

void TBaseServer::PassReportsToProcessor(bool sendLoopEnded)
{
    QList<TClientInputMessage> reports;
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        reports.swap(m_reportsAwaitingLog);
        m_sendLoopEnded = m_sendLoopEnded || sendLoopEnded;
    }
    InMessagesList.AddAll(reports);
}

bool TBaseServer::LogAcks(QSqlDatabase& db, QList<TClientInputMessage>& acks, bool waitForWriters,
                          QSet<qint32>* failedRows)
{
    if (acks.isEmpty()) {
        PassReportsToProcessor(false);
        return true;
    }
    // The reports in hand for these rows are applied in the same
    // transaction: the row is logged as delivered and leaves the out-box
    // at once, with no second transaction for the message processor.
    QList<TClientInputMessage> reports;
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        reports.swap(m_reportsAwaitingLog);
    }
    QList<TNAckOutcome> outcomes;
    if (!MoveAllToSent(db, acks, waitForWriters, &outcomes, &reports)) {
        std::lock_guard<std::mutex> guard(m_stateLock);
        reports += m_reportsAwaitingLog;
        m_reportsAwaitingLog.swap(reports);
        return false;
    }
    // Whatever became of them, the other reports waiting for these go on
    // now (a report whose acknowledgement could not be logged is held by
    // the processor as before).
    InMessagesList.AddAll(reports);
    PassReportsToProcessor(false);
    acks.clear();
    bool logged = false;
    bool failed = false;
    const bool popupForSuccess = PopupForSuccess;
    const bool popupForFailure = PopupForFailure;
    for (const TNAckOutcome& outcome : std::as_const(outcomes)) {
        const qint32 id = outcome.Ack.ClientRecordID;
        if (outcome.Result == TMoveToSentResult::msFailed) {
            // Kept and retried; its row is never sent again meanwhile, and
            // no further row goes out until it is logged. The batch's notice
            // tells the operator.
            if (!HasAckFor(m_unloggedAcks, id))
                m_unloggedAcks << outcome.Ack;
            if (failedRows)
                failedRows->insert(id);
            m_logError = outcome.Error;
            failed = true;
            continue;
        }
        m_acksInHand.fetch_sub(1);
        m_unloggedAcks.removeIf([id](const TClientInputMessage& ack) { return ack.ClientRecordID == id; });
        logged = logged || outcome.Result == TMoveToSentResult::msLogged;
        if (outcome.Result == TMoveToSentResult::msLogged && outcome.Ack.MsgType == rkMessageAcceptError &&
            popupForFailure)
            PostShowPopup(TMessageProcessor::SendErrorText(RefusalStatus(outcome.Ack)), pkError);
        if (outcome.ReportApplied)
            TMessageProcessor::ShowReportPopup(outcome.Report, popupForSuccess, popupForFailure);
    }
    if (!failed)
        m_logError.clear();
    m_logHeld = !m_unloggedAcks.isEmpty();
    // Rows a notice called unlogged are all logged now: the operator hears
    // so, once.
    if (m_unloggedAcks.isEmpty() && m_toldUnlogged > 0)
        PostShowPopup(LoggedSinceText(std::exchange(m_toldUnlogged, 0)), pkSuccess);
    if (logged)
        PostRefreshSentMessages();
    return true;
}

// The acknowledgements of a batch not logged yet. They are logged in
// groups, while the server handles the next rows: one transaction serves
// many rows. A group is written once it is large or its oldest
// acknowledgement has waited kAckLogDelayMs, and whatever arrived is
// written before the batch ends, however it ends.
struct TBaseServer::TLogTrouble {
    QSet<qint32> failedRows;  // rows whose acceptance failed to be logged at least once
    QString reason;           // the last failure
    bool troubled = false;    // the batch's record could not be written for a while
    bool gaveUp = false;      // the batch ended waiting for it
};

struct TBaseServer::TBatchAcks {
    TBaseServer& link;
    QSqlDatabase& db;
    TLogTrouble& trouble;
    QList<TClientInputMessage> unlogged;
    QElapsedTimer oldest;
    QList<qint32> unanswered;  // rows of the batch that got no answer in their wait
    bool closedEarly = false;  // the server closed the connection part-way

    TBatchAcks(TBaseServer& owner, QSqlDatabase& database, TLogTrouble& logTrouble)
        : link(owner), db(database), trouble(logTrouble)
    {
        unlogged.reserve(2 * kMaxUnloggedAcks);
    }
    // Answers that came since the last look are logged too (the one the
    // server sent just before it closed must not be lost with the link), and
    // those that could not be logged are tried once more.
    ~TBatchAcks()
    {
        Take();
        QList<TClientInputMessage> all = link.m_unloggedAcks;
        all += unlogged;
        link.LogAcks(db, all, true, &trouble.failedRows);
        Note();
    }
    // Notes a failure of the last write for the batch's notice.
    void Note()
    {
        if (link.m_logError.isEmpty())
            return;
        trouble.troubled = true;
        trouble.reason = link.m_logError;
    }
    TBatchAcks(const TBatchAcks&) = delete;
    TBatchAcks& operator=(const TBatchAcks&) = delete;

    void Take()
    {
        const QList<TClientInputMessage> acks = link.TakeAcks();
        if (acks.isEmpty())
            return;
        if (unlogged.isEmpty())
            oldest.start();
        unlogged += acks;
    }
    // Milliseconds until the group is due (-1: nothing to log).
    qint64 DueInMs() const
    {
        if (unlogged.isEmpty())
            return -1;
        if (unlogged.size() >= kAckLogGroup)
            return 0;
        return std::max<qint64>(0, kAckLogDelayMs - oldest.elapsed());
    }
    // True when the group was written (or failed to be).
    bool LogIfDue()
    {
        // While another of the program's writers holds the log, go on
        // sending; wait only once the next frame waits for the log.
        const bool done =
            DueInMs() == 0 && link.LogAcks(db, unlogged, unlogged.size() >= kMaxUnloggedAcks, &trouble.failedRows);
        Note();
        return done;
    }
};

bool TBaseServer::SendFrame(const TNFramePipe::TFrame& frame)
{
    try {
        SendText(frame.Bytes);
        return true;
    } catch (const std::exception& e) {
        // The transport is gone (ELinkError): this row and the rest stay
        // queued. When the server ended the conversation, the popup of the
        // early end counts this row among them.
        if (!m_serverClosed.load())
            PostShowPopup(NotSentText(frame.Label, QString::fromUtf8(e.what())), pkError);
        return false;
    }
}

bool TBaseServer::StepPipe(const std::function<bool()>& stopRequested, TBatchAcks& acks, bool draining,
                           const std::function<qint64(int)>& progress)
{
    for (;;) {
        // TakeAcks resets the event before it looks: anything the receiving
        // side does from here on sets it again. With no answer in hand, the
        // next one sets it too (its group's delay starts then).
        m_wakeOnAck = acks.unlogged.isEmpty();
        acks.Take();
        if (acks.LogIfDue()) {
            // An acceptance that could not be logged stops the batch until it
            // is.
            if (!m_unloggedAcks.isEmpty() && !AwaitLog(acks.db, stopRequested, acks, {}))
                return false;
            continue;
        }
        TNFramePipe::TFrame frame;
        QString error;
        const bool sendFailed = m_pipe.TakeFailure(frame, error);
        const bool busy = m_pipe.Busy();
        // Rows are left: on the wire, queued, or not read yet.
        const bool rowsLeft = sendFailed || busy || !draining;
        // The server's end of the conversation is looked at before a stop
        // and before a failed send: the link it unlists may already be on
        // its way out, and a send may have failed because of it. Whoever
        // noticed the end first, the batch ends early and says so.
        if (rowsLeft && m_serverClosed.load()) {
            acks.closedEarly = true;
            return false;
        }
        if (sendFailed) {
            PostShowPopup(NotSentText(frame.Label, error), pkError);
            return false;
        }
        if (stopRequested() || Destroying())
            return false;
        if (!busy)
            return true;
        if (!TransportAlive()) {
            // The server closed the connection part-way: the operator hears
            // that the rest did not go (they stay queued for the next Send).
            acks.closedEarly = true;
            return false;
        }
        qint32 timedOut = 0;
        const bool take = m_pipe.TakeForSender(frame, &timedOut, MayGoOn());
        if (timedOut != 0)
            acks.unanswered << timedOut;
        if (take) {
            RowPutOnWire(frame.RowId);
            if (!SendFrame(frame)) {
                acks.closedEarly = m_serverClosed.load();
                return false;
            }
            progress(frame.Ordinal);
        }
        if (take || timedOut)
            continue;
        if (!draining && m_pipe.Queued() <= TNFramePipe::kLowWater)
            return true;  // time to refill
        // The rows the receive thread sent meanwhile move the send bar (a
        // few times a second at most).
        const qint64 progressDue = progress(m_pipe.Position());
        // Every way this wait can end sets the event: the answer that frees
        // room or empties the queue, the first answer while none is in hand,
        // the transport's end (LogonUnanswerable), destruction. Otherwise it
        // ends when the row in flight, the log group or a progress position
        // held back is due.
        qint64 wait = -1;
        for (const qint64 due : {m_pipe.InFlightLeftMs(), acks.DueInMs(), progressDue})
            if (due >= 0)
                wait = wait < 0 ? due : std::min(wait, due);
        m_ackEvent.WaitFor(int(wait < 0 ? -1 : std::max<qint64>(wait, 1)));
    }
}

bool TBaseServer::RunBatch(QSqlDatabase& db, const std::function<bool()>& stopRequested, quint64 batchId,
                           const TNSendSettings& settings)
{
    bool closedEarly = false;
    TNRouteCache routes;
    QList<qint32> unanswered;
    TLogTrouble trouble;
    {
        TBatchAcks acks(*this, db, trouble);
        RunBatchRows(db, stopRequested, batchId, settings, acks, routes);
        // The connection ended while the last row waited for its answer.
        closedEarly =
            acks.closedEarly || (!acks.unanswered.isEmpty() && !TransportAlive() && !stopRequested() && !Destroying());
        unanswered = acks.unanswered;
    }
    // Told once the batch's answers are logged, so the rows counted as
    // staying queued are those that really stay.
    if (trouble.troubled)
        TellLogTrouble(db, trouble, routes);
    if (closedEarly) {
        TellConnectionClosed(db, routes);
        m_unanswered.clear();  // counted among the rows that stay
    } else if (!unanswered.isEmpty() && !stopRequested() && !Destroying()) {
        // The answers of rows whose wait ran out may still be on their way:
        // they are counted once one more wait has passed (the idle loop
        // logs what comes meanwhile).
        for (const qint32 row : std::as_const(unanswered))
            m_unanswered.insert(row);
        m_unansweredDue.setRemainingTime(kAckTimeoutMs);
    }
    TellStrayAnswers();
    return closedEarly;
}

bool TBaseServer::AwaitLog(QSqlDatabase& db, const std::function<bool()>& stopRequested, TBatchAcks& acks,
                           const QList<qint32>& marks)
{
    bool marked = marks.isEmpty();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        acks.Take();
        QList<TClientInputMessage> all = m_unloggedAcks;
        all += acks.unlogged;
        acks.unlogged.clear();
        if (!all.isEmpty())
            LogAcks(db, all, true, &acks.trouble.failedRows);
        if (!marked) {
            QString error;
            marked = MarkRowsOnWire(db, marks, &error);
            if (!marked)
                m_logError = error;
        }
        acks.Note();
        if (marked && m_unloggedAcks.isEmpty())
            return true;
        if (stopRequested() || Destroying() || !TransportAlive())
            return false;
        // A connection that found the file read-only stays so until it is
        // opened again, which the batch's open queries forbid: the idle loop
        // does it.
        if (WriteProblemOf(m_logError) == TWriteProblem::wpReadOnly || waited.hasExpired(kLogWaitMs)) {
            acks.trouble.gaveUp = true;
            return false;
        }
        // Woken early by answers (logged at the next turn), by the
        // transport's end and by destruction.
        m_ackEvent.WaitFor(kLogRetryMs);
    }
}

void TBaseServer::TellLogTrouble(QSqlDatabase& db, const TLogTrouble& trouble, TNRouteCache& routes)
{
    const QSet<qint32> unlogged = UnloggedAckRows();
    int loggedLate = 0;
    for (qint32 row : trouble.failedRows)
        loggedLate += unlogged.contains(row) ? 0 : 1;
    // The recipients as the other popups name them (a group's member by the
    // group and the contact); their rows stay in the out-box until their
    // acceptance is logged.
    constexpr int kNamesShown = 10;
    QStringList names;
    try {
        for (const TNOutRow& row : LoadUnacknowledgedRows(db, OutRowFilter())) {
            if (names.size() == kNamesShown)
                break;
            if (unlogged.contains(row.ID))
                names << QStringLiteral("\"%1\"").arg(RowRecipientLabel(row, routes.ContactNameOf(row)));
        }
    } catch (const std::exception&) {
        // Not readable now: the notice counts them without names.
    }
    int queued = -1;
    try {
        queued = CountQueuedRows(db, OutRowFilter(), routes, unlogged).Sendable;
    } catch (const std::exception&) {
        // Not countable now: the notice says so without a number.
    }
    m_toldUnlogged = int(unlogged.size());
    const QString file = QFileInfo(CurrentSendSettings().LocalDatabasePath).fileName();
    PostShowPopup(LogTroubleText(WriteProblemText(trouble.reason, file), loggedLate, int(unlogged.size()), names,
                                 queued, trouble.gaveUp),
                  pkError);
}

void TBaseServer::TellUnanswered(QSqlDatabase& db)
{
    // A row whose answer came late, after its wait, has been logged by now
    // and is not counted; nor is one whose acceptance waits to be logged.
    const QSet<qint32> waitedFor = std::exchange(m_unanswered, {});
    const QSet<qint32> accepted = UnloggedAckRows();
    int left = -1;
    try {
        left = 0;
        for (const TNOutRow& row : LoadUnacknowledgedRows(db, OutRowFilter()))
            if (waitedFor.contains(row.ID) && !accepted.contains(row.ID))
                ++left;
    } catch (const std::exception&) {
        left = -1;  // not countable now: the popup says so without a number
    }
    if (left != 0)
        PostShowPopup(UnansweredText(left), pkError);
}

void TBaseServer::RunBatchRows(QSqlDatabase& db, const std::function<bool()>& stopRequested, quint64 batchId,
                               const TNSendSettings& settings, TBatchAcks& acks, TNRouteCache& routes)
{
    const quint64 generation = RemovalGeneration();
    TNOutRowReader rows(db, OutRowFilter());
    const int total = int(quint16(rows.Total()));
    int ordinal = 0;  // rows read so far
    TNSendProgressPoster progress(batchId);
    m_pipe.Begin(ReceiverSends(), kAckTimeoutMs);
    // Rows framed ahead and never sent when the batch ends stay queued, and
    // a removal of their message may take them again.
    // Their note of being on the wire is taken back.
    struct TClearPipe {
        TNFramePipe& pipe;
        QSqlDatabase& db;
        ~TClearPipe()
        {
            const QList<qint32> rows = pipe.Clear();
            UnmarkRowsOnWire(db, rows);
            ReleaseUnsentClaims(rows);
        }
    } clearPipe{m_pipe, db};
    // Each position reached is reported once; the poster coalesces them. The
    // result: milliseconds until a position held back is due (-1: none).
    int posted = 0;
    const auto showProgress = [&](int position) -> qint64 {
        position = int(quint16(position));
        if (position != posted && position > 0)
            progress.Row(position, total);
        posted = position;
        return progress.PostIfDue();
    };
    TNOutRow row;
    bool more = true;
    QList<TNOutRow> batch;
    QList<qint32> ids;
    QList<qint32> marks;
    std::vector<TNFramePipe::TFrame> frames;
    for (;;) {
        // The room in the queue is filled at once: the claims and the queue
        // are locked once for all of its rows, not once a row, so the
        // receive thread rarely finds them taken.
        const qsizetype room = TNFramePipe::kDepth - m_pipe.Queued();
        batch.clear();
        const int first = ordinal + 1;
        while (more && batch.size() < room && (more = rows.Next(row)))
            batch << row;
        ordinal += int(batch.size());
        // A row the server accepted is never sent again, even while its
        // acknowledgement waits to be logged. A row whose message was
        // removed meanwhile (a failed connection of another of its servers)
        // is not sent.
        ids.clear();
        for (const TNOutRow& each : std::as_const(batch))
            if (!HasAckFor(m_unloggedAcks, each.ID))
                ids << each.ID;
        const QSet<qint32> claimed = ClaimRowsForSending(db, ids, generation);
        QList<qint32> unrouted;
        for (qsizetype i = 0; i < batch.size(); ++i) {
            const TNOutRow& each = batch[i];
            if (!claimed.contains(each.ID))
                continue;
            const QString label = RecipientLabel(each.Name, each.ID);
            try {
                const QString line = OutMessageLine(each, settings, &routes);
                if (!line.isEmpty()) {
                    frames.push_back({each.ID, first + int(i), FrameLine(line), label});
                    continue;
                }
                // The contact, its carrier or its pager data is gone since the
                // row was queued: the row stays queued, and the operator hears
                // once that it does not go, and for whom.
                if (FirstNoticeOfUnroutedRow(each))
                    PostShowPopup(NotSentText(RowRecipientLabel(each, routes.ContactNameOf(each)), NoRouteText()),
                                  pkError);
            } catch (const std::exception& e) {
                PostShowPopup(NotSentText(label, QString::fromUtf8(e.what())), pkError);
            }
            unrouted << each.ID;
        }
        ReleaseUnsentClaims(unrouted);
        // No frame goes out before the local database notes it may, and
        // none while an acceptance in hand is not logged.
        marks.clear();
        for (const TNFramePipe::TFrame& frame : frames)
            marks << frame.RowId;
        QString markError;
        const bool marked = marks.isEmpty() || MarkRowsOnWire(db, marks, &markError);
        if (!marked) {
            m_logError = markError;
            acks.Note();
        }
        if ((!marked || !m_unloggedAcks.isEmpty()) &&
            !AwaitLog(db, stopRequested, acks, marked ? QList<qint32>() : marks)) {
            ReleaseUnsentClaims(marks);
            frames.clear();
            return;
        }
        m_pipe.PushAll(frames);
        // A frame the send thread sends itself is reported by its own place
        // (the receive thread may have sent the next ones already); those
        // the receive thread sends, by the last one's place whenever the send
        // thread wakes.
        if (!StepPipe(stopRequested, acks, !more, showProgress))
            return;
        showProgress(m_pipe.Position());
        if (!more && !m_pipe.Busy())
            break;
    }
    // Rows that left the out-box while the batch ran were never reached:
    // the send bar is told the batch is through.
    if (total > 0)
        showProgress(total);
}

void TBaseServer::RunSendLoop(const std::function<bool()>& stopRequested, quint64 batchId)
{
    // However the loop ends, no log write comes any more: the reports still
    // held go on then, and later ones straight away.
    struct TPassReportsAtEnd {
        TBaseServer& link;
        ~TPassReportsAtEnd() { link.PassReportsToProcessor(true); }
    } passReportsAtEnd{*this};
    // Answers ignored since the last batch are told when the loop ends too.
    struct TTellStraysAtEnd {
        TBaseServer& link;
        ~TTellStraysAtEnd() { link.TellStrayAnswersAtEnd(); }
    } tellStraysAtEnd{*this};
    const TNSendSettings start = CurrentSendSettings();
    const QString path = start.LocalDatabasePath;
    if (!LoggedOn() && !LogonPhase(stopRequested, start.AppID))
        return;
    QSqlDatabase db;
    while (!stopRequested() && !Destroying() && TransportAlive() && LoggedOn()) {
        // Woken by a batch request, by an acknowledgement that comes while
        // idle, by the transport's end and by destruction; a log write that
        // failed is tried again every kIdlePollMs.
        // Answers ignored while idle are told once none has come for
        // kIdlePollMs (a burst makes one popup), or at the next batch's end.
        // Rows a batch left unanswered are counted once their answers can
        // no longer come in time.
        m_sendIdle = true;
        if (HasAcks())
            m_outMessagesEvent.Wake();  // also passes on held reports
        const int strays = m_strayAnswers.load();
        const bool poll = !m_unloggedAcks.isEmpty() || strays > 0;
        int wait = poll ? kIdlePollMs : -1;
        if (!m_unanswered.isEmpty()) {
            const int due = int(std::max<qint64>(m_unansweredDue.remainingTime(), 0));
            wait = wait < 0 ? due : std::min(wait, due);
        }
        const bool woken = m_outMessagesEvent.WaitFor(wait) == TNSynchroEvent::srSignaled;
        m_sendIdle = false;
        if (!woken && strays > 0 && m_strayAnswers.load() == strays)
            TellStrayAnswers();
        try {
            db = ThreadDatabase(path);
            // A connection that found the file read-only is opened again: the
            // file may be writable by now.
            if (WriteProblemOf(m_logError) == TWriteProblem::wpReadOnly) {
                ReopenSqliteConnection(db);
                m_logError.clear();
            }
            // Another program's lock makes a write fail soon, to be tried
            // again, never holds the batch in one long wait.
            SetBusyWait(db, kLogBusyWaitMs);
            LogAcksInHand(db);
            if (!m_unanswered.isEmpty() && m_unansweredDue.hasExpired())
                TellUnanswered(db);
        } catch (const std::exception&) {
            db = QSqlDatabase();  // not reachable now: no batch this time
        }
        if (!woken || !m_outMessagesEvent.Take())
            continue;
        try {
            if (!db.isValid())
                throw EDatabaseError(QStringLiteral("The local database cannot be opened: %1").arg(path));
            RunBatch(db, stopRequested, batchId, CurrentSendSettings());
        } catch (const std::exception& e) {
            // The rows of a failed batch stay in the out-box.
            PostShowPopup(BatchFailedText(QString::fromUtf8(e.what())), pkError);
        }
        ReleaseSendWork();
    }
    if (LoggedOn() && (HasAcks() || !m_unloggedAcks.isEmpty() || !m_unanswered.isEmpty())) {
        // Acknowledgements that came after the last look (a row whose wait
        // had run out, then the server closed) are logged before the link
        // goes: the row would otherwise go out again with the next Send.
        // The rows still unanswered then get no answer on this connection:
        // the operator hears of them, unless the program stops.
        try {
            db = ThreadDatabase(path);
            LogAcksInHand(db);
            if (!m_unanswered.isEmpty() && !stopRequested() && !Destroying())
                TellUnanswered(db);
        } catch (const std::exception&) {
        }
    }
    if (Destroying())
        TellUnloggedAtEnd(db);
    if (m_outMessagesEvent.Cancel()) {
        // A batch asked for just before the server ended the conversation
        // never ran: its rows stay queued, as those of a batch cut short.
        if (m_serverClosed.load())
            TellUnrunBatch(path);
        CheckSendDone();
    }
    db = QSqlDatabase();
    CloseThreadDatabase(path);
}

void TBaseServer::LogAcksInHand(QSqlDatabase& db)
{
    // Acknowledgements that came after their row's wait, and those whose
    // logging failed before.
    QList<TClientInputMessage> acks = m_unloggedAcks + TakeAcks();
    LogAcks(db, acks, true);
}

void TBaseServer::TellUnrunBatch(const QString& path) const
{
    try {
        QSqlDatabase db = ThreadDatabase(path);
        TNRouteCache routes;
        TellConnectionClosed(db, routes);
    } catch (const std::exception&) {
        PostShowPopup(ConnectionClosedText(-1), pkError);
    }
}

QSet<qint32> TBaseServer::UnloggedAckRows() const
{
    QSet<qint32> rows;
    for (const TClientInputMessage& ack : m_unloggedAcks)
        rows.insert(ack.ClientRecordID);
    return rows;
}

void TBaseServer::TellConnectionClosed(QSqlDatabase& db, TNRouteCache& routes) const
{
    TNQueuedRows queued{-1, 0};
    try {
        // Rows whose acceptance could not be logged are not sent again.
        queued = CountQueuedRows(db, OutRowFilter(), routes, UnloggedAckRows());
    } catch (const std::exception&) {
        // Not countable now: the popup says so without a number.
    }
    // None left: the batch went through after all.
    if (queued.Sendable != 0 || queued.Unroutable != 0)
        PostShowPopup(ConnectionClosedText(queued.Sendable, queued.Unroutable), pkError);
}

QString TBaseServer::ServerPlace() const
{
    return ServerTypeNo() == SERVER_TYPE_TCP_NO
               ? QStringLiteral("IP Address= %1, Port=%2").arg(GetIpAddress()).arg(GetPortNo())
               : QStringLiteral("Host = \"%1\"").arg(GetHostName());
}

QString TBaseServer::ConnectionClosedText(int sendable, int unroutable) const
{
    QStringList rest;
    if (sendable < 0)
        rest << QStringLiteral("The messages not sent stay in the OutBox.");
    else if (sendable == 1)
        rest << QStringLiteral("1 message stays in the OutBox; the next Send sends it.");
    else if (sendable > 1)
        rest << QStringLiteral("%1 messages stay in the OutBox; the next Send sends them.").arg(sendable);
    // Rows no Send can frame as they stand are not promised to the next one.
    if (unroutable > 0)
        rest << QStringLiteral("%1 %2%3 in the OutBox but cannot be sent: %4.")
                    .arg(unroutable)
                    .arg(sendable > 0 ? QStringLiteral("more ") : QString(),
                         unroutable == 1 ? QStringLiteral("message stays") : QStringLiteral("messages stay"),
                         NoRouteText());
    return QStringLiteral("The Server at %1 closed the connection before all messages were sent.\r\r%2")
        .arg(ServerPlace(), rest.join(QStringLiteral("\r\r")));
}

QString TBaseServer::UnansweredText(int rows) const
{
    QString rest;
    if (rows < 0)
        rest = QStringLiteral("The messages not answered stay in the OutBox; the next Send sends them again.");
    else if (rows == 1)
        rest = QStringLiteral("1 message stays in the OutBox; the next Send sends it again.");
    else
        rest = QStringLiteral("%1 messages stay in the OutBox; the next Send sends them again.").arg(rows);
    return QStringLiteral("The Server at %1 did not answer every message in time.\r\r%2").arg(ServerPlace(), rest);
}

QString TBaseServer::StrayAnswersText(int answers) const
{
    return answers == 1 ? QStringLiteral(
                              "The Server at %1 sent 1 answer that matches no message this program is "
                              "waiting for; it was ignored.")
                              .arg(ServerPlace())
                        : QStringLiteral(
                              "The Server at %1 sent %2 answers that match no message this program is "
                              "waiting for; they were ignored.")
                              .arg(ServerPlace())
                              .arg(answers);
}

QString TBaseServer::BatchFailedText(const QString& reason) const
{
    return QStringLiteral("The messages for the Server at %1 could not be sent; they stay in the OutBox.\r\rReason: %2")
        .arg(ServerPlace(), reason);
}

void TBaseServer::TellUnloggedAtEnd(QSqlDatabase& db)
{
    QList<TClientInputMessage> acks = m_unloggedAcks + TakeAcks();
    if (acks.isEmpty())
        return;
    // Named as the other notices name rows ("Group[Contact]").
    QHash<qint32, QString> labels;
    if (db.isValid()) {
        try {
            TNRouteCache routes;
            for (const TNOutRow& row : LoadUnacknowledgedRows(db, OutRowFilter())) {
                TNRecipientRoute route;
                routes.RouteOf(row, route);
                labels.insert(row.ID, RowRecipientLabel(row, routes.ContactNameOf(row)));
            }
        } catch (const std::exception&) {
        }
    }
    QStringList names;
    for (const TClientInputMessage& ack : std::as_const(acks))
        names << u'"' + labels.value(ack.ClientRecordID, RecipientLabel(QString(), ack.ClientRecordID)) + u'"';
    ReportCloseFailure(QStringLiteral("%1 message(s) accepted by the Server (%2) could not be written to the "
                                      "sent-messages log before the program closed.")
                           .arg(acks.size())
                           .arg(names.join(QStringLiteral(", "))));
}
