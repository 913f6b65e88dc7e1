#include "platform/profilefiledisk.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

TProfileFileLock::TProfileFileLock(const QString& fileName)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    m_fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        return;  // a missing folder: the write that follows fails anyway
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

TProfileFileLock::~TProfileFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<QByteArray> ReadProfileBytes(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? std::nullopt : std::optional<QByteArray>(QByteArray());
    return file.readAll();
}

bool ReplaceProfileFile(const QString& fileName, const QByteArray& bytes, bool ownerOnly)
{
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Narrowed before the first byte is written. A file written in place
    // that belongs to someone else cannot be narrowed; it keeps its mode.
    if (ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.write(bytes) == bytes.size() && file.commit();
}
