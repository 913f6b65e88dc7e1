#pragma once
// What the program's windows do while a shared address book talks to its
// server's remote data door (TDoorExchange, threaded): they go on painting,
// moving and resizing, but input to them is held back so that nothing the
// exchange relies on changes under it (no second exchange, no edit, no close
// of the window the exchange was started from); Esc cancels the talk. The
// main window's status bar says what is going on, and the cursor shows the
// wait. Between talks (a reconcile dialog of an apply) input goes through.
// Popups are not held: they close by their own timer or a click.
// Main thread only.

#include <QString>

class TDoorExchange;

// A new threaded exchange held as above, owned by the application until
// EndDoorExchange; nullptr while another one runs.
TDoorExchange* BeginDoorExchange(const QString& statusText);
// Lets input through again and frees the exchange once its last call
// returned.
void EndDoorExchange(TDoorExchange* exchange);
// The exchange running now, if any.
TDoorExchange* RunningDoorExchange();
