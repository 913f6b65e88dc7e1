#include "messaging/baseserver.h"

#include "data/threadconnections.h"
#include "db/dberror.h"
#include "foundation/dmoptions.h"
#include "messaging/inmessageslist.h"
#include "messaging/messageprocessor.h"
#include "messaging/messagetable.h"
#include "messaging/outmessageline.h"
#include "messaging/popupwin.h"
#include "messaging/protocol.h"
#include "messaging/sendprogress.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

namespace {
std::atomic<quint64> g_lastLinkSerial{0};
}  // namespace

TBaseServer::TBaseServer() : m_serial(++g_lastLinkSerial) {}

TBaseServer::~TBaseServer() = default;

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
                {
                    std::lock_guard<std::mutex> guard(m_stateLock);
                    m_acks.append(input);
                    m_lastAck = input;
                    m_hasLastAck = true;
                }
                m_ackEvent.SetEvent();
                // An idle send loop logs it now, not at its next batch.
                if (m_sendIdle.load())
                    m_outMessagesEvent.Wake();
            }
            break;
        case rkMessageSent:
        case rkMessageSendError:
            if (message.ToInputMessage(&input)) {
                {
                    // A report of a row whose acknowledgement this link has
                    // not logged yet goes to the processor with the next log
                    // write (TakeReportsForProcessor): the processor could
                    // only hold it till then, and is woken once per group.
                    std::lock_guard<std::mutex> guard(m_stateLock);
                    if (!m_sendLoopEnded && RowAwaitsAckLog(input.ClientRecordID)) {
                        m_reportsAwaitingLog.append(input);
                        if (m_sendIdle.load())
                            m_outMessagesEvent.Wake();
                        break;
                    }
                }
                InMessagesList.Add(input);
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

void TBaseServer::AwaitAck(qint32 id, int timeoutMs, const std::function<bool()>& stopRequested,
                           QList<TClientInputMessage>& arrived)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QList<TClientInputMessage> acks = TakeAcks();
        arrived += acks;
        for (const TClientInputMessage& ack : acks)
            if (ack.ClientRecordID == id)
                return;
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || stopRequested() || Destroying() || !TransportAlive())
            return;
        // Every way this wait can end sets the event: an acknowledgement,
        // the transport's end (LogonUnanswerable), destruction.
        m_ackEvent.WaitFor(int(left));
    }
}

