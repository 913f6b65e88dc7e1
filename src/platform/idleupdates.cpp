#include "platform/idleupdates.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <memory>

namespace {
long long g_runs = 0;

// Input and the window system's own news about our windows.
bool IsOutsideEvent(QEvent::Type type)
{
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchEnd:
        case QEvent::Drop:
        case QEvent::DragLeave:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
        case QEvent::WindowStateChange:
        case QEvent::ApplicationStateChange:
        case QEvent::Close:
        case QEvent::SockAct:
        case QEvent::SockClose:
            return true;
        default:
            return false;
    }
}

// Counts the events of the main thread that can change what an update
// handler reads. Installed on the application object at the first OnIdle.
class TActivityWatch : public QObject {
public:
    explicit TActivityWatch(QObject* app) : QObject(app) { app->installEventFilter(this); }

    quint64 Generation() const { return m_generation; }
    void Note() { ++m_generation; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (IsActivity(receiver, event->type()))
            ++m_generation;
        return false;
    }

private:
    static bool IsActivity(const QObject* receiver, QEvent::Type type)
    {
        // Posted window messages.
        if (type >= QEvent::User && type <= QEvent::MaxUser)
            return true;
        // The program's timers. The widgets' own timers (a delayed layout of
        // a view, the blinking caret of an edit's text control) follow from
        // changes already made; a button's finish what a key or the mouse
        // began (the click an accelerator makes a moment after its key, the
        // repeat of a held arrow), so they count as that input.
        if (type == QEvent::Timer)
            return receiver->inherits("QAbstractButton") ||
                   (!receiver->isWidgetType() && !receiver->isWindowType() && !receiver->inherits("QInputControl"));
        // Queued calls, repaints, layout requests and change notices are
        // never counted: an update handler may cause any of them.
        return IsOutsideEvent(type);
    }

    quint64 m_generation = 1;
};

TActivityWatch* Watch(QCoreApplication* app)
{
    static QPointer<TActivityWatch> watch;
    if (!watch || watch->parent() != app)
        watch = new TActivityWatch(app);
    return watch;
}

struct IdleHook {
    std::function<void()> handler;
    QPointer<TActivityWatch> watch;
    quint64 ranAt = 0;  // the activity generation the last run saw
    bool scheduled = false;
};
}  // namespace

void NoteIdleActivity()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        Watch(app)->Note();
}

long long IdleHandlerRuns()
{
    return g_runs;
}

void OnIdle(QObject* context, std::function<void()> handler)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !context || !handler)
        return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread());
    if (!dispatcher)
        return;
    auto hook = std::make_shared<IdleHook>();
    hook->handler = std::move(handler);
    hook->watch = Watch(app);

    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, context, [context, hook] {
        const TActivityWatch* watch = hook->watch;
        if (!watch || hook->scheduled || hook->ranAt == watch->Generation())
            return;
        hook->scheduled = true;
        QMetaObject::invokeMethod(
            context,
            [hook] {
                hook->scheduled = false;
                ++g_runs;
                hook->handler();
                // Whatever the handler set off while it ran is its own doing.
                if (hook->watch)
                    hook->ranAt = hook->watch->Generation();
            },
            Qt::QueuedConnection);
    });
}
