// Link lifetime: who finds, lists, unlists and frees a link, over real
// sockets on 127.0.0.1.
#include "messaging/formhidden.h"
#include "messaging/tcpserver.h"
#include "messagingfixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// An automation-kind link without a transport, recording what is done to it.
class TFakeComLink : public TBaseServer {
public:
    TFakeComLink(const QString& host, bool* freed, bool* disconnected)
        : m_host(host), m_freed(freed), m_disconnected(disconnected)
    {
    }
    ~TFakeComLink() override
    {
        BeginDestroy();
        *m_freed = true;
    }
    qint32 ServerTypeNo() const override { return SERVER_TYPE_COM_NO; }
    QString GetHostName() const override { return m_host; }
    TConnectResult Connect(int, int) override { return crConnected; }
    void SendText(const QByteArray&) override {}
    void Disconnect() override { *m_disconnected = true; }
    TConnectResult UnmappedErrorResult() const override { return crAutomationError; }
    TNOutRowFilter OutRowFilter() const override { return {SERVER_TYPE_COM_NO, {}, 0, m_host}; }

private:
    QString m_host;
    bool* m_freed;
    bool* m_disconnected;
};

// A listener whose queue is full: connection requests go unanswered.
class TFullListener {
public:
    TFullListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 0);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~TFullListener() { ::close(m_fd); }
    quint16 Port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};
}  // namespace

class ServersListTest : public MessagingTest {};

TEST_F(ServersListTest, FindServerMatchesOnlyLinksOfTheEndpointsKind)
{
    bool freed = false, disconnected = false;
    auto* com = new TFakeComLink(QStringLiteral("127.0.0.1"), &freed, &disconnected);
    auto* tcp = new TTcpServer(QStringLiteral("127.0.0.1"), 215, QStringLiteral("192.168.1.7"));
    ASSERT_TRUE(ServersList.AddConnected(com));
    ASSERT_TRUE(ServersList.AddConnected(tcp));
    {
        TNReadGuard guard(ServersList.Lock());
        const QString local = QStringLiteral("192.168.1.7");
        EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_TCP_NO, QStringLiteral("127.0.0.1"), 215, QString(), local), tcp);
        EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_TCP_NO, local, 215, QString(), local), tcp);
        EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_TCP_NO, QStringLiteral("10.1.1.1"), 215, QString(), local),
                  nullptr);
        EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_TCP_NO, local, 216, QString(), local), nullptr);
        EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_COM_NO, QString(), 0, QStringLiteral("127.0.0.1"), local), com);
        // Host names match exactly, letter case included.
        EXPECT_EQ(ServersList.FindServer(SERVER_TYPE_COM_NO, QString(), 0, QStringLiteral("Host"), local), nullptr);
    }
    // A listed link is unlisted, disconnected and freed by the close request.
    TFormHidden hidden;
    PostMessage(hidden.Handle(), WM_CLOSE_CONNECTION_REQUEST, qint64(quintptr(com)), 0);
    ASSERT_TRUE(WaitUntil([&] { return freed; }));
    EXPECT_TRUE(disconnected);
    EXPECT_EQ(ServersList.LiveCount(), 1);
}

TEST_F(ServersListTest, CloseRequestForALinkNoLongerListedDoesNothing)
{
    bool freed = false, disconnected = false;
    TFakeComLink unlisted(QStringLiteral("host"), &freed, &disconnected);
    TFormHidden hidden;
    PostMessage(hidden.Handle(), WM_CLOSE_CONNECTION_REQUEST, qint64(quintptr(&unlisted)), 0);
    // A value that was never a link is only compared, never used.
    PostMessage(hidden.Handle(), WM_CLOSE_CONNECTION_REQUEST, 0x1234, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(freed);
    EXPECT_FALSE(disconnected);
}

TEST_F(ServersListTest, ConnectToAnEndpointThatNeverAnswersEndsWithinTheTimeout)
{
    TFullListener listener;
    // Fill the queue, then the link's own attempt goes unanswered.
    std::vector<std::unique_ptr<TTcpServer>> fillers;
    TConnectResult result = crConnected;
    for (int i = 0; i < 16 && result != crNoListener; ++i) {
        fillers.push_back(std::make_unique<TTcpServer>(QStringLiteral("127.0.0.1"), listener.Port()));
        result = fillers.back()->SafeConnect(300);
    }
    EXPECT_EQ(result, crNoListener);
    EXPECT_FALSE(fillers.back()->ErrorText().isEmpty());
}

TEST_F(ServersListTest, LinkClosedBeforeItIsListedStaysWithItsMaker)
{
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    auto link = std::make_unique<TTcpServer>(QStringLiteral("127.0.0.1"), sim.Port());
    ASSERT_EQ(link->SafeConnect(kLogonTimeoutMs), crConnected);
    sim.CloseConnections();
    ASSERT_TRUE(WaitUntil([&] {
        TNReadGuard guard(ServersList.Lock());
        return link->ClosedUnderLock();
    }));
    EXPECT_FALSE(ServersList.AddConnected(link.get()));
    EXPECT_EQ(ClosedLinksWaiting(), 0);
}

TEST_F(ServersListTest, ListedLinkWhoseServerClosesIsUnlistedAndFreedOnTheMainThread)
{
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    auto* link = new TTcpServer(QStringLiteral("127.0.0.1"), sim.Port());
    ASSERT_EQ(link->SafeConnect(kLogonTimeoutMs), crConnected);
    ASSERT_TRUE(ServersList.AddConnected(link));
    sim.CloseConnections();
    // Unlisted by the receive thread, freed by the event loop.
    ASSERT_TRUE(WaitUntil([&] { return ServersList.LiveCount() == 0 && ClosedLinksWaiting() == 0; }));
}

TEST_F(ServersListTest, FreeingAConnectedLinkClosesItsConnectionAndJoinsItsThreads)
{
    TPagingServerSim sim(LoopbackSim());
    ASSERT_TRUE(sim.Start());
    auto link = std::make_unique<TTcpServer>(QStringLiteral("127.0.0.1"), sim.Port());
    ASSERT_EQ(link->SafeConnect(kLogonTimeoutMs), crConnected);
    EXPECT_TRUE(link->LoggedOn());
    link->RequestBatch();  // work that will never run is released with the link
    link.reset();
    EXPECT_TRUE(sim.WaitForClosed(1, 5000));
    EXPECT_EQ(SendWorkInFlight(), 0);
}
