#include "messaging/messagetable.h"

std::atomic<TNWindowHandle> HiddenWindowHandle{0};
std::atomic<TNWindowHandle> SendBarHandle{0};
std::atomic<TNWindowHandle> SentMessagesHandle{0};

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
    PostMessage(SentMessagesHandle.load(), WM_REFRESH_SENT_MESSAGES, 0, 0);
}
