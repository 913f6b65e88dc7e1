#include "platform/idleupdates.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <memory>

namespace {
// Ready: the next aboutToBlock schedules a run. Scheduled: a run is queued.
// Ran: the handler ran; the next aboutToBlock only moves on to Waiting.
// Waiting: nothing runs until the loop wakes for something else.
enum class IdleState { Ready, Scheduled, Ran, Waiting };

struct IdleHook {
    std::function<void()> handler;
    IdleState state = IdleState::Ready;
};
}  // namespace

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

    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, context, [context, hook] {
        switch (hook->state) {
            case IdleState::Ready:
                hook->state = IdleState::Scheduled;
                QTimer::singleShot(0, context, [hook] {
                    hook->state = IdleState::Ran;
                    hook->handler();
                });
                break;
            case IdleState::Ran:
                hook->state = IdleState::Waiting;
                break;
            case IdleState::Scheduled:
            case IdleState::Waiting:
                break;
        }
    });
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, context, [hook] {
        if (hook->state == IdleState::Waiting)
            hook->state = IdleState::Ready;
    });
}
