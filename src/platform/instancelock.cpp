#include "platform/instancelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>

TInstanceLock::~TInstanceLock()
{
    Release();
}

TInstanceLockState TInstanceLock::TryLock(const QString& path)
{
    if (Held())
        return TInstanceLockState::Held;
    const QByteArray name = QFile::encodeName(path);
    // Read access is enough for the lock, so a copy run by another user who
    // may read the file still meets the lock of the copy that made it.
    const int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return TInstanceLockState::Unavailable;
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool elsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return elsewhere ? TInstanceLockState::HeldElsewhere : TInstanceLockState::Unavailable;
    }
    m_fd = fd;
    return TInstanceLockState::Held;
}

void TInstanceLock::Release()
{
    if (m_fd < 0)
        return;
    // Closing the last descriptor of the open file drops the lock.
    ::close(m_fd);
    m_fd = -1;
}

QString InstanceLockPath(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("Tovix2.lock"));
}

QString FallbackInstanceLockPath(const QString& programFolder)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray key = QDir(programFolder).absolutePath().toUtf8();
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    return QDir(folder).filePath(QStringLiteral("Tovix2-%1.lock").arg(hash));
}
