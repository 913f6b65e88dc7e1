#pragma once
// TTcpServer: the link to a paging server reached over TCP at an IP address
// and port (server type 1). One blocking socket shared by two threads:
// TNSendThread logs on and sends the endpoint's rows one at a time,
// TNReceiveThread reads the server's frames and notices when the server
// closes the connection.
//
// A local link (127.0.0.1 or the host's own address) serves the rows queued
// under either form. Connect is bounded by its time-out (no listener within
// it: crNoListener), and a send cannot block for ever (the socket's send
// time-out). Destruction shuts the socket down and joins both threads.

#include "messaging/baseserver.h"
#include "platform/tcpsocket.h"
#include "platform/threads.h"

#include <memory>

class TTcpServer;

class TNSendThread : public TNThread {
public:
    explicit TNSendThread(TTcpServer& owner);
    ~TNSendThread() override;

protected:
    void Execute() override;

private:
    TTcpServer& m_owner;
};

class TNReceiveThread : public TNThread {
public:
    explicit TNReceiveThread(TTcpServer& owner);
    ~TNReceiveThread() override;

protected:
    void Execute() override;

private:
    TTcpServer& m_owner;
};

class TTcpServer : public TBaseServer {
public:
    // GetIpAddress shows IpAddress cut to 15 characters; the link connects
    // to, finds and serves the rows of the whole text. LocalIp is the host's own address
    // (for a local link's rows), empty when unknown.
    TTcpServer(const QString& ipAddress, qint32 portNo, const QString& localIp = QString());
    ~TTcpServer() override;

    qint32 ServerTypeNo() const override { return SERVER_TYPE_TCP_NO; }
    QString GetIpAddress() const override { return m_ipAddress; }
    QString EndpointAddress() const override { return m_address; }
    qint32 GetPortNo() const override { return m_portNo; }

    TConnectResult Connect(int reserved, int timeoutMs) override;
    void SendText(const QByteArray& frame) override;
    void Disconnect() override { m_socket.Shutdown(); }
    bool StopThreads(int timeoutMs) override;
    TConnectResult UnmappedErrorResult() const override { return crLogonFailed; }
    TNOutRowFilter OutRowFilter() const override;

    // The longest a send may stay blocked on a peer that does not read.
    static constexpr int kSendTimeoutMs = 10000;

protected:
    bool TransportAlive() const override { return m_transportAlive.load(); }
    // The receive thread sends the next row the moment it reads the answer
    // to the last (the send lock keeps frames whole).
    bool ReceiverSends() const override { return true; }

private:
    friend class TNSendThread;
    friend class TNReceiveThread;
    void RunReceive(const TNThread& thread);

    const QString m_address;
    const QString m_ipAddress;
    const qint32 m_portNo;
    const QString m_localIp;
    TNTcpSocket m_socket;
    std::mutex m_sendLock;  // one frame on the wire at a time
    std::atomic<bool> m_transportAlive{false};
    std::unique_ptr<TNSendThread> m_sendThread;
    std::unique_ptr<TNReceiveThread> m_receiveThread;
};
