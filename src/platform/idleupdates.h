#pragma once
// Idle-time updates: a handler that runs on the main thread whenever the
// main event queue has gone idle after something happened (the action lists'
// update handlers).
//
// "Something happened" is an event that can change what a handler looks at:
// input, a window being activated or changing state, one of the program's
// timers, a socket, or a posted window message. Queued calls, repaints,
// layout passes, the widgets' own timers (but a button's, which finish a
// click or repeat the input began) and the change notices of actions
// and widgets may all follow from a handler's own work and never count, so a
// handler cannot wake itself up again and an idle program sleeps. The handler
// runs as a queued call of its own (it may post or paint); what it sets off
// while it runs does not count either. The handler stops when Context is destroyed. Main
// thread only; needs the application object.

#include <QObject>
#include <functional>

void OnIdle(QObject* context, std::function<void()> handler);

// Something the handlers read has changed by a queued call that does not count
// by itself (the end of a worker thread's job taken in on the main thread):
// the handlers run once more when the queue is next idle. Main thread only.
void NoteIdleActivity();

// How many idle handlers have run in this process so far (for tests and
// benchmarks).
long long IdleHandlerRuns();
