#pragma once
// One running copy of the program per program folder.
//
// TInstanceLock holds an exclusive advisory lock (flock) on a lock file for
// as long as it exists. The kernel drops the lock when the process ends in
// any way, so a copy that crashed or was killed never keeps the next one from
// starting; the file itself stays behind and means nothing on its own. The
// descriptor is closed on exec, so a program started from this one (a help
// viewer, say) never inherits the lock. Main thread only.
#include <QString>

enum class TInstanceLockState {
    Held,           // this object holds the lock
    HeldElsewhere,  // another process holds it
    Unavailable     // the lock file cannot be opened or locked at all
};

class TInstanceLock {
public:
    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // Takes the lock on the file at path (made when missing) without
    // waiting. An object that holds a lock already keeps it.
    TInstanceLockState TryLock(const QString& path);
    bool Held() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};

// "Tovix2.lock" in the program folder, where the databases are.
QString InstanceLockPath(const QString& programFolder);
// Used when the program folder cannot hold the lock file: the user's runtime
// folder (else the temporary folder), named after the program folder so that
// copies installed in other folders do not meet.
QString FallbackInstanceLockPath(const QString& programFolder);
