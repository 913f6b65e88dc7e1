#include "ui/admin/doorexchangehold.h"

#include "data/doorexchange.h"
#include "messaging/popupwin.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>

namespace {
QPointer<TDoorExchange>& Running()
{
    static QPointer<TDoorExchange> running;
    return running;
}

QStatusBar* MainStatusBar()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(widget))
            if (auto* bar = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly))
                return bar;
    return nullptr;
}

// Holds back input to every window of the program while a talk runs.
class TInputHold : public QObject {
public:
    explicit TInputHold(TDoorExchange* exchange) : QObject(exchange), m_exchange(exchange) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_exchange->IsTalking() || !watched->isWidgetType())
            return false;
        // A popup's own timer closes and frees it, and a click only sends it
        // away: nothing the talk relies on. Held, it would stay for good.
        if (qobject_cast<TPopupWin*>(watched))
            return false;
        switch (event->type()) {
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                    m_exchange->Cancel();
                return true;
            case QEvent::Close:
                event->ignore();
                return true;
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::Drop:
            case QEvent::TouchBegin:
                return true;
            default:
                return false;
        }
    }

private:
    TDoorExchange* m_exchange;
};
}  // namespace

TDoorExchange* RunningDoorExchange()
{
    return Running();
}

TDoorExchange* BeginDoorExchange(const QString& statusText)
{
    if (Running())
        return nullptr;
    // Owned by the application, so that a quit in the middle still cancels
    // and joins the talk before the program ends.
    auto* exchange = new TDoorExchange(TDoorExchange::TMode::Threaded, qApp);
    Running() = exchange;
    qApp->installEventFilter(new TInputHold(exchange));
    QObject::connect(exchange, &TDoorExchange::TalkingChanged, exchange, [](bool talking) {
        if (talking)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    if (QStatusBar* bar = MainStatusBar())
        bar->showMessage(statusText + QStringLiteral(" (Esc cancels)"));
    return exchange;
}

void EndDoorExchange(TDoorExchange* exchange)
{
    if (QStatusBar* bar = MainStatusBar())
        bar->clearMessage();
    for (QObject* child : exchange->children())
        if (auto* hold = dynamic_cast<TInputHold*>(child))
            qApp->removeEventFilter(hold);
    if (Running() == exchange)
        Running() = nullptr;
    exchange->deleteLater();
}
