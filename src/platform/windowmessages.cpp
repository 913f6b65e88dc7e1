#include "platform/windowmessages.h"

#include <QCoreApplication>
#include <QHash>
#include <mutex>

namespace {
struct Registry {
    std::mutex lock;
    QHash<TNWindowHandle, QObject*> windows;
    TNWindowHandle lastHandle = 0;
};

// Never destroyed: posts from threads that outlive static destruction still
// find a valid (empty) registry.
Registry& Windows()
{
    static Registry* registry = new Registry;
    return *registry;
}
}  // namespace

TNMessageEvent::TNMessageEvent(int msg, qint64 wParam, qint64 lParam, QString text)
    : QEvent(TypeOf(msg)), Msg(msg), WParam(wParam), LParam(lParam), Text(std::move(text))
{
}

const TNMessageEvent* TNMessageEvent::From(const QEvent* event)
{
    if (!event || event->type() < QEvent::User || event->type() > QEvent::MaxUser)
        return nullptr;
    return dynamic_cast<const TNMessageEvent*>(event);
}

TNMessageWindow::TNMessageWindow(QObject* owner)
{
    Registry& r = Windows();
    std::lock_guard guard(r.lock);
    m_handle = ++r.lastHandle;
    r.windows.insert(m_handle, owner);
}

TNMessageWindow::~TNMessageWindow()
{
    Registry& r = Windows();
    std::lock_guard guard(r.lock);
    r.windows.remove(m_handle);
}

bool PostMessage(TNWindowHandle target, int msg, qint64 wParam, qint64 lParam, const QString& text)
{
    if (msg < WM_USER || msg - WM_USER > QEvent::MaxUser - QEvent::User)
        return false;
    Registry& r = Windows();
    std::lock_guard guard(r.lock);
    QObject* receiver = r.windows.value(target, nullptr);
    if (!receiver)
        return false;
    QCoreApplication::postEvent(receiver, new TNMessageEvent(msg, wParam, lParam, text));
    return true;
}

bool IsWindow(TNWindowHandle target)
{
    Registry& r = Windows();
    std::lock_guard guard(r.lock);
    return r.windows.contains(target);
}
