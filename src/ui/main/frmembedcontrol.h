#pragma once
// The send bar: the narrow pane at the main window's right edge with Send,
// Clear All, Clear Text and Exit. Send checks the message, disables itself,
// queues the message for the recipients and wakes the sending machinery
// (when nothing waits to be sent, Send is enabled again at once, with a
// notice that says so); the recipients that could not be queued are named in
// one notice, and the operator is asked before recipients the same text has
// already reached are paged again.
// The bar receives the send threads' progress (WM_SEND_PROGRESS) and the
// engine's "nothing is running any more" notice (WM_SEND_DONE), which
// enables Send again.
//
// The bar reaches the other panes through TNSendBarLinks, which the main
// window fills when it embeds them.

#include "ui/main/frmembedcontrolprogress.h"

#include <QFrame>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class TFormMessageEditor;
class TNMessageWindow;

struct TNSendBarLinks {
    TFormMessageEditor* Editor = nullptr;
    // The main window's status-bar progress (SetSendProgress).
    std::function<void(int current, int total)> SetSendProgress;
    // The recipients pane's "Clear All" (actRemoveAll).
    std::function<void()> RemoveAllRecipients;
    // The second step of sending: wake the dispatcher (SendOutBox). Tests
    // may replace it.
    std::function<void()> SendOutBox;
};

class TFormEmbedControl : public QWidget {
    Q_OBJECT
public:
    explicit TFormEmbedControl(QWidget* parent = nullptr);
    ~TFormEmbedControl() override;

    void SetLinks(TNSendBarLinks links) { m_links = std::move(links); }
    // The handle that the send threads and the engine post to.
    quint64 Handle() const;

    const TNSendProgress& Progress() const { return m_progress; }
    int ProgressTotal() const { return m_progressTotal; }
    int ProgressCurrent() const { return m_progressCurrent; }

    void btnSendClick();
    void btnClearRecipientsClick();
    void btnClearMessageTextClick();
    void btnExitClick();

    QPushButton* btnSend = nullptr;
    QPushButton* btnClearRecipients = nullptr;
    QPushButton* btnClearMessageText = nullptr;
    QPushButton* btnExit = nullptr;
    QFrame* Bevel1 = nullptr;

protected:
    void customEvent(QEvent* event) override;

private:
    void SendProgress(quint64 key, int position, int total);
    void SendDone();
    void ShowSums();
    void AfterLastBatch();

    TNSendBarLinks m_links;
    TNSendProgress m_progress;
    int m_progressTotal = 0;
    int m_progressCurrent = 0;
    std::unique_ptr<TNMessageWindow> m_window;
};

// Enables the Send button of the main window's send bar; main thread only
// (worker threads post WM_SEND_DONE instead).
void EnableSendButton();
