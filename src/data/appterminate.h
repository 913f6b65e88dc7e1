#pragma once
// Asking the application to end from below the window layer: a start-up
// step that cannot go on (a missing database file) asks, and the program ends
// at the first turn of its event loop. The start-up installs the handler;
// without one, a quit is queued to the application object.

#include <functional>

void RequestApplicationTerminate();
// Installs the handler; returns the previous one (empty: the queued quit).
std::function<void()> SetApplicationTerminateHandler(std::function<void()> handler);
