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

// The new file as a device: writes are gathered and go to the file a large
// piece at a time; the first failure is kept (its errno) and every write
// after it fails too.
class TFileWriter : public QIODevice {
public:
    explicit TFileWriter(int fd) : m_fd(fd)
    {
        m_buffer.reserve(kPiece);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    // Writes what is gathered; false when this or an earlier write failed.
    bool Flush()
    {
        if (m_error == 0 && !m_buffer.isEmpty() && !WriteAll(m_fd, m_buffer.constData(), m_buffer.size()))
            m_error = errno;
        m_buffer.clear();
        return m_error == 0;
    }
    int Error() const { return m_error; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_error != 0)
            return -1;
        if (m_buffer.size() + size > kPiece && !Flush())
            return -1;
        if (size >= kPiece) {
            if (!WriteAll(m_fd, data, size)) {
                m_error = errno;
                return -1;
            }
        } else {
            m_buffer.append(data, size);
        }
        return size;
    }

private:
    static constexpr qint64 kPiece = 256 * 1024;
    int m_fd;
    int m_error = 0;
    QByteArray m_buffer;
};

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

bool ReplaceFileDurably(const QString& fileName, const TDurableContent& write, QString* errorText)
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
    {
        TFileWriter out(fd);
        const bool written = write(out);
        if (!out.Flush() || !written) {
            // Content given up without a failed write: no room for it in memory.
            error = out.Error() != 0 ? out.Error() : ENOMEM;
            what = QStringLiteral("cannot write");
        }
    }
    if (error == 0 && ::fsync(fd) != 0) {
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

bool ReplaceFileDurably(const QString& fileName, const QByteArray& bytes, QString* errorText)
{
    return ReplaceFileDurably(
        fileName, [&bytes](QIODevice& out) { return out.write(bytes) == bytes.size(); }, errorText);
}
