#pragma once
// Asking the program to end, from any layer (the class library's
// Application.Terminate).
//
// QCoreApplication::quit() does nothing while the event loop is not running,
// so a request made during start-up (a missing database, a cancelled logon)
// would be lost. TerminateApplication therefore records the request and
// queues a quit; the start-up sequence looks at the record when it starts
// the loop, so the loop ends at its first turn; the start-up logon opened
// after a request closes as cancelled at once. Main thread only.

// Records the request and queues a quit of the application's event loop.
void TerminateApplication();
// True once TerminateApplication has been called (until the next reset).
bool TerminateRequested();
// Forgets an earlier request (start of a run; tests that run several).
void ResetTerminateRequest();
