// The blocking client socket against real listeners on 127.0.0.1.
#include "platform/tcpsocket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <memory>
#include <thread>
#include <vector>

namespace {
// A listening socket on an ephemeral loopback port; Accept() takes one peer.
class Listener {
public:
    explicit Listener(int receiveBuffer = 0, int backlog = 4)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, backlog);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~Listener()
    {
        if (m_peer >= 0)
            ::close(m_peer);
        ::close(m_fd);
    }
    quint16 Port() const { return m_port; }
    int Accept()
    {
        m_peer = ::accept(m_fd, nullptr, nullptr);
        return m_peer;
    }
    void ClosePeer()
    {
        ::close(m_peer);
        m_peer = -1;
    }

private:
    int m_fd = -1;
    int m_peer = -1;
    quint16 m_port = 0;
};
}  // namespace

TEST(TcpSocket, ConnectsSendsAndReceives)
{
    Listener listener;
    TNTcpSocket socket;
    ASSERT_TRUE(socket.Connect(QStringLiteral("127.0.0.1"), listener.Port(), 2000)) << qPrintable(socket.ErrorText());
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);

    ASSERT_TRUE(socket.SendAll(QByteArray("hello")));
    char got[16] = {};
    ASSERT_EQ(::recv(peer, got, sizeof got, 0), 5);
    EXPECT_STREQ(got, "hello");

    EXPECT_EQ(socket.Peek(), TNTcpSocket::TPeekResult::prNothing);
    EXPECT_EQ(socket.WaitForData(50), TNTcpSocket::TWaitResult::wrTimeout);
    ASSERT_EQ(::send(peer, "abc", 3, 0), 3);
    EXPECT_EQ(socket.WaitForData(2000), TNTcpSocket::TWaitResult::wrData);
    EXPECT_EQ(socket.Peek(), TNTcpSocket::TPeekResult::prData);
    char buffer[8] = {};
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer), 3);
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("abc"));

    // An orderly close reads as 0 bytes and peeks as closed.
    listener.ClosePeer();
    EXPECT_EQ(socket.WaitForData(2000), TNTcpSocket::TWaitResult::wrData);
    EXPECT_EQ(socket.Peek(), TNTcpSocket::TPeekResult::prClosed);
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer), 0);
    // Writing on: the peer's reset fails a send, which says the peer is gone.
    bool sent = true;
    for (int i = 0; i < 1000 && sent; ++i)
        sent = socket.SendAll(QByteArray("x"));
    EXPECT_FALSE(sent);
    EXPECT_TRUE(socket.PeerGone()) << qPrintable(socket.ErrorText());
}

TEST(TcpSocket, ConnectFailsWithoutListenerOrBadHost)
{
    quint16 freePort = 0;
    {
        Listener probe;
        freePort = probe.Port();
    }
    TNTcpSocket socket;
    EXPECT_FALSE(socket.Connect(QStringLiteral("127.0.0.1"), freePort, 2000));
    EXPECT_FALSE(socket.ErrorText().isEmpty());
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_FALSE(socket.Connect(QString(), 215, 2000));
    EXPECT_FALSE(socket.SendAll(QByteArray("x")));
}

TEST(TcpSocket, ConnectToFullBacklogEndsAtItsTimeout)
{
    // A listener that never accepts: once its queue is full the kernel drops
    // further connection requests, so connect must give up on its own.
    Listener listener(0, 0);
    std::vector<std::unique_ptr<TNTcpSocket>> fillers;
    bool timedOut = false;
    for (int i = 0; i < 16 && !timedOut; ++i) {
        auto socket = std::make_unique<TNTcpSocket>();
        QElapsedTimer clock;
        clock.start();
        if (!socket->Connect(QStringLiteral("127.0.0.1"), listener.Port(), 300)) {
            timedOut = true;
            EXPECT_LT(clock.elapsed(), 5000);
            EXPECT_EQ(socket->ErrorText(), QStringLiteral("Connection timed out"));
        }
        fillers.push_back(std::move(socket));
    }
    EXPECT_TRUE(timedOut);
}

TEST(TcpSocket, SendToPeerThatNeverReadsEndsAtSendTimeout)
{
    Listener listener(4096);
    TNTcpSocket socket;
    ASSERT_TRUE(socket.Connect(QStringLiteral("127.0.0.1"), listener.Port(), 2000));
    ASSERT_GE(listener.Accept(), 0);
    socket.SetSendTimeout(200);
    const QByteArray chunk(1 << 20, 'x');
    bool ok = true;
    for (int i = 0; i < 64 && ok; ++i)
        ok = socket.SendAll(chunk);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(socket.ErrorText().isEmpty());
    // The peer is still there: the time-out is this side's doing.
    EXPECT_FALSE(socket.PeerGone());
}

TEST(TcpSocket, ShutdownFromAnotherThreadWakesBlockedReceive)
{
    Listener listener;
    TNTcpSocket socket;
    ASSERT_TRUE(socket.Connect(QStringLiteral("127.0.0.1"), listener.Port(), 2000));
    ASSERT_GE(listener.Accept(), 0);
    qint64 got = 99;
    std::thread reader([&] {
        char buffer[16];
        if (socket.WaitForData(60000) == TNTcpSocket::TWaitResult::wrData)
            got = socket.Receive(buffer, sizeof buffer);
        else
            got = -2;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    socket.Shutdown();
    reader.join();
    EXPECT_EQ(got, -1);
    EXPECT_FALSE(socket.SendAll(QByteArray("late")));
    EXPECT_EQ(socket.Peek(), TNTcpSocket::TPeekResult::prError);
}