namespace {
QString RecipientLabel(const QString& name, qint32 rowId)
{
    return name.isEmpty() ? QStringLiteral("record %1").arg(rowId) : name;
}

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

QString TBaseServer::NotLoggedText(const QString& name, const QString& reason)
{
    return QStringLiteral(
               "The message to \"%1\" was accepted by the Server but could not be written to the sent-messages "
               "log. It will not be sent again.\r\rReason: %2")
        .arg(name, reason);
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

bool TBaseServer::LogAcks(QSqlDatabase& db, QList<TClientInputMessage>& acks, bool waitForWriters)
{
    QList<TNAckOutcome> outcomes;
    if (!MoveAllToSent(db, acks, waitForWriters, &outcomes))
        return false;
    // Whatever became of them, the reports waiting for these go on now (a
    // report whose acknowledgement could not be logged is held by the
    // processor as before).
    PassReportsToProcessor(false);
    acks.clear();
    bool logged = false;
    const bool popupForFailure = PopupForFailure;
    for (const TNAckOutcome& outcome : std::as_const(outcomes)) {
        const qint32 id = outcome.Ack.ClientRecordID;
        if (outcome.Result == TMoveToSentResult::msFailed) {
            // Kept and retried; its row is never sent again meanwhile. The
            // operator hears of it once.
            if (!HasAckFor(m_unloggedAcks, id)) {
                m_unloggedAcks << outcome.Ack;
                PostShowPopup(NotLoggedText(RecipientLabel(OutRowName(db, id), id), outcome.Error), pkError);
            }
            continue;
        }
        m_unloggedAcks.removeIf([id](const TClientInputMessage& ack) { return ack.ClientRecordID == id; });
        logged = logged || outcome.Result == TMoveToSentResult::msLogged;
        if (outcome.Result == TMoveToSentResult::msLogged && outcome.Ack.MsgType == rkMessageAcceptError &&
            popupForFailure)
            PostShowPopup(TMessageProcessor::SendErrorText(RefusalStatus(outcome.Ack)), pkError);
    }
    if (logged)
        PostRefreshSentMessages();
    return true;
}

void TBaseServer::RunBatch(QSqlDatabase& db, const std::function<bool()>& stopRequested, quint64 batchId,
                           const TNSendSettings& settings)
{
    const quint64 generation = RemovalGeneration();
    TNOutRowReader rows(db, OutRowFilter());
    const int total = int(quint16(rows.Total()));
    int index = 1;
    TNRouteCache routes;
    TNSendProgressPoster progress(batchId);
    // Acknowledgements are logged in groups, after the next row has gone
    // out: the log is written while the server handles that row, and one
    // transaction serves many rows. A group is written once it is large or
    // its oldest acknowledgement has waited kAckLogDelayMs, and whatever
    // arrived is written before the batch ends, however it ends.
    QList<TClientInputMessage> unlogged;
    unlogged.reserve(4 * kAckLogGroup);
    QElapsedTimer oldest;
    struct TLogRest {
        TBaseServer& link;
        QSqlDatabase& db;
        QList<TClientInputMessage>& acks;
        ~TLogRest() { link.LogAcks(db, acks, true); }
    } logRest{*this, db, unlogged};
    TNOutRow row;
    bool unanswered = false;  // a row sent in this batch got no answer in its wait
    while (rows.Next(row)) {
        if (stopRequested() || Destroying())
            return;
        if (!TransportAlive()) {
            // The server closed the connection part-way: the operator hears
            // that the rest did not go (they stay queued for the next Send).
            TellConnectionClosed();
            return;
        }
        // A row the server accepted is never sent again, even while its
        // acknowledgement waits to be logged. A row whose message was
        // removed meanwhile (a failed connection of another of its servers)
        // is not sent.
        const bool claimed = !HasAckFor(m_unloggedAcks, row.ID) && ClaimRowForSending(db, row.ID, generation);
        if (claimed) {
            try {
                SendOutMessage(row, settings, &routes);
            } catch (const ELinkError& e) {
                // The transport is gone; this row and the rest stay queued.
                PostShowPopup(NotSentText(RecipientLabel(row.Name, row.ID), QString::fromUtf8(e.what())), pkError);
                return;
            } catch (const std::exception& e) {
                PostShowPopup(NotSentText(RecipientLabel(row.Name, row.ID), QString::fromUtf8(e.what())), pkError);
            }
        }
        if (!unlogged.isEmpty() && (unlogged.size() >= kAckLogGroup || oldest.hasExpired(kAckLogDelayMs))) {
            // While the processor writes, go on sending; wait only once the
            // group has grown well past its size.
            LogAcks(db, unlogged, unlogged.size() >= 4 * kAckLogGroup);
        }
        progress.Row(index, total);
        index = int(quint16(index + 1));
        if (claimed) {
            const bool none = unlogged.isEmpty();
            const qsizetype before = unlogged.size();
            AwaitAck(row.ID, kAckTimeoutMs, stopRequested, unlogged);
            unanswered = unanswered || unlogged.size() == before;
            if (none && !unlogged.isEmpty())
                oldest.start();
        }
    }
    // The connection ended while the last rows waited for their answers.
    if (unanswered && !TransportAlive() && !stopRequested() && !Destroying())
        TellConnectionClosed();
    // Rows that left the out-box while the batch ran were never reached:
    // the send bar is told the batch is through.
    if (rows.Total() > 0 && int(quint16(index - 1)) != total)
        progress.Row(total, total);
}

void TBaseServer::RunSendLoop(const std::function<bool()>& stopRequested, quint64 batchId)
{
    // However the loop ends, no log write comes any more: the reports still
    // held go on then, and later ones straight away.
    struct TPassReportsAtEnd {
        TBaseServer& link;
        ~TPassReportsAtEnd() { link.PassReportsToProcessor(true); }
    } passReportsAtEnd{*this};
    const TNSendSettings start = CurrentSendSettings();
    const QString path = start.LocalDatabasePath;
    if (!LoggedOn() && !LogonPhase(stopRequested, start.AppID))
        return;
    QSqlDatabase db;
    while (!stopRequested() && !Destroying() && TransportAlive() && LoggedOn()) {
        // Woken by a batch request, by an acknowledgement that comes while
        // idle, by the transport's end and by destruction; a log write that
        // failed is tried again every kIdlePollMs.
        m_sendIdle = true;
        if (HasAcks())
            m_outMessagesEvent.Wake();  // also passes on held reports
        const bool woken =
            m_outMessagesEvent.WaitFor(m_unloggedAcks.isEmpty() ? -1 : kIdlePollMs) == TNSynchroEvent::srSignaled;
        m_sendIdle = false;
        try {
            db = ThreadDatabase(path);
            // Acknowledgements that came after their row's wait, and those
            // whose logging failed before.
            QList<TClientInputMessage> acks = m_unloggedAcks + TakeAcks();
            LogAcks(db, acks, true);
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
    if (m_outMessagesEvent.Cancel())
        CheckSendDone();
    db = QSqlDatabase();
    CloseThreadDatabase(path);
}

void TBaseServer::TellConnectionClosed() const
{
    PostShowPopup(BatchFailedText(QStringLiteral("the server closed the connection")), pkError);
}

QString TBaseServer::BatchFailedText(const QString& reason) const
{
    const QString where = ServerTypeNo() == SERVER_TYPE_TCP_NO
                              ? QStringLiteral("IP Address= %1, Port=%2").arg(GetIpAddress()).arg(GetPortNo())
                              : QStringLiteral("Host = \"%1\"").arg(GetHostName());
    return QStringLiteral("The messages for the Server at %1 could not be sent; they stay in the OutBox.\r\rReason: %2")
        .arg(where, reason);
}
