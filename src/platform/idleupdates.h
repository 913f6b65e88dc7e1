#pragma once
// Idle-time updates: a handler that runs on the main thread whenever the
// main event queue has gone idle (the action lists' update handlers).
//
// The dispatcher's aboutToBlock signal starts a zero-time single shot, so
// the handler itself runs as an ordinary event and may post or paint. Runs
// are coalesced: after a run the handler waits until something else has woken
// the event loop, so an idle program does not spin. The handler stops when
// Context is destroyed. Main thread only; needs the application object.

#include <QObject>
#include <functional>

void OnIdle(QObject* context, std::function<void()> handler);
