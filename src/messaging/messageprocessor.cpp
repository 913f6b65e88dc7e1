#include "messaging/messageprocessor.h"

#include "data/threadconnections.h"
#include "db/connection.h"
#include "db/writeproblem.h"
#include "foundation/dmoptions.h"
#include "messaging/baseserver.h"
#include "messaging/inmessageslist.h"
#include "messaging/lockedtext.h"
#include "messaging/messagetable.h"
#include "messaging/outboxstore.h"
#include "messaging/popupwin.h"
#include "messaging/protocol.h"

TMessageProcessor* MessageProcessor = nullptr;

namespace {
// A report whose write failed (another program holding the database's write
// lock) is tried again this often; nothing signals the lock's release.
constexpr int kFailedRetryMs = 20;

TNLockedText& LastBroadcast()
{
    static TNLockedText text;
    return text;
}
}  // namespace

QString BroadcastText()
{
    return LastBroadcast().Get();
}

TNMessagesThread::TNMessagesThread(TMessageProcessor& owner)
    : TNThread(true, QStringLiteral("TNMessagesThread")), m_owner(owner)
{
}

TNMessagesThread::~TNMessagesThread()
{
    Terminate();
    InMessagesList.Nudge();  // its wait has no time limit
    WaitFor();
}

void TNMessagesThread::Execute()
{
    m_owner.Run(*this);
}

TMessageProcessor::TMessageProcessor(int reportHoldMs)
    : m_reportHoldMs(reportHoldMs), m_thread(std::make_unique<TNMessagesThread>(*this))
{
    m_thread->Resume();
}

TMessageProcessor::~TMessageProcessor()
{
    m_thread.reset();  // stops and joins
    if (MessageProcessor == this)
        MessageProcessor = nullptr;
}

bool TMessageProcessor::Stop(int timeoutMs)
{
    m_thread->Terminate();
    InMessagesList.Nudge();
    return m_thread->WaitFor(timeoutMs);
}

int TMessageProcessor::HeldReports() const
{
    return m_heldCount.load();
}

QString TMessageProcessor::SendErrorText(int errorCode)
{
    return QStringLiteral(
               "Error trying to send out the message from the Server. Please resend the message.\r\r : The error code "
               "is E%1 :\r")
               .arg(errorCode) +
           ErrorStatusText(errorCode);
}

QString TMessageProcessor::SendSuccessText()
{
    return QStringLiteral("The message has been sent out successfully from the Server.");
}

int TMessageProcessor::NextWaitMs() const
{
    // Woken by a new item, by logged acknowledgements (outboxstore.cpp) and
    // by Stop; otherwise only when a held report's hold runs out or a failed
    // write is due again.
    if (m_held.isEmpty())
        return -1;
    if (m_failed)
        return kFailedRetryMs;
    qint64 left = m_reportHoldMs;
    for (const THeld& held : m_held)
        left = std::min(left, m_reportHoldMs - held.Since.elapsed());
    return int(std::max<qint64>(left, 0)) + 1;
}

