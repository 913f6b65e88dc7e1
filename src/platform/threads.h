#pragma once
// Threads and synchronisation in the class library's manner.
//
// TNThread: derive and implement Execute(), which tests Terminated() in its
// loop. A thread is started once by Resume() (or at creation through
// TNThread::Create<T>() when not created suspended: a base constructor
// cannot start a body whose class is not built yet). The destructor asks
// the thread to stop and waits for it; a derived class whose Execute uses
// its own members calls Terminate() and WaitFor() in its own destructor,
// before those members go. With FreeOnTerminate the object deletes itself
// when Execute returns; then nobody else may delete it. An exception that
// escapes Execute is caught, kept in ExceptionText() and reported with
// qWarning; it never ends the process.

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// A manual-reset event: stays signalled until reset. Any thread.
class TNEvent {
public:
    explicit TNEvent(bool initiallySignalled = false) : m_set(initiallySignalled) {}
    TNEvent(const TNEvent&) = delete;
    TNEvent& operator=(const TNEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    // Waits up to Ms milliseconds (-1: without limit).
    TWaitResult WaitFor(int ms);
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set;
};

// A recursive lock.
class TNCriticalSection {
public:
    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    bool TryEnter() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// Many readers or one writer, writers first: once a writer waits, new
// readers wait behind it, so a stream of readers on worker threads can never
// starve the main thread's writes. Not re-entrant: a thread that holds it
// must not take it again.
class TNMultiReadExclusiveWriteSynchronizer {
public:
    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_readers = 0;
    int m_waitingWriters = 0;
    bool m_writing = false;
};

// Holds a lock from construction to destruction.
template <class Lock, void (Lock::*Take)(), void (Lock::*Release)()>
class TNScopedLock {
public:
    explicit TNScopedLock(Lock& lock) : m_lock(lock) { (m_lock.*Take)(); }
    ~TNScopedLock() { (m_lock.*Release)(); }
    TNScopedLock(const TNScopedLock&) = delete;
    TNScopedLock& operator=(const TNScopedLock&) = delete;

private:
    Lock& m_lock;
};

using TNCriticalSectionGuard = TNScopedLock<TNCriticalSection, &TNCriticalSection::Enter, &TNCriticalSection::Leave>;
using TNReadGuard =
    TNScopedLock<TNMultiReadExclusiveWriteSynchronizer, &TNMultiReadExclusiveWriteSynchronizer::BeginRead,
                 &TNMultiReadExclusiveWriteSynchronizer::EndRead>;
using TNWriteGuard =
    TNScopedLock<TNMultiReadExclusiveWriteSynchronizer, &TNMultiReadExclusiveWriteSynchronizer::BeginWrite,
                 &TNMultiReadExclusiveWriteSynchronizer::EndWrite>;

class TNThread {
public:
    explicit TNThread(bool createSuspended, QString name = {});
    virtual ~TNThread();
    TNThread(const TNThread&) = delete;
    TNThread& operator=(const TNThread&) = delete;

    // Makes a T and, when it was not created suspended, starts it.
    template <class T, class... Args>
    static T* Create(Args&&... args)
    {
        T* thread = new T(std::forward<Args>(args)...);
        if (!thread->m_createSuspended)
            thread->Resume();
        return thread;
    }

    // Starts the thread; later calls do nothing.
    void Resume();
    // Asks Execute to stop (sets the flag it tests).
    void Terminate() { m_terminated = true; }
    bool Terminated() const { return m_terminated; }
    // Waits until Execute has returned (-1: without limit); true when it has
    // or the thread never started. Not from the thread itself.
    bool WaitFor(int timeoutMs = -1);
    bool Started() const;
    bool Finished() const { return m_finishedEvent.IsSet(); }
    // Set before Resume.
    void SetFreeOnTerminate(bool value) { m_freeOnTerminate = value; }
    bool FreeOnTerminate() const { return m_freeOnTerminate; }
    QString Name() const { return m_name; }
    // The text of an exception that escaped Execute; empty when none did.
    QString ExceptionText() const;

protected:
    virtual void Execute() = 0;

private:
    void Run();

    const bool m_createSuspended;
    const QString m_name;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_freeOnTerminate{false};
    mutable std::mutex m_mutex;  // guards m_thread, m_started, m_exceptionText
    std::thread m_thread;
    bool m_started = false;
    QString m_exceptionText;
    TNEvent m_finishedEvent;
};
