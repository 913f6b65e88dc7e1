#include "platform/idleupdates.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <thread>

namespace {
void RunLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

TEST(IdleUpdates, RunsWhenIdleWithoutSpinningAndStopsWithItsContext)
{
    auto context = std::make_unique<QObject>();
    int runs = 0;
    OnIdle(context.get(), [&] { ++runs; });
    EXPECT_EQ(runs, 0);  // never at once
    RunLoopFor(200);
    EXPECT_GE(runs, 1);
    // An idle loop woken only by a few timers runs the handler a few times,
    // not thousands of times.
    EXPECT_LT(runs, 50);

    // Activity brings another run.
    const int before = runs;
    QObject poster;
    QTimer::singleShot(20, &poster, [] {});
    RunLoopFor(100);
    EXPECT_GT(runs, before);

    context.reset();
    const int atDestruction = runs;
    RunLoopFor(50);
    EXPECT_EQ(runs, atDestruction);
}

TEST(IdleUpdates, AHandlerThatPostsAndRepaintsCannotKeepTheLoopAwake)
{
    // A handler that changes a shown widget and posts a queued call on every
    // run: what it sets off is delivered, but never counts as a reason to
    // run again.
    QObject context;
    QWidget window;
    window.show();
    int runs = 0;
    int posted = 0;
    OnIdle(&context, [&] {
        ++runs;
        window.setWindowTitle(QString::number(runs));
        window.update();
        QMetaObject::invokeMethod(
            &context, [&] { ++posted; }, Qt::QueuedConnection);
    });
    RunLoopFor(500);
    EXPECT_GE(runs, 1);
    EXPECT_GE(posted, 1);
    EXPECT_LE(runs, 3);
    EXPECT_LE(IdleHandlerRuns(), 1000);
}

TEST(IdleUpdates, AQueuedCallCountsOnlyWhenItNotesActivity)
{
    QObject context;
    int runs = 0;
    OnIdle(&context, [&] { ++runs; });
    // Runs the loop until a worker's queued call ends it, after a queued call
    // that may note activity: nothing in it counts by itself.
    const auto quietLoop = [&](bool note) {
        QEventLoop loop;
        std::thread worker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            QMetaObject::invokeMethod(
                &context,
                [note] {
                    if (note)
                        NoteIdleActivity();
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
    };
    RunLoopFor(50);
    quietLoop(false);  // takes in the run the timer above brought
    const int settled = runs;
    quietLoop(false);
    EXPECT_EQ(runs, settled);
    quietLoop(true);
    EXPECT_EQ(runs, settled + 1);
}

TEST(IdleUpdates, AButtonsDelayedClickCountsAsTheKeyThatStartedIt)
{
    // An accelerator (Alt+letter) clicks a check box a moment after the key,
    // on the button's own timer: the next run sees what the click changed,
    // so an OK that depends on it is enabled without further input.
    QObject context;
    QCheckBox box(QStringLiteral("&Option"));
    box.show();
    bool seen = false;
    OnIdle(&context, [&] { seen = box.isChecked(); });
    RunLoopFor(200);
    EXPECT_FALSE(seen);
    box.animateClick();
    RunLoopFor(500);
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(seen);
}
