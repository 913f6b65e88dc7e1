#pragma once
// TNSynchroEvent: a manual-reset event whose set and reset run under a
// critical section, so a waker and a taker that resets before it reads the
// shared state never lose a wake-up. Waiting takes no lock. Any thread.

#include "platform/threads.h"

class TNSynchroEvent {
public:
    // Wait results.
    enum TResult { srSignaled = 0, srTimeout = 1, srAbandoned = 2, srError = 3 };

    explicit TNSynchroEvent(bool initialState = false);
    TNSynchroEvent(const TNSynchroEvent&) = delete;
    TNSynchroEvent& operator=(const TNSynchroEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    TResult WaitFor(int timeoutMs);
    // The lock around set and reset, for callers that change shared state
    // together with the event.
    TNCriticalSection& Lock() { return m_lock; }

private:
    TNEvent m_event;
    TNCriticalSection m_lock;
};
