#include "platform/durablefile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {
// Between the target's name and the six characters mkostemp fills in.
constexpr char kPartialMark[] = ".tovix2-partial-";

bool SixLettersOrDigits(QStringView tail)
{
    return tail.size() == 6 &&
           std::all_of(tail.cbegin(), tail.cend(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; });
}

// The names in FileName's folder that are FileName's own name, then Mark,
// then six letters or digits.
QStringList NamesBeside(const QString& fileName, const QString& mark)
{
    const QFileInfo info(fileName);
    const QString prefix = info.fileName() + mark;
    QStringList found;
    const QStringList names = QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        if (name.startsWith(prefix) && SixLettersOrDigits(QStringView(name).mid(prefix.size())))
            found.append(name);
    return found;
}

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

// The new file beside the target, named after it with the mark and six more
// characters ("name.tovix2-partial-XXXXXX"), locked for as long as it is open so that a partial file
// being written is told from one a crash left behind. Closed, and removed
// unless renamed, however the replacement ends (an exception of the content
// too).
class TNewFile {
public:
    explicit TNewFile(const QByteArray& target) : m_target(target), m_name(target + kPartialMark + "XXXXXX")
    {
        m_fd = ::mkostemp(m_name.data(), O_CLOEXEC);
        m_made = m_fd >= 0;
        if (m_made)
            ::flock(m_fd, LOCK_EX);
    }
    ~TNewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_made && !m_renamed)
            ::unlink(m_name.constData());
    }
    TNewFile(const TNewFile&) = delete;
    TNewFile& operator=(const TNewFile&) = delete;

    bool Made() const { return m_made; }
    int Fd() const { return m_fd; }
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    bool Rename()
    {
        m_renamed = ::rename(m_name.constData(), m_target.constData()) == 0;
        return m_renamed;
    }

private:
    QByteArray m_target;
    QByteArray m_name;
    int m_fd = -1;
    bool m_made = false;
    bool m_renamed = false;
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

bool ReplaceFileDurably(const QString& fileName, const TDurableContent& write, QString* errorText, int mode)
{
    const QByteArray target = QFile::encodeName(fileName);
    TNewFile file(target);
    if (!file.Made())
        return Fail(errorText, QStringLiteral("cannot make a new file beside it"), errno);
    // Kept as the file it replaces, so that a shared folder stays readable to
    // the same people.
    struct stat old {};
    if (mode < 0)
        mode = ::stat(target.constData(), &old) == 0 ? int(old.st_mode & 07777) : 0644;
    ::fchmod(file.Fd(), mode_t(mode));
    int error = 0;
    QString what;
    {
        TFileWriter out(file.Fd());
        const bool written = write(out);
        if (!out.Flush() || !written) {
            // Content given up without a failed write: no room for it in memory.
            error = out.Error() != 0 ? out.Error() : ENOMEM;
            what = QStringLiteral("cannot write");
        }
    }
    if (error == 0 && ::fsync(file.Fd()) != 0) {
        error = errno;
        what = QStringLiteral("cannot write to the disk");
    }
    if (!file.Close() && error == 0) {
        error = errno;
        what = QStringLiteral("cannot write");
    }
    if (error == 0 && !file.Rename()) {
        error = errno;
        what = QStringLiteral("cannot replace it");
    }
    if (error != 0)
        return Fail(errorText, what, error);
    SyncFolder(QFile::encodeName(QFileInfo(fileName).absolutePath()));
    return true;
}

bool ReplaceFileDurably(const QString& fileName, const QByteArray& bytes, QString* errorText)
{
    return ReplaceFileDurably(
        fileName, [&bytes](QIODevice& out) { return out.write(bytes) == bytes.size(); }, errorText);
}

QStringList RemovePartialFiles(const QString& fileName)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    QStringList removed;
    for (const QString& name : NamesBeside(fileName, QString::fromLatin1(kPartialMark))) {
        const QByteArray path = QFile::encodeName(folder + u'/' + name);
        // A save under way holds its lock: only a file nobody writes is left over.
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            removed.append(name);
        ::close(fd);
    }
    return removed;
}

QStringList OlderPartialFiles(const QString& fileName)
{
    return NamesBeside(fileName, QStringLiteral("."));
}

void IgnoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
