#include "platform/profilefiledisk.h"

#include "platform/durablefile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
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

namespace {
bool WriteAllAt(int fd, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t written = ::pwrite(fd, data + done, size_t(size - done), off_t(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// Writes the existing file over, for a folder that refuses new files. The
// room for the new content is taken first: a full disk or a file size limit
// refuses it there, while the file still holds its old content. Shorter
// content is cut to size only once it is all written.
bool WriteInPlace(const QString& fileName, const QByteArray& bytes, bool ownerOnly)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A file that belongs to someone else cannot be narrowed; it keeps its mode.
    if (ownerOnly)
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    struct stat old {};
    bool ok = ::fstat(fd, &old) == 0;
    if (ok && bytes.size() > old.st_size)
        ok = ::posix_fallocate(fd, 0, off_t(bytes.size())) == 0;
    ok = ok && WriteAllAt(fd, bytes.constData(), bytes.size()) && ::ftruncate(fd, off_t(bytes.size())) == 0 &&
         ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}
}  // namespace

bool ReplaceProfileFile(const QString& fileName, const QByteArray& bytes, bool ownerOnly)
{
    const QFileInfo info(fileName);
    const auto content = [&](QIODevice& out) { return out.write(bytes) == bytes.size(); };
    if (ReplaceFileDurably(fileName, content, nullptr, ownerOnly ? int(S_IRUSR | S_IWUSR) : -1))
        return true;
    // Only a folder that refuses the new file makes the old one be written
    // over; any other failure (no room, a size limit) leaves it as it was.
    return info.exists() && !QFileInfo(info.absolutePath()).isWritable() && WriteInPlace(fileName, bytes, ownerOnly);
}
