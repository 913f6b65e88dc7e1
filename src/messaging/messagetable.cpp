#include "messaging/messagetable.h"

std::atomic<TNWindowHandle> HiddenWindowHandle{0};
std::atomic<TNWindowHandle> SendBarHandle{0};
std::atomic<TNWindowHandle> SentMessagesHandle{0};

namespace {
// The report window a refresh is queued for, or 0. Named by handle: a
// report closed with a refresh queued drops the event, and the next report
// (a new handle) still gets its refreshes.
std::atomic<TNWindowHandle> g_refreshQueuedFor{0};
}  // namespace

void PostShowPopup(const QString& text, int kind)
{
    PostMessage(HiddenWindowHandle.load(), WM_SHOW_POPUP, 0, kind, text);
}

void PostServerMessage(const QString& text)
{
    PostMessage(HiddenWindowHandle.load(), WM_SERVER_MESSAGE, 0, 0, text);
}

void PostSendDone()
{
    PostMessage(SendBarHandle.load(), WM_SEND_DONE, 0, 0);
}

void PostSendProgress(quint64 batch, int index, int total)
{
    PostMessage(SendBarHandle.load(), WM_SEND_PROGRESS, qint64(batch), ProgressParam(index, total));
}

void PostRefreshSentMessages()
{
    TNWindowHandle target = SentMessagesHandle.load();
    if (target == 0 || g_refreshQueuedFor.exchange(target) == target)
        return;
    if (!PostMessage(target, WM_REFRESH_SENT_MESSAGES, 0, 0))
        g_refreshQueuedFor.compare_exchange_strong(target, 0);
}

void SentMessagesRefreshTaken()
{
    g_refreshQueuedFor = 0;
}
