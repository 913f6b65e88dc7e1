#include "messaging/formhidden.h"

#include "foundation/dmoptions.h"
#include "foundation/options.h"
#include "messaging/baseserver.h"
#include "messaging/messagetable.h"
#include "messaging/popupwin.h"
#include "messaging/serverslist.h"
#include "platform/messagedlg.h"

TFormHidden* FormHidden = nullptr;

void ApplyPopupOptions()
{
    if (!Options)
        return;
    if (const TNOption* delay = Options->FindOption(QStringLiteral("PopupWinDelay")))
        PopupWinDelay = delay->AsInteger();
    if (const TNOption* position = Options->FindOption(QStringLiteral("PopupWinPos"))) {
        const int edge = PopupEdgeCode(position->AsInteger());
        if (edge >= 0)
            PopupWinPos = quint8(edge);
    }
}

TFormHidden::TFormHidden(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormHidden"));
    HiddenWindowHandle = m_window.Handle();
    if (!FormHidden)
        FormHidden = this;
}

TFormHidden::~TFormHidden()
{
    TNWindowHandle mine = m_window.Handle();
    HiddenWindowHandle.compare_exchange_strong(mine, 0);
    if (FormHidden == this)
        FormHidden = nullptr;
}

void TFormHidden::customEvent(QEvent* event)
{
    const TNMessageEvent* message = TNMessageEvent::From(event);
    if (!message)
        return QWidget::customEvent(event);
    switch (message->Msg) {
        case WM_SERVER_MESSAGE:
            ShowPopupWin(QStringLiteral("TovixServer Message : \r\r") + message->Text, pkMessage);
            break;
        case WM_SHOW_MESSAGE_BOX:
            ShowMessageBox(message->Text, message->LParam);
            break;
        case WM_SHOW_POPUP:
            ShowPopup(message->Text, message->LParam);
            break;
        case WM_CLOSE_CONNECTION_REQUEST:
            // The link may be gone already: only a listed link is touched,
            // and only the one the request was made for.
            CloseRequestedLink(reinterpret_cast<TBaseServer*>(quintptr(message->WParam)), quint64(message->LParam));
            break;
        case WM_SHOW_MESSAGE:
            ShowMessage(message->Text);
            break;
        default:
            break;
    }
}

void TFormHidden::ShowPopup(const QString& text, qint64 kind)
{
    ApplyPopupOptions();
    ShowPopupWin(text, quint8(kind));
}

void TFormHidden::ShowMessageBox(const QString& text, qint64 icon)
{
    TMessageRequest request;
    request.Text = text;
    request.Caption = QStringLiteral("  Tovix Message");
    request.Buttons = mbOK;
    switch (icon) {
        case 0:
            request.Type = TMsgDlgType::mtWarning;
            break;
        case 1:
            request.Type = TMsgDlgType::mtError;
            break;
        case 2:
            request.Type = TMsgDlgType::mtInformation;
            break;
        case 3:
            request.Type = TMsgDlgType::mtConfirmation;
            break;
        default:
            request.Type = TMsgDlgType::mtCustom;
            break;
    }
    ShowMessageRequest(request);
}
