#pragma once
// A blocking TCP client socket (IPv4, POSIX) shared by one sending thread and
// one receiving thread.
//
// Contract:
// - Connect() runs before the threads start; Close() (and the destructor)
//   runs after both have been joined.
// - SendAll() is used by one thread, WaitForData()/Receive()/Peek() by one
//   other thread; they may run at the same time.
// - Shutdown() may be called from any thread at any time: it wakes a receive
//   or send that is blocked in the kernel, and every later call fails at once.
// - Nothing here blocks for ever: connect is bounded by its time-out, a send
//   by the send time-out, and waits for data by their own time-out.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>

class TNTcpSocket {
public:
    enum class TWaitResult { wrData, wrTimeout, wrError };
    // What a look at the receive queue shows without taking anything off it.
    enum class TPeekResult { prData, prNothing, prClosed, prError };

    TNTcpSocket() = default;
    ~TNTcpSocket();
    TNTcpSocket(const TNTcpSocket&) = delete;
    TNTcpSocket& operator=(const TNTcpSocket&) = delete;

    // Connects to an IPv4 address (dotted text) or a host name within
    // TimeoutMs milliseconds. False on any failure or when the time runs out;
    // ErrorText() then says why.
    bool Connect(const QString& address, quint16 port, int timeoutMs);
    bool IsOpen() const { return m_fd.load() >= 0; }

    // Longest time one SendAll may stay blocked on a full send buffer.
    void SetSendTimeout(int ms) { m_sendTimeoutMs = ms; }
    // Writes every byte; false when the peer is gone, the socket was shut
    // down, or the send time-out ran out (the stream is then unusable).
    bool SendAll(const QByteArray& data);
    // Whether the last SendAll failed because the peer closed or reset the
    // connection (not a time-out, not a shut-down of this side).
    bool PeerGone() const { return m_peerGone.load(); }

    // Waits until bytes (or an orderly close) are waiting to be read.
    TWaitResult WaitForData(int timeoutMs);
    // Reads up to MaxBytes. >0: bytes read; 0: the peer closed the stream;
    // -1: error (or shut down).
    qint64 Receive(char* buffer, qint64 maxBytes);
    // Looks at up to six waiting bytes without removing them and without
    // blocking.
    TPeekResult Peek();

    // Ends both directions; blocked calls return. Safe from any thread.
    void Shutdown();
    // Releases the descriptor; only when no other thread uses the socket.
    void Close();

    QString ErrorText() const;
    QString PeerAddress() const { return m_peerAddress; }
    quint16 PeerPort() const { return m_peerPort; }

private:
    void SetError(const QString& text);

    std::atomic<int> m_fd{-1};
    std::atomic<bool> m_shutDown{false};
    std::atomic<bool> m_peerGone{false};
    int m_sendTimeoutMs = 10000;
    QString m_peerAddress;
    quint16 m_peerPort = 0;
    mutable std::mutex m_errorLock;
    QString m_errorText;
};
