#pragma once
// What the program keeps when it closes, and telling what of it failed.
//
// Close steps: objects that store something when the program closes (window
// placement, the open folders, the options, caches) register a step with
// OnProgramClose. The shut-down runs the steps of the owners still alive
// (RunCloseSteps), last registered first, while every window still exists,
// so nothing has to be stored, and no failure told, from a destructor. A
// step that throws is reported (its own text) and the others still run.
//
// Failures: ReportCloseFailure is the one way to tell a failure of storing
// something where no box may be shown (a destructor, a worker thread, the
// shut-down). While a TCloseReport exists the texts are gathered, each once,
// and its Tell shows them all in one error box before the windows go, or
// writes them to standard error when no window can be shown. Without one, a
// failure on the main thread while the event loop runs is shown in a box
// from the loop once the caller has returned; any other goes to standard
// error. ReportCloseFailure may be called from any thread; the rest is main
// thread only.

#include <QString>
#include <QStringList>
#include <functional>

class QObject;

// Registers Step for Owner; it is forgotten when Owner is destroyed.
void OnProgramClose(QObject* owner, std::function<void()> step);
// Runs every registered step once (each is forgotten as it runs).
void RunCloseSteps();

void ReportCloseFailure(const QString& text);

class TCloseReport {
public:
    TCloseReport();
    // Tells what is still untold, on standard error.
    ~TCloseReport();
    TCloseReport(const TCloseReport&) = delete;
    TCloseReport& operator=(const TCloseReport&) = delete;

    // The texts gathered so far, in order.
    QStringList Texts() const;
    // Tells the gathered texts once: one error box when WindowsCanShow, else
    // standard error. Later failures go to standard error at once.
    void Tell(bool windowsCanShow);
};
