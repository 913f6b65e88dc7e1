#pragma once
// When Send may be enabled again.
//
// A send cycle starts when the operator sends (BeginSendCycle on the main
// thread) and ends with exactly one WM_SEND_DONE to the send bar, posted as
// soon as no send work is running and no accepted row still waits for its
// delivery report. Send work is counted: the dispatcher's pass over the
// out-box and every batch a link was asked for. Rows that were never
// acknowledged, rows that cannot be routed and rows of a link that died do
// not hold the cycle open; they stay in the out-box for the next send.
//
// TNWorkSignal is the wake-up of one worker (the dispatcher, a link's send
// thread): Request marks work pending (counted once however often it is
// requested before it is taken) and wakes the worker; the worker Takes it,
// does it and releases it with ReleaseSendWork. Any thread.

#include "messaging/synchroevent.h"

#include <QSqlDatabase>

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
// dispatcher's pass. Db is the main thread's own connection.
void BeginSendCycle(TNWorkSignal& dispatcher, QSqlDatabase& db);
// Ends one unit of taken work, then checks whether the cycle is over.
void ReleaseSendWork(QSqlDatabase& db);
// Posts WM_SEND_DONE when a cycle is open, no work is counted and no
// accepted row of a live link waits for its report (a row whose link has
// closed will get no report over it). Never call it while holding
// ServersList's lock.
void CheckSendDone(QSqlDatabase& db);
// The message processor has reports in hand (taken from InMessagesList, or
// held for their acknowledgement). While it has, or while InMessagesList
// holds any, the cycle stays open: those reports are about to change the
// out-box. The processor clears it before its own CheckSendDone.
void SetReportsInHand(bool inHand);
// CheckSendDone on the calling thread's own connection to the local
// database, closed again afterwards (a thread that has none open).
void CheckSendDoneOnOwnConnection();
// Units of send work requested and not yet released.
int SendWorkInFlight();
// Whether a cycle is open (Send disabled).
bool SendCycleOpen();
