#pragma once
// Waiting helpers of the GUI tests.
//
// WaitUntil runs real event-loop slices (which block and so let the idle-time
// action updates run; QTest::qWaitFor never blocks) until the condition holds.
// WhenModal runs an action once a modal dialog of the given class is up
// (checked every 10 ms, given up after 10 s).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

template <class Dialog>
void WhenModal(std::function<void(Dialog*)> action, int triesLeft = 1000)
{
    QTimer::singleShot(10, qApp, [action = std::move(action), triesLeft]() mutable {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            action(dialog);
            return;
        }
        if (triesLeft > 0)
            WhenModal<Dialog>(std::move(action), triesLeft - 1);
    });
}
