#pragma once
// TFormHidden: the window that is never shown and receives the messaging
// engine's posted window messages (messagetable.h) on the main thread:
// popups, server broadcasts, message boxes and the closing of links the
// server asked to close. A message that carries a link acts only while the
// link is still listed.

#include "platform/windowmessages.h"

#include <QWidget>

class TFormHidden : public QWidget {
    Q_OBJECT
public:
    explicit TFormHidden(QWidget* parent = nullptr);
    ~TFormHidden() override;

    TNWindowHandle Handle() const { return m_window.Handle(); }

protected:
    void customEvent(QEvent* event) override;

private:
    void ShowPopup(const QString& text, qint64 kind);
    void ShowMessageBox(const QString& text, qint64 icon);

    TNMessageWindow m_window{this};
};

// The one hidden window, made at start-up after the main window.
extern TFormHidden* FormHidden;

// The popup edge code of the option PopupWinPos and the delay of the option
// PopupWinDelay are put into effect (what WM_SHOW_POPUP does first).
void ApplyPopupOptions();
