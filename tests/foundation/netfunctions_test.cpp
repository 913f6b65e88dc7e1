#include "foundation/netfunctions.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QHostInfo>

TEST(NetFunctions, DottedAddressesAreChecked)
{
    EXPECT_TRUE(IsValidIPAddress("192.168.0.1"));
    EXPECT_TRUE(IsValidIPAddress("  10.0.0.1 \t"));
    EXPECT_TRUE(IsValidIPAddress("0.0.0.0"));
    EXPECT_TRUE(IsValidIPAddress("255.255.255.255"));
    EXPECT_TRUE(IsValidIPAddress("$C0.$A8.0.+1"));
    EXPECT_FALSE(IsValidIPAddress("10.0.0"));
    EXPECT_FALSE(IsValidIPAddress("10.0.0.1."));
    EXPECT_FALSE(IsValidIPAddress("10.0.0.256"));
    EXPECT_FALSE(IsValidIPAddress("10.0. 0.1"));
    EXPECT_FALSE(IsValidIPAddress("10..0.1"));
    EXPECT_FALSE(IsValidIPAddress("10.0.0.-1"));
    EXPECT_FALSE(IsValidIPAddress("10.0.0.1a"));
    EXPECT_FALSE(IsValidIPAddress("$.0.0.1"));
    EXPECT_FALSE(IsValidIPAddress(""));
    EXPECT_FALSE(IsValidIPAddress("1.2.3.4.5"));
}

TEST(NetFunctions, SocketAliveUntilThePeerClosesInOrder)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ASSERT_EQ(write(fds[1], "LOGON_OK", 8), 8);
    EXPECT_TRUE(IsSocketAlive(fds[0]));
    char buffer[16] = {};
    ASSERT_EQ(read(fds[0], buffer, sizeof buffer), 8);  // the peeked data were still there
    EXPECT_STREQ(buffer, "LOGON_OK");
    close(fds[1]);
    EXPECT_FALSE(IsSocketAlive(fds[0]));
    close(fds[0]);
}

TEST(NetFunctions, TcpPeerClosingIsSeen)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const int server = accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);

    ASSERT_EQ(send(server, "abcdefgh", 8, 0), 8);
    EXPECT_TRUE(IsSocketAlive(client));
    char buffer[8];
    EXPECT_EQ(recv(client, buffer, sizeof buffer, MSG_WAITALL), 8);
    close(server);
    EXPECT_FALSE(IsSocketAlive(client));
    close(client);
    close(listener);
}

TEST(NetFunctions, LocalHostNameAndAddress)
{
    QString host;
    QString ip = QStringLiteral("stale");
    QString error = QStringLiteral("stale");
    if (GetLocalHostNameAndIP(host, ip, error)) {
        EXPECT_EQ(host, QHostInfo::localHostName());
        EXPECT_TRUE(IsValidIPAddress(ip)) << qPrintable(ip);
    } else {
        // A host whose own name does not resolve: an error of its own.
        EXPECT_NE(error, "stale");
        EXPECT_TRUE(ip.isEmpty());
    }
}

TEST(NetFunctions, NameThatDoesNotResolveGivesAFreshError)
{
    QString ip = QStringLiteral("1.2.3.4");
    QString error = QStringLiteral("stale");
    EXPECT_FALSE(LookUpIPv4Address(QStringLiteral("no-such-host.invalid"), ip, error));
    EXPECT_TRUE(ip.isEmpty());
    EXPECT_TRUE(error.startsWith("The address of the host \"no-such-host.invalid\" cannot be found: "))
        << qPrintable(error);

    EXPECT_TRUE(LookUpIPv4Address(QStringLiteral("127.0.0.1"), ip, error));
    EXPECT_EQ(ip, "127.0.0.1");
}
