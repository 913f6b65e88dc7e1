#pragma once
// Starting a send, and the messaging engine's start and end.
//
// Main thread only.

#include <QString>

// Wakes the send machinery after the out-box was filled: makes sure the
// installation has its AppID, copies the option values the send threads use,
// makes the message processor on first use, opens a send cycle (Send stays
// disabled until WM_SEND_DONE) and wakes the dispatcher, resuming it the
// first time.
void SendOutBox();

// Program start, before any window: the suspended dispatcher (ServersList
// and InMessagesList exist from program load).
void StartMessaging();
// Shut-down, before the data modules go: stops and joins the dispatcher,
// the message processor's thread and every link's threads, frees the links
// and the open popups. Safe to call more than once. Each wait is bounded,
// and all of them together by TimeoutMs (-1: only each by its own bound);
// false when a thread did not end in time: what it uses is left alone, and
// the modules must not be destroyed under it.
bool StopMessaging(int timeoutMs = -1);

// The option values the send threads will use, as of now (for tests and for
// SendOutBox): the local database file of the local data module and the
// host's own address.
void PublishCurrentSendSettings();
// Stands in for the host's own address (tests on machines whose name
// resolves to loopback); an empty text restores the looked-up address.
void SetLocalIpAddress(const QString& address);
