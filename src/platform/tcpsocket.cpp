#include "platform/tcpsocket.h"

#include "platform/hostlookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
QString ErrnoText(const char* what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

// Poll that survives signals, counting the time already spent.
int PollFor(int fd, short events, int timeoutMs, short* revents)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pollfd p{fd, events, 0};
        const int left = timeoutMs < 0 ? -1 : std::max(0, timeoutMs - int(clock.elapsed()));
        const int rc = ::poll(&p, 1, left);
        if (rc < 0 && errno == EINTR)
            continue;
        *revents = p.revents;
        return rc;
    }
}
}  // namespace

TNTcpSocket::~TNTcpSocket()
{
    Close();
}

void TNTcpSocket::SetError(const QString& text)
{
    std::lock_guard<std::mutex> guard(m_errorLock);
    m_errorText = text;
}

QString TNTcpSocket::ErrorText() const
{
    std::lock_guard<std::mutex> guard(m_errorLock);
    return m_errorText;
}

bool TNTcpSocket::Connect(const QString& address, quint16 port, int timeoutMs)
{
    Close();
    m_shutDown = false;
    m_peerAddress = address;
    m_peerPort = port;
    // One time-out bounds the lookup of a host name and the connect.
    QElapsedTimer clock;
    clock.start();
    in_addr ip{};
    QString dotted, lookupError;
    if (!LookupIPv4(address, timeoutMs, &dotted, &lookupError) ||
        inet_pton(AF_INET, dotted.toLatin1().constData(), &ip) != 1) {
        SetError(lookupError.isEmpty() ? QStringLiteral("Unknown host: %1").arg(address) : lookupError);
        return false;
    }
    timeoutMs = std::max(0, timeoutMs - int(clock.elapsed()));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        SetError(ErrnoText("socket", errno));
        return false;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr = ip;
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    if (rc < 0 && errno == EINPROGRESS) {
        short revents = 0;
        rc = PollFor(fd, POLLOUT, timeoutMs, &revents);
        if (rc == 0) {
            ::close(fd);
            SetError(QStringLiteral("Connection timed out"));
            return false;
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (rc < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) < 0 || error != 0) {
            ::close(fd);
            SetError(ErrnoText("connect", error ? error : errno));
            return false;
        }
    } else if (rc < 0) {
        const int error = errno;
        ::close(fd);
        SetError(ErrnoText("connect", error));
        return false;
    }
    // Back to blocking mode: the threads block in poll() with time-outs.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Frames are small and strictly request/answer; do not hold them back.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_fd = fd;
    return true;
}

bool TNTcpSocket::SendAll(const QByteArray& data)
{
    m_peerGone = false;
    const int fd = m_fd.load();
    if (fd < 0 || m_shutDown) {
        SetError(QStringLiteral("Socket is not connected"));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int left = m_sendTimeoutMs - int(clock.elapsed());
            short revents = 0;
            if (left <= 0 || PollFor(fd, POLLOUT, left, &revents) <= 0) {
                SetError(QStringLiteral("Send timed out"));
                return false;
            }
            if (m_shutDown || (revents & (POLLERR | POLLHUP | POLLNVAL))) {
                m_peerGone = !m_shutDown && (revents & (POLLERR | POLLHUP));
                SetError(QStringLiteral("Connection lost while sending"));
                return false;
            }
            continue;
        }
        const int error = errno;
        m_peerGone = !m_shutDown && (error == EPIPE || error == ECONNRESET);
        SetError(ErrnoText("send", error));
        return false;
    }
    return true;
}

TNTcpSocket::TWaitResult TNTcpSocket::WaitForData(int timeoutMs)
{
    const int fd = m_fd.load();
    if (fd < 0)
        return TWaitResult::wrError;
    short revents = 0;
    const int rc = PollFor(fd, POLLIN, timeoutMs, &revents);
    if (rc < 0 || (revents & POLLNVAL))
        return TWaitResult::wrError;
    if (rc == 0)
        return TWaitResult::wrTimeout;
    // POLLHUP/POLLERR also count as "something to read": Receive() then
    // reports the close or the error.
    return TWaitResult::wrData;
}

qint64 TNTcpSocket::Receive(char* buffer, qint64 maxBytes)
{
    const int fd = m_fd.load();
    if (fd < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, size_t(maxBytes), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetError(ErrnoText("recv", errno));
            return -1;
        }
        if (n == 0 && m_shutDown)
            return -1;
        return n;
    }
}

TNTcpSocket::TPeekResult TNTcpSocket::Peek()
{
    const int fd = m_fd.load();
    if (fd < 0 || m_shutDown)
        return TPeekResult::prError;
    char probe[6];
    const ssize_t n = ::recv(fd, probe, sizeof probe, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0)
        return TPeekResult::prData;
    if (n == 0)
        return TPeekResult::prClosed;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return TPeekResult::prNothing;
    return TPeekResult::prError;
}

void TNTcpSocket::Shutdown()
{
    m_shutDown = true;
    const int fd = m_fd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void TNTcpSocket::Close()
{
    const int fd = m_fd.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}
