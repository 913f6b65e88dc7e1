#include "messaging/messageprocessor.h"

#include "data/threadconnections.h"
#include "foundation/dmoptions.h"
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
    bool inHand = false;
    while (!thread.Terminated()) {
        const int wait = m_held.isEmpty() ? kWaitMs : kHeldRetryMs;
        QList<TClientInputMessage> taken;
        if (InMessagesList.WaitForItems(wait) == wrSignaled) {
            // Marked before taking, so a send cycle never sees the reports
            // neither in the list nor in hand.
            SetReportsInHand(true);
            inHand = true;
            TClientInputMessage message;
            while (taken.size() < kBatchSize && InMessagesList.TakeFirst(&message))
                taken << message;
        }
        QSqlDatabase db;
        try {
            db = ThreadDatabase(path);
            ProcessInMessages(db, taken);
        } catch (const std::exception& e) {
            qWarning("Message processor: %s", e.what());
        }
        m_heldCount = int(m_held.size());
        if (inHand && m_held.isEmpty()) {
            // Every report in hand is applied or dropped: the cycle may end.
            SetReportsInHand(false);
            inHand = false;
            CheckSendDone(db);
        }
    }
    SetReportsInHand(false);
    CloseThreadDatabase(path);
}

void TMessageProcessor::ProcessInMessages(QSqlDatabase& db, const QList<TClientInputMessage>& taken)
{
    // The held reports first (in their order of arrival), then the new ones;
    // a held report whose time is up is applied as it stands.
    QList<THeld> candidates;
    QList<TClientInputMessage> reports;
    QList<bool> applyUnlogged;
    for (const THeld& held : std::as_const(m_held)) {
        candidates << held;
        reports << held.Report;
        applyUnlogged << held.Since.hasExpired(kReportHoldMs);
    }
    for (const TClientInputMessage& message : taken) {
        if (message.MsgType == rkBroadcastMessage) {
            ShowBroadcast(message);
        } else if (message.MsgType == rkMessageSent || message.MsgType == rkMessageSendError) {
            candidates << THeld{message, QElapsedTimer()};
            candidates.last().Since.start();
            reports << message;
            applyUnlogged << false;
        }
    }
    m_held.clear();
    if (reports.isEmpty())
        return;
    const QList<TNReportOutcome> outcomes = ApplyReports(db, reports, applyUnlogged);
    bool applied = false;
    for (int i = 0; i < outcomes.size(); ++i) {
        const TApplyReportResult result = outcomes[i].Result;
        if (result == TApplyReportResult::arNotLogged || result == TApplyReportResult::arFailed) {
            // Wait for the acknowledgement (a report whose time is up and
            // still fails is dropped).
            if (!applyUnlogged[i])
                m_held << candidates[i];
            continue;
        }
        if (result != TApplyReportResult::arApplied)
            continue;  // no longer in the out-box: nothing to do
        applied = true;
        if (reports[i].MsgType == rkMessageSent) {
            if (PopupForSuccess)
                PostShowPopup(SendSuccessText(), pkSuccess);
        } else if (PopupForFailure) {
            PostShowPopup(SendErrorText(reports[i].ErrorCode), pkError);
        }
    }
    if (applied)
        PostRefreshSentMessages();
}

void TMessageProcessor::ShowBroadcast(const TClientInputMessage& message)
{
    LastBroadcast().Set(message.Text);
    PostServerMessage(message.Text);
}
