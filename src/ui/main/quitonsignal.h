#pragma once
// Ends the program in order when the desktop session or a terminal asks it
// to (SIGTERM, SIGINT, SIGHUP): the request reaches the main thread through
// a socket pair and becomes TerminateApplication, so the windows save their
// placement and the options are written as on a normal close. A second
// signal while the first is still pending ends the process at once.
// One object at a time; made and destroyed on the main thread.

#include <QObject>

class QSocketNotifier;

class TQuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit TQuitOnSignal(QObject* parent = nullptr);
    ~TQuitOnSignal() override;

private:
    void SignalArrived();

    QSocketNotifier* m_notifier = nullptr;
};
