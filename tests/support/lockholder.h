#pragma once
// Another running copy of the program, for the tests of the one-copy rule:
// a child process (the test program itself, started with
// "--hold-instance-lock PATH") that takes the instance lock on PATH, says so
// and holds it until its standard input closes or it is killed.
#include <QProcess>
#include <QString>

class LockHolderProcess {
public:
    LockHolderProcess() = default;
    ~LockHolderProcess();
    LockHolderProcess(const LockHolderProcess&) = delete;
    LockHolderProcess& operator=(const LockHolderProcess&) = delete;

    // Starts the child and waits until it holds the lock; false when it
    // could not take it.
    bool Start(const QString& lockPath);
    // Ends the child as a crash does (SIGKILL) and waits for it.
    void Kill();
    // Ends the child normally (its standard input closes) and waits for it.
    void Stop();

private:
    QProcess m_process;
};

// The child's side: returns the exit code of the test program. Called by the
// test entry point when the switch is given.
int RunLockHolder(const QString& lockPath);
