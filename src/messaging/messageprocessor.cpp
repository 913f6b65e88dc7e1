#include "messaging/messageprocessor.h"

#include "data/threadconnections.h"
#include "messaging/inmessageslist.h"
#include "messaging/lockedtext.h"
#include "messaging/messagetable.h"
#include "messaging/outboxstore.h"
#include "messaging/popupwin.h"
#include "messaging/protocol.h"
#include "messaging/sendcycle.h"

TMessageProcessor* MessageProcessor = nullptr;

namespace {
// While reports are held the thread looks at them this often.
constexpr int kHeldRetryMs = 20;

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
    WaitFor();
}

void TNMessagesThread::Execute()
{
    m_owner.Run(*this);
}

TMessageProcessor::TMessageProcessor() : m_thread(std::make_unique<TNMessagesThread>(*this))
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

void TMessageProcessor::Run(const TNThread& thread)
{
    const QString path = CurrentSendSettings().LocalDatabasePath;
    while (!thread.Terminated()) {
        const int wait = m_held.isEmpty() ? kWaitMs : kHeldRetryMs;
        TClientInputMessage message;
        const bool taken = InMessagesList.WaitForItems(wait) == wrSignaled && InMessagesList.TakeFirst(&message);
        try {
            QSqlDatabase db = ThreadDatabase(path);
            if (!m_held.isEmpty())
                RetryHeld(db);
            if (taken && !ProcessInMessage(db, message, false)) {
                m_held.append({message, QElapsedTimer()});
                m_held.last().Since.start();
            }
        } catch (const std::exception& e) {
            qWarning("Message processor: %s", e.what());
        }
        m_heldCount = int(m_held.size());
    }
    CloseThreadDatabase(path);
}

void TMessageProcessor::RetryHeld(QSqlDatabase& db)
{
    QList<THeld> still;
    for (const THeld& held : std::as_const(m_held)) {
        const bool expired = held.Since.hasExpired(kReportHoldMs);
        if (!ProcessInMessage(db, held.Report, expired) && !expired)
            still.append(held);
    }
    m_held.swap(still);
}

bool TMessageProcessor::ProcessInMessage(QSqlDatabase& db, const TClientInputMessage& message, bool applyUnlogged)
{
    if (message.MsgType == rkBroadcastMessage) {
        ShowBroadcast(message);
        return true;
    }
    if (message.MsgType != rkMessageSent && message.MsgType != rkMessageSendError)
        return true;
    const TNReportOutcome outcome = ApplyReport(db, message, applyUnlogged);
    if (outcome.Result == TApplyReportResult::arNotLogged || outcome.Result == TApplyReportResult::arFailed)
        return applyUnlogged;  // wait for the acknowledgement (or drop at the end of the hold)
    if (outcome.Result != TApplyReportResult::arApplied)
        return true;  // no longer in the out-box: nothing to do
    CheckSendDone(db);
    PostRefreshSentMessages();
    const TNSendSettings settings = CurrentSendSettings();
    if (message.MsgType == rkMessageSent) {
        if (settings.PopupForSuccess)
            PostShowPopup(SendSuccessText(), pkSuccess);
    } else if (settings.PopupForFailure) {
        PostShowPopup(SendErrorText(message.ErrorCode), pkError);
    }
    return true;
}

void TMessageProcessor::ShowBroadcast(const TClientInputMessage& message)
{
    LastBroadcast().Set(message.Text);
    PostServerMessage(message.Text);
}
