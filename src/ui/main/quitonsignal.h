#pragma once
// Ends the program in order when the desktop session or a terminal asks it
// to (SIGTERM, SIGINT, SIGHUP): the request reaches the main thread through
// a socket pair and becomes TerminateApplication, so the windows save their
// placement and the options are written as on a normal close. A box or
// dialog open at that moment (a start-up message, before the event loop
// runs) closes as cancelled, and so does any that opens afterwards, so that
// one signal is enough to end the program. A second signal much later than
// the first means the orderly way is stuck: it ends the process at once.
// One object at a time; made and destroyed on the main thread.

#include <QObject>

class QSocketNotifier;

// True once a signal asked the program to end: nobody may be there to
// answer a box.
bool QuitSignalArrived();

class TQuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit TQuitOnSignal(QObject* parent = nullptr);
    ~TQuitOnSignal() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SignalArrived();

    QSocketNotifier* m_notifier = nullptr;
};
