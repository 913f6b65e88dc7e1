#include "ui/main/frmembedcontrol.h"

#include "data/dmlocaldata.h"
#include "data/recipients.h"
#include "data/recipientsoutbox.h"
#include "foundation/options.h"
#include "messaging/messagetable.h"
#include "platform/messagedlg.h"
#include "platform/windowmessages.h"
#include "ui/main/frmmessageeditor.h"

#include <QCoreApplication>
#include <QVBoxLayout>

namespace {

// The bar of the running program, for EnableSendButton.
TFormEmbedControl* g_liveBar = nullptr;

bool OptionIsSet(const char* name)
{
    return Options && Options->OptionByName(QString::fromLatin1(name))->AsBool();
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setFixedWidth(95);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TFormEmbedControl::TFormEmbedControl(QWidget* parent)
    : QWidget(parent), m_window(std::make_unique<TNMessageWindow>(this))
{
    setObjectName(QStringLiteral("FormEmbedControl"));
    setProperty("HelpContext", 1020);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::StyledPanel);
    Bevel1->setFrameShadow(QFrame::Sunken);

    btnSend = MakeButton(Bevel1, "btnSend", QStringLiteral("&Send"), QStringLiteral("Send Messages (Alt+S)"));
    btnSend->setFixedHeight(60);
    btnClearRecipients = MakeButton(Bevel1, "btnClearRecipients", QStringLiteral("&Clear All"),
                                    QStringLiteral("Clear Recipients (Alt+C)"));
    btnClearMessageText = MakeButton(Bevel1, "btnClearMessageText", QStringLiteral("Clear &Text"),
                                     QStringLiteral("Clear Message Text (Alt+T)"));
    btnExit =
        MakeButton(Bevel1, "btnExit", QStringLiteral("E&xit"), QStringLiteral("Exit Tovix - (Alt+X) or (Alt+F4)"));

    auto* inner = new QVBoxLayout(Bevel1);
    inner->setContentsMargins(7, 7, 7, 7);
    inner->addWidget(btnSend);
    inner->addWidget(btnClearRecipients);
    inner->addWidget(btnClearMessageText);
    inner->addStretch(1);
    inner->addWidget(btnExit);

    // Bevel1 sits 4 pixels from the left, 109 wide; the pane is its left +
    // its width + 4.
    Bevel1->setFixedWidth(109);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addWidget(Bevel1);
    setFixedWidth(4 + 109 + 4);

    connect(btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
    connect(btnClearRecipients, &QPushButton::clicked, this, [this] { btnClearRecipientsClick(); });
    connect(btnClearMessageText, &QPushButton::clicked, this, [this] { btnClearMessageTextClick(); });
    connect(btnExit, &QPushButton::clicked, this, [this] { btnExitClick(); });

    g_liveBar = this;
    SendBarHandle = m_window->Handle();
}

TFormEmbedControl::~TFormEmbedControl()
{
    if (g_liveBar == this)
        g_liveBar = nullptr;
    TNWindowHandle mine = m_window->Handle();
    SendBarHandle.compare_exchange_strong(mine, 0);
}

quint64 TFormEmbedControl::Handle() const
{
    return m_window->Handle();
}

void TFormEmbedControl::btnSendClick()
{
    if (!btnSend->isEnabled())
        return;
    if (!RecipientList || RecipientList->GetCount() == 0) {
        MessageDlg(QStringLiteral("Can't send the message - no Recipients specified."), TMsgDlgType::mtWarning, mbOK);
        return;
    }
    TFormMessageEditor* editor = m_links.Editor;
    if (!editor || editor->MessageLength() == 0) {
        if (!OptionIsSet("AllowSendingEmptyMessages")) {
            MessageDlg(QStringLiteral("Can't send an empty message ! No messages sent.\r\r(Change this option in "
                                      "\"Options|Message Editor\" to enable sending empty messages)"),
                       TMsgDlgType::mtWarning, mbOK);
            return;
        }
        if (OptionIsSet("WarnOnEmptyMessages"))
            MessageDlg(QStringLiteral("Warning - EMPTY message is being sent."), TMsgDlgType::mtInformation, mbOK);
    }
    // Nothing goes out that could not be kept on record: the out-box and the
    // log must be writable now, or the operator reads why.
    if (DModLocalData) {
        const QString problem = DModLocalData->OutBoxWriteProblem();
        if (!problem.isEmpty()) {
            MessageDlg(SendRefusedText(problem), TMsgDlgType::mtError, mbOK);
            return;
        }
    }
    btnSend->setEnabled(false);
    TNQueueResult queued;
    bool failed = false;
    bool queuing = true;  // a failure until the rows are queued leaves nothing queued
    try {
        QString text;
        if (editor)
            editor->GetMessageTextForSending(text);
        // Recipients the same text has already reached are paged again only
        // on the operator's word: after a send cut short, No pages each
        // pager once; a deliberate repeat is Yes.
        queued = SaveMessagesToOutBox(text, RecipientList->Recipients(), [&text](const QStringList& reached) {
            return MessageDlg(PageAgainQuestion(text, reached), TMsgDlgType::mtConfirmation, mbYes | mbNo, mbNo) ==
                   mbYes;
        });
        queuing = false;
        if (!queued.Pending) {
            btnSend->setEnabled(true);  // nothing waits to be sent: no send starts, so no WM_SEND_DONE comes
        } else if (m_links.SendOutBox) {
            btnSend->setEnabled(false);  // a WM_SEND_DONE of the last send may have come during the question
            m_links.SendOutBox();
        }
    } catch (const std::exception& e) {
        // Nothing was handed to the engine, so no WM_SEND_DONE will come:
        // Send must not stay disabled.
        btnSend->setEnabled(true);
        failed = true;
        const QString error = QString::fromLocal8Bit(e.what());
        MessageDlg(queuing ? QueueFailedText(error) : error, TMsgDlgType::mtError, mbOK);
    }
    // Told once the others are on their way, in one notice for the send.
    if (!queued.NotQueued.isEmpty())
        MessageDlg(NotQueuedNotice(queued.NotQueued), TMsgDlgType::mtWarning, mbOK);
    // Send never comes back with nothing sent and nothing said.
    const QString nothingSent = failed ? QString() : NothingSentNotice(queued);
    if (!nothingSent.isEmpty())
        MessageDlg(nothingSent, TMsgDlgType::mtInformation, mbOK);
}

void TFormEmbedControl::btnClearRecipientsClick()
{
    if (RecipientList)
        RecipientList->Clear();
}

void TFormEmbedControl::btnClearMessageTextClick()
{
    if (m_links.Editor)
        m_links.Editor->ClearText();
}

void TFormEmbedControl::btnExitClick()
{
    // Through the main window's close, which asks first what must be asked
    // while the windows are there.
    QWidget* main = window();
    if (main && main != this) {
        main->close();
        return;
    }
    QCoreApplication::quit();
}

void TFormEmbedControl::customEvent(QEvent* event)
{
    const TNMessageEvent* message = TNMessageEvent::From(event);
    if (!message) {
        QWidget::customEvent(event);
        return;
    }
    if (message->Msg == WM_SEND_PROGRESS)
        SendProgress(static_cast<quint64>(message->WParam), TNSendProgress::PositionOf(message->LParam),
                     TNSendProgress::TotalOf(message->LParam));
    else if (message->Msg == WM_SEND_DONE)
        SendDone();
}

void TFormEmbedControl::SendProgress(quint64 key, int position, int total)
{
    m_progress.Report(key, position, total);
    ShowSums();
}

void TFormEmbedControl::ShowSums()
{
    const TNSendProgress::TSums sums = m_progress.Sums();
    const int shownTotal = m_progressTotal;
    m_progressTotal = sums.Total;
    m_progressCurrent = sums.Current;
    if (m_progressTotal > 0) {
        if (m_links.SetSendProgress)
            m_links.SetSendProgress(m_progressCurrent, m_progressTotal);
        return;
    }
    // The last batch in flight ended. A sender holds back the reports of
    // rows that follow each other quickly, so the one that would have shown
    // the full bar may never come: the display completes here instead (full,
    // then emptied), never left on a row the send has passed.
    if (shownTotal > 0 && m_links.SetSendProgress)
        m_links.SetSendProgress(shownTotal, shownTotal);
    AfterLastBatch();
}

void TFormEmbedControl::AfterLastBatch()
{
    if (OptionIsSet("ClearMessageOnSend") && m_links.Editor)
        m_links.Editor->ClearText();
    if (OptionIsSet("ClearRecipientsOnSend")) {
        if (m_links.RemoveAllRecipients)
            m_links.RemoveAllRecipients();
        else if (RecipientList)
            RecipientList->Clear();
    }
}

void TFormEmbedControl::SendDone()
{
    // The engine says no batch is running any more. A batch whose link died
    // before its last row never sent its last report: its entry goes now and
    // the status bar empties, but the end-of-send options do not apply: its
    // rows did not go out, so the text and the recipients stay for the next
    // Send.
    if (!m_progress.IsEmpty()) {
        m_progress.Clear();
        m_progressTotal = 0;
        m_progressCurrent = 0;
        if (m_links.SetSendProgress)
            m_links.SetSendProgress(0, 10);
    }
    btnSend->setEnabled(true);
}

void EnableSendButton()
{
    if (g_liveBar)
        g_liveBar->btnSend->setEnabled(true);
}
