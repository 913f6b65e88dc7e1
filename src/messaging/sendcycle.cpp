#include "messaging/sendcycle.h"

#include "messaging/messagetable.h"

#include <mutex>

namespace {
struct TCycle {
    std::mutex lock;
    int busy = 0;
    bool open = false;
};

TCycle& Cycle()
{
    static TCycle cycle;
    return cycle;
}

void CountWork(int delta)
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    Cycle().busy += delta;
}
}  // namespace

TNWorkSignal::~TNWorkSignal()
{
    Cancel();
}

void TNWorkSignal::Request()
{
    {
        TNCriticalSectionGuard guard(m_event.Lock());
        if (!m_pending) {
            m_pending = true;
            CountWork(+1);
        }
    }
    m_event.SetEvent();
}

bool TNWorkSignal::Take()
{
    TNCriticalSectionGuard guard(m_event.Lock());
    m_event.ResetEvent();
    const bool had = m_pending;
    m_pending = false;
    return had;
}

bool TNWorkSignal::Cancel()
{
    bool had = false;
    {
        TNCriticalSectionGuard guard(m_event.Lock());
        had = m_pending;
        m_pending = false;
    }
    if (had)
        CountWork(-1);
    return had;
}

void BeginSendCycle(TNWorkSignal& dispatcher)
{
    // The cycle opens with a token of work of its own, so that no check on
    // another thread can close it between the opening and the dispatcher's
    // request; the token is released (with a check) once the request stands.
    {
        std::lock_guard<std::mutex> guard(Cycle().lock);
        Cycle().open = true;
        Cycle().busy += 1;
    }
    dispatcher.Request();
    ReleaseSendWork();
}

void ReleaseSendWork()
{
    CountWork(-1);
    CheckSendDone();
}

void CheckSendDone()
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    if (!Cycle().open || Cycle().busy > 0)
        return;
    Cycle().open = false;
    PostSendDone();
}

int SendWorkInFlight()
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    return Cycle().busy;
}

bool SendCycleOpen()
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    return Cycle().open;
}
