#pragma once
// Posted window messages: WM_USER + n travels as a Qt event of type
// QEvent::User + n to a receiving object on the main thread.
//
// A receiver holds a TNMessageWindow member, which registers it and gives it
// a handle. PostMessage may be called from any thread: it looks the handle up
// and posts the event while holding the registry lock; unregistering takes
// the same lock and ~QObject drops events still queued for the receiver, so a
// message never reaches a freed object. A post to a window that is gone
// returns false. The receiver handles the event in event() or customEvent():
//
//     if (const TNMessageEvent* m = TNMessageEvent::From(e)) { ... m->Msg ... }

#include <QEvent>
#include <QObject>
#include <QString>

constexpr int WM_USER = 0x0400;

using TNWindowHandle = quint64;

class TNMessageEvent : public QEvent {
public:
    TNMessageEvent(int msg, qint64 wParam, qint64 lParam, QString text);

    // The event type that carries message Msg.
    static QEvent::Type TypeOf(int msg) { return static_cast<QEvent::Type>(QEvent::User + (msg - WM_USER)); }
    // The event as a window message, or nullptr for any other event.
    static const TNMessageEvent* From(const QEvent* event);

    const int Msg;
    const qint64 WParam;
    const qint64 LParam;
    const QString Text;  // owned by the event
};

class TNMessageWindow {
public:
    // Registers Owner as a receiver; Owner must outlive this object (make it
    // a member of the owner).
    explicit TNMessageWindow(QObject* owner);
    ~TNMessageWindow();
    TNMessageWindow(const TNMessageWindow&) = delete;
    TNMessageWindow& operator=(const TNMessageWindow&) = delete;

    TNWindowHandle Handle() const { return m_handle; }

private:
    TNWindowHandle m_handle;
};

// Posts a message to the window behind Target; false when there is no such
// window (any more) or Msg is below WM_USER or beyond the user event range.
// Any thread.
bool PostMessage(TNWindowHandle target, int msg, qint64 wParam, qint64 lParam, const QString& text = {});
// Whether Target names a live window. Any thread.
bool IsWindow(TNWindowHandle target);
