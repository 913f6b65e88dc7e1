#pragma once
// The machine's own limit for the send path: a minimal paging-server peer and
// a minimal stop-and-wait client, both plain blocking POSIX sockets with
// TCP_NODELAY, no event loop and no database.
//
// TFloorPeer listens on 127.0.0.1 (a free port) on a thread of its own and
// serves one connection at a time: LOGON gets LOGON_OK, and every MESSAGE
// gets its MESSAGE_ACCEPTED and MESSAGE_SENT at once, in one write. It counts
// the MESSAGE frames it received. RunFloorClient logs on and sends Rows
// MESSAGE frames, each after the previous one was accepted.
#include "messaging/protocol.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QByteArray>
#include <QElapsedTimer>
#include <atomic>
#include <thread>

namespace bench {

inline void NoDelay(int fd)
{
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Takes the complete frames off the front of Buffer and hands each line's
// bytes (without the markers) to Each.
template <typename F>
void TakeFrames(QByteArray& buffer, F&& each)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = buffer.indexOf(kFrameStart, from);
        if (start < 0)
            break;
        const qsizetype end = buffer.indexOf(kFrameEnd, start + kFrameStart.size());
        if (end < 0) {
            from = start;
            break;
        }
        each(QByteArrayView(buffer).sliced(start + kFrameStart.size(), end - start - kFrameStart.size()));
        from = end + kFrameEnd.size();
    }
    buffer.remove(0, from);
}

class TFloorPeer {
public:
    TFloorPeer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~TFloorPeer()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        const int client = m_client.exchange(-1);
        if (client >= 0)
            ::shutdown(client, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    TFloorPeer(const TFloorPeer&) = delete;
    TFloorPeer& operator=(const TFloorPeer&) = delete;

    quint16 Port() const { return m_port; }
    int Messages() const { return m_messages.load(); }

private:
    void Serve()
    {
        while (!m_stop) {
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0)
                return;
            NoDelay(fd);
            m_client = fd;
            Converse(fd);
            if (m_client.exchange(-1) >= 0)
                ::close(fd);
        }
    }

    void Converse(int fd)
    {
        QByteArray buffer;
        char chunk[65536];
        qint32 serverId = 0;
        for (;;) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return;
            buffer.append(chunk, n);
            QByteArray replies;
            TakeFrames(buffer, [&](QByteArrayView line) {
                if (line.startsWith("LOGON")) {
                    replies += FrameLine(LogonOkLine());
                } else if (line.startsWith("MESSAGE,")) {
                    // The client record ID is item 1, written as plain digits.
                    const QByteArrayView rest = line.sliced(8);
                    const qsizetype comma = rest.indexOf(',');
                    const qint32 id = rest.first(comma < 0 ? rest.size() : comma).toInt();
                    ++serverId;
                    replies += FrameLine(MessageAcceptedLine(id, serverId));
                    replies += FrameLine(MessageSentLine(id, serverId));
                    ++m_messages;
                }
            });
            for (qsizetype sent = 0; sent < replies.size();) {
                const ssize_t w = ::send(fd, replies.constData() + sent, size_t(replies.size() - sent), MSG_NOSIGNAL);
                if (w <= 0)
                    return;
                sent += w;
            }
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<int> m_client{-1};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_messages{0};
    std::thread m_thread;
};

struct TFloorResult {
    qint64 acceptedNs = 0;
    qint64 completedNs = 0;
    bool ok = false;
};

// The stop-and-wait client: one MESSAGE in flight, the next after its
// acceptance; done when every report is in.
inline TFloorResult RunFloorClient(const char* host, quint16 port, int rows)
{
    TFloorResult result;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, host, &address.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return result;
    }
    NoDelay(fd);
    QByteArray buffer;
    char chunk[65536];
    int accepted = 0, reports = 0;
    bool loggedOn = false;
    auto readUntil = [&](auto done) {
        while (!done()) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer.append(chunk, n);
            TakeFrames(buffer, [&](QByteArrayView line) {
                loggedOn = loggedOn || line.startsWith("LOGON_OK");
                accepted += line.startsWith("MESSAGE_ACCEPTED") ? 1 : 0;
                reports += line.startsWith("MESSAGE_SENT") ? 1 : 0;
            });
        }
        return true;
    };
    auto sendAll = [&](const QByteArray& bytes) {
        return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    };
    sendAll(FrameLine(LogonLine(QStringLiteral("{00000000-0000-0000-0000-0000000F100R}"))));
    if (!readUntil([&] { return loggedOn; })) {
        ::close(fd);
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= rows; ++i) {
        if (!sendAll(FrameLine(MessageLine(i, 6, QStringLiteral("host,444"), QStringLiteral("555"),
                                           QStringLiteral("Benchmark message")))) ||
            !readUntil([&] { return accepted >= i; })) {
            ::close(fd);
            return result;
        }
    }
    result.acceptedNs = clock.nsecsElapsed();
    result.ok = readUntil([&] { return reports >= rows; });
    result.completedNs = clock.nsecsElapsed();
    ::close(fd);
    return result;
}

}  // namespace bench
