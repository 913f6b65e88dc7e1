#include "platform/durablefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>

namespace {
bool Fail(QString* errorText, const QString& what, int error)
{
    if (errorText)
        *errorText = what + QStringLiteral(": ") + qt_error_string(error);
    return false;
}

bool WriteAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// The rename is durable only once the folder's entry is on the disk; a
// folder that cannot be synced (some file systems refuse) does not make the
// replacement fail: the new content is in place either way.
void SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
}  // namespace

bool ReplaceFileDurably(const QString& fileName, const QByteArray& bytes, QString* errorText)
{
    const QByteArray target = QFile::encodeName(fileName);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(errorText, QStringLiteral("cannot make a new file beside it"), errno);
    // Kept as the file it replaces, so that a shared folder stays readable to
    // the same people.
    struct stat old {};
    ::fchmod(fd, ::stat(target.constData(), &old) == 0 ? old.st_mode & 07777 : 0644);
    int error = 0;
    QString what;
    if (!WriteAll(fd, bytes.constData(), bytes.size())) {
        error = errno;
        what = QStringLiteral("cannot write");
    } else if (::fsync(fd) != 0) {
        error = errno;
        what = QStringLiteral("cannot write to the disk");
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
        what = QStringLiteral("cannot write");
    }
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
        what = QStringLiteral("cannot replace it");
    }
    if (error != 0) {
        ::unlink(temporary.constData());
        return Fail(errorText, what, error);
    }
    SyncFolder(QFile::encodeName(QFileInfo(fileName).absolutePath()));
    return true;
}
