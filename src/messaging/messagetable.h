#pragma once
// The program's private window messages and the receivers the messaging
// engine posts them to. Worker threads never touch a window: they post these
// (platform/windowmessages.h), and the main thread acts on them.
//
// | message                       | receiver          | wParam            | lParam                       |
// | WM_SERVER_MESSAGE (+100)      | hidden window     | 0 (text attached) | 0                            |
// | WM_SHOW_MESSAGE_BOX (+101)    | hidden window     | 0 (text attached) | icon 0..3                    |
// | WM_SEND_PROGRESS (+102)       | send bar          | the sending batch | index (low 16), total (high) |
// | WM_REFRESH_SENT_MESSAGES (+102)| sent-messages report | 0              | 0                            |
// | WM_SHOW_POPUP (+103)          | hidden window     | 0 (text attached) | popup kind                   |
// | WM_SEND_DONE (+103)           | send bar          | 0                 | 0                            |
// | WM_CLOSE_CONNECTION_REQUEST (+110) | hidden window | the link         | 0                            |
// | WM_SHOW_MESSAGE (+111)        | hidden window     | 0 (text attached) | 0                            |
//
// WM_SEND_PROGRESS comes a few times a second per batch (sendprogress.h).
// A text travels as the event's own copy. The receivers register their
// window handles here when they are made and clear them when they go; a
// post to a handle of 0 or to a window that is gone does nothing.

#include "platform/windowmessages.h"

#include <QString>
#include <atomic>

constexpr int WM_SERVER_MESSAGE = WM_USER + 100;
constexpr int WM_SHOW_MESSAGE_BOX = WM_USER + 101;
constexpr int WM_SEND_PROGRESS = WM_USER + 102;
constexpr int WM_REFRESH_SENT_MESSAGES = WM_USER + 102;
constexpr int WM_SHOW_POPUP = WM_USER + 103;
constexpr int WM_SEND_DONE = WM_USER + 103;
constexpr int WM_CLOSE_CONNECTION_REQUEST = WM_USER + 110;
constexpr int WM_SHOW_MESSAGE = WM_USER + 111;

// The hidden message window (set by TFormHidden).
extern std::atomic<TNWindowHandle> HiddenWindowHandle;
// The send bar: receives WM_SEND_PROGRESS and WM_SEND_DONE.
extern std::atomic<TNWindowHandle> SendBarHandle;
// The sent-messages report while it is open: receives WM_REFRESH_SENT_MESSAGES.
extern std::atomic<TNWindowHandle> SentMessagesHandle;

// Posting helpers, any thread.
void PostShowPopup(const QString& text, int kind);
void PostServerMessage(const QString& text);
void PostSendDone();
void PostSendProgress(quint64 batch, int index, int total);
// Posts WM_REFRESH_SENT_MESSAGES unless one is still queued for the open
// report: a refresh reads the whole log, so one queued at a time is enough.
// The report calls SentMessagesRefreshTaken as it starts a refresh, so a
// write after that point posts the next one and the last state is shown.
void PostRefreshSentMessages();
void SentMessagesRefreshTaken();

// The progress parameter: Index in the low 16 bits, Total in the high 16.
inline qint64 ProgressParam(int index, int total)
{
    return qint64((quint32(total & 0xFFFF) << 16) | quint32(index & 0xFFFF));
}
