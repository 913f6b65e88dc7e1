#pragma once
// Reading and replacing a settings file on disk.
//
// TProfileFileLock holds an exclusive lock on the file's folder for its
// lifetime, so that two writers (two objects or two processes) never
// interleave their read-change-write rounds. The lock is taken on the folder,
// which also works where no new file can be made there.

#include <QByteArray>
#include <QString>
#include <optional>

class TProfileFileLock {
public:
    explicit TProfileFileLock(const QString& fileName);
    ~TProfileFileLock();
    TProfileFileLock(const TProfileFileLock&) = delete;
    TProfileFileLock& operator=(const TProfileFileLock&) = delete;

private:
    int m_fd = -1;
};

// The whole file; empty when it does not exist; nothing when it exists but
// cannot be read (writing over it would lose its content).
std::optional<QByteArray> ReadProfileBytes(const QString& fileName);

// Replaces the file with the bytes: through a temporary file beside it, every
// write checked and synced to the disk, and a rename; or, when the folder
// refuses a new file, by writing the existing file in place once the room for
// the new content is taken (a read-only file is refused either way). A write
// that fails (a full disk, a file size limit) leaves the file whole as it was,
// never empty or cut short. A replaced file keeps its permissions; ownerOnly
// makes the file readable and writable by its owner only. False when the file
// could not be written.
bool ReplaceProfileFile(const QString& fileName, const QByteArray& bytes, bool ownerOnly);
