#include "platform/threads.h"

#include <gtest/gtest.h>
#include <atomic>
#include <stdexcept>

namespace {
// Counts loop turns until asked to stop.
class Counter : public TNThread {
public:
    explicit Counter(bool suspended) : TNThread(suspended, QStringLiteral("counter")) {}
    ~Counter() override
    {
        Terminate();
        WaitFor();
    }
    std::atomic<int> turns{0};
    TNEvent running;

protected:
    void Execute() override
    {
        running.SetEvent();
        while (!Terminated())
            ++turns;
    }
};

class Thrower : public TNThread {
public:
    Thrower() : TNThread(true, QStringLiteral("thrower")) {}

protected:
    void Execute() override { throw std::runtime_error("socket closed"); }
};

// Frees itself; tells the test through events it does not own.
class SelfFreeing : public TNThread {
public:
    SelfFreeing(TNEvent* go, std::atomic<bool>* destroyed) : TNThread(true), m_go(go), m_destroyed(destroyed)
    {
        SetFreeOnTerminate(true);
    }
    ~SelfFreeing() override { *m_destroyed = true; }

protected:
    void Execute() override { m_go->WaitFor(-1); }

private:
    TNEvent* m_go;
    std::atomic<bool>* m_destroyed;
};
}  // namespace

TEST(Threads, SuspendedThreadStartsOnceOnResumeAndStopsOnRequest)
{
    Counter thread(true);
    EXPECT_FALSE(thread.Started());
    EXPECT_EQ(thread.running.WaitFor(50), wrTimeout);
    EXPECT_EQ(thread.turns, 0);
    EXPECT_TRUE(thread.WaitFor(0));  // nothing runs, nothing to wait for

    thread.Resume();
    thread.Resume();  // no second start
    EXPECT_EQ(thread.running.WaitFor(5000), wrSignaled);
    EXPECT_FALSE(thread.WaitFor(20));
    EXPECT_FALSE(thread.Finished());
    thread.Terminate();
    EXPECT_TRUE(thread.Terminated());
    EXPECT_TRUE(thread.WaitFor(5000));
    EXPECT_TRUE(thread.Finished());
    EXPECT_GT(thread.turns, 0);
}

TEST(Threads, CreateStartsAThreadThatIsNotSuspended)
{
    std::unique_ptr<Counter> running(TNThread::Create<Counter>(false));
    EXPECT_EQ(running->running.WaitFor(5000), wrSignaled);
    std::unique_ptr<Counter> waiting(TNThread::Create<Counter>(true));
    EXPECT_FALSE(waiting->Started());
    // Destruction stops and joins both.
}

TEST(Threads, AnExceptionInExecuteIsKeptAndReported)
{
    Thrower thread;
    thread.Resume();
    EXPECT_TRUE(thread.WaitFor(5000));
    EXPECT_EQ(thread.ExceptionText(), "socket closed");
}

TEST(Threads, FreeOnTerminateDeletesTheObjectWhenExecuteReturns)
{
    TNEvent go;
    std::atomic<bool> destroyed{false};
    auto* thread = new SelfFreeing(&go, &destroyed);
    thread->Resume();
    EXPECT_FALSE(destroyed);
    go.SetEvent();
    for (int i = 0; i < 500 && !destroyed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(destroyed);  // the sanitizer reports a leak otherwise
}

TEST(Threads, ManualResetEventStaysSignalledUntilReset)
{
    TNEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
    std::thread setter([&] { event.SetEvent(); });
    EXPECT_EQ(event.WaitFor(5000), wrSignaled);
    setter.join();
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(10), wrTimeout);
}

TEST(Threads, LocksGuardSharedCounters)
{
    TNCriticalSection section;
    TNMultiReadExclusiveWriteSynchronizer sync;
    int guarded = 0;
    int written = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                {
                    TNCriticalSectionGuard outer(section);
                    TNCriticalSectionGuard inner(section);  // recursive
                    ++guarded;
                }
                {
                    TNWriteGuard w(sync);
                    ++written;
                }
                TNReadGuard r(sync);
                EXPECT_GE(written, 1);
            }
        });
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(guarded, 8000);
    EXPECT_EQ(written, 8000);
}