void TMessageProcessor::Run(const TNThread& thread)
{
    const QString path = CurrentSendSettings().LocalDatabasePath;
    QString lastError;
    bool shortWait = false;  // the connection's busy wait is set
    // The acknowledgement log as of the last pass over the held reports.
    quint64 seenAckLog = AckLogGeneration();
    while (!thread.Terminated()) {
        bool arrived = false;
        if (InMessagesList.WaitForItems(NextWaitMs()) == wrSignaled) {
            // Taken reports are held from now on, so none is lost whatever
            // happens to the database below.
            QList<TClientInputMessage> messages;
            InMessagesList.TakeFirstOnes(messages, kBatchSize);
            QElapsedTimer now;
            now.start();
            for (const TClientInputMessage& message : std::as_const(messages)) {
                if (message.MsgType == rkBroadcastMessage) {
                    ShowBroadcast(message);
                } else if (message.MsgType == rkMessageSent || message.MsgType == rkMessageSendError) {
                    m_held << THeld{message, now};
                    arrived = true;
                }
            }
        }
        const quint64 ackLog = AckLogGeneration();
        if (!m_held.isEmpty() && (arrived || m_failed || ackLog != seenAckLog || NextWaitMs() <= 1)) {
            seenAckLog = ackLog;
            try {
                QSqlDatabase db = ThreadDatabase(path);
                // Another program's lock makes a write fail soon (it is tried
                // again), so the program's own writers never queue behind
                // one long wait.
                if (!shortWait) {
                    SetBusyWait(db, kLogBusyWaitMs);
                    shortWait = true;
                }
                ProcessHeld(db);
            } catch (const std::exception& e) {
                // The local database cannot be opened now: the reports stay
                // held and are tried again (the reason is told once).
                m_failed = true;
                if (lastError != QString::fromUtf8(e.what())) {
                    lastError = QString::fromUtf8(e.what());
                    qWarning("Message processor: %s", e.what());
                }
            }
        }
        m_heldCount = int(m_held.size());
    }
    CloseThreadDatabase(path);
}

void TMessageProcessor::ProcessHeld(QSqlDatabase& db)
{
    // In their order of arrival. A report whose acknowledgement is not
    // logged yet waits for it up to m_reportHoldMs and is then applied as it
    // stands; a report that could not be written (the database locked or
    // failing) is tried again until it is, with no time limit. A report of a
    // row whose acknowledgement the link still holds is not looked up: it
    // is certainly not logged yet.
    QList<TClientInputMessage> reports;
    QList<bool> applyUnlogged;
    QList<int> tried;  // indexes into m_held
    for (int i = 0; i < m_held.size(); ++i) {
        const THeld& held = m_held[i];
        const bool expired = held.Since.hasExpired(m_reportHoldMs);
        if (!expired && RowAwaitsAckLog(held.Report.ClientRecordID))
            continue;
        reports << held.Report;
        applyUnlogged << expired;
        tried << i;
    }
    m_failed = false;
    if (reports.isEmpty())
        return;
    QString error;
    QList<TNReportOutcome> outcomes = ApplyReports(db, reports, applyUnlogged, &error);
    if (reports.size() > 1 && outcomes.value(0).Result == TApplyReportResult::arFailed &&
        !IsFileProblem(WriteProblemOf(error))) {
        // One at a time, so one report that cannot be written holds no other
        // (unless the file as a whole cannot be written: each would fail).
        outcomes.clear();
        for (int i = 0; i < reports.size(); ++i)
            outcomes << ApplyReport(db, reports[i], applyUnlogged[i]);
    }
    QList<bool> done(m_held.size(), false);
    bool applied = false;
    for (int i = 0; i < outcomes.size(); ++i) {
        const TApplyReportResult result = outcomes[i].Result;
        if (result == TApplyReportResult::arFailed)
            m_failed = true;
        if (result == TApplyReportResult::arFailed || result == TApplyReportResult::arNotLogged)
            continue;
        done[tried[i]] = true;
        if (result != TApplyReportResult::arApplied)
            continue;  // no longer in the out-box: nothing to do
        applied = true;
        ShowReportPopup(reports[i], PopupForSuccess, PopupForFailure);
    }
    QList<THeld> still;
    for (int i = 0; i < m_held.size(); ++i)
        if (!done[i])
            still << m_held[i];
    m_held = still;
    if (applied)
        PostRefreshSentMessages();
}

void TMessageProcessor::ShowReportPopup(const TClientInputMessage& report, bool forSuccess, bool forFailure)
{
    if (report.MsgType == rkMessageSent) {
        if (forSuccess)
            PostShowPopup(SendSuccessText(), pkSuccess);
    } else if (forFailure) {
        PostShowPopup(SendErrorText(report.ErrorCode), pkError);
    }
}

void TMessageProcessor::ShowBroadcast(const TClientInputMessage& message)
{
    LastBroadcast().Set(message.Text);
    PostServerMessage(message.Text);
}
