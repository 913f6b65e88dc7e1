#include "messaging/synchroevent.h"

TNSynchroEvent::TNSynchroEvent(bool initialState) : m_event(initialState) {}

void TNSynchroEvent::SetEvent()
{
    TNCriticalSectionGuard guard(m_lock);
    m_event.SetEvent();
}

void TNSynchroEvent::ResetEvent()
{
    TNCriticalSectionGuard guard(m_lock);
    m_event.ResetEvent();
}

TNSynchroEvent::TResult TNSynchroEvent::WaitFor(int timeoutMs)
{
    switch (m_event.WaitFor(timeoutMs)) {
        case wrSignaled:
            return srSignaled;
        case wrTimeout:
            return srTimeout;
        case wrAbandoned:
            return srAbandoned;
        default:
            return srError;
    }
}
