#pragma once
// When Send may be enabled again.
//
// A send cycle starts when the operator sends (BeginSendCycle on the main
// thread) and ends with exactly one WM_SEND_DONE to the send bar, posted as
// soon as no send work is running. Send work is counted: the dispatcher's
// pass over the out-box and every batch a link was asked for. A batch ends
// once each of its rows has been answered (accepted or refused) or its wait
// has run out, or when its link dies; the dispatcher's pass ends once every
// endpoint is woken or reported as failed. Delivery reports do not hold the
// cycle open: an accepted row stays in the out-box until its report comes
// (servers do lose reports, and a closed connection brings none), and the
// report is applied whenever it arrives.
//
// TNWorkSignal is the wake-up of one worker (the dispatcher, a link's send
// thread): Request marks work pending (counted once however often it is
// requested before it is taken) and wakes the worker; the worker Takes it,
// does it and releases it with ReleaseSendWork. Any thread.

#include "messaging/synchroevent.h"

class TNWorkSignal {
public:
    TNWorkSignal() = default;
    ~TNWorkSignal();
    TNWorkSignal(const TNWorkSignal&) = delete;
    TNWorkSignal& operator=(const TNWorkSignal&) = delete;

    void Request();
    TNSynchroEvent::TResult WaitFor(int timeoutMs) { return m_event.WaitFor(timeoutMs); }
    // Resets the wake-up; true when work was pending, which the caller must
    // then release (ReleaseSendWork) once it is done.
    bool Take();
    // Drops work that will never be taken (the worker is ending) and
    // releases its count; true when there was some (the caller should then
    // CheckSendDone).
    bool Cancel();
    // Wakes the worker without giving it work (to notice a stop request).
    void Wake() { m_event.SetEvent(); }

private:
    TNSynchroEvent m_event;
    bool m_pending = false;
};

// Main thread, when the operator sends: opens the cycle and requests the
// dispatcher's pass.
void BeginSendCycle(TNWorkSignal& dispatcher);
// Ends one unit of taken work, then checks whether the cycle is over.
void ReleaseSendWork();
// Posts WM_SEND_DONE when a cycle is open and no work is counted.
void CheckSendDone();
// Units of send work requested and not yet released.
int SendWorkInFlight();
// Whether a cycle is open (Send disabled).
bool SendCycleOpen();
