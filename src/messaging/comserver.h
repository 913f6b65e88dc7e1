#pragma once
// TComServer: the link to a paging server reached through its automation
// door (server type 2), named by a host name. Frames go out through the
// component's PostClientMessage; the server's frames come back as
// ReplyMessage events, each cut into frames on its own. TComSendThread logs
// on and sends the rows of the host exactly as the TCP link's send thread.
//
// Threads: Connect on the dispatcher's (or a connection test's) thread; the
// send loop on TComSendThread; the events on the component's event thread
// (TTovixServer), which hands replies to HandleServerReply; a close request
// (or the server's leaving the bus) ends the conversation there and then:
// the link unlists itself and stops sending, a running batch tells the
// operator, and the request is posted to the hidden window. When the send thread ends
// (the logon failed, the transport is gone) a listed link unlists itself,
// as the TCP link's receive thread does, so it is never found and reused
// idle. Destruction stops and joins the send thread, then the component
// (which joins its event thread).

#include "messaging/automationnames.h"
#include "messaging/baseserver.h"
#include "messaging/tovixserver.h"
#include "platform/threads.h"

#include <memory>

class TComServer;

class TComSendThread : public TNThread {
public:
    explicit TComSendThread(TComServer& owner);
    ~TComSendThread() override;

protected:
    void Execute() override;

private:
    TComServer& m_owner;
};

class TComServer : public TBaseServer {
public:
    explicit TComServer(const QString& hostName, const QString& serviceName = AutomationServiceName());
    ~TComServer() override;

    qint32 ServerTypeNo() const override { return SERVER_TYPE_COM_NO; }
    QString GetHostName() const override { return m_hostName; }

    TConnectResult Connect(int reserved, int timeoutMs) override;
    void SendText(const QByteArray& frame) override;
    void Disconnect() override;
    TConnectResult UnmappedErrorResult() const override { return crAutomationError; }
    void AbortConnect() override;
    bool StopThreads(int timeoutMs) override;
    TNOutRowFilter OutRowFilter() const override;

    TTovixServer& TovixServer() { return m_tovixServer; }

    // How often Connect reads ServerRunning after StartServer, and for how
    // long at most before it gives up (result 5).
    static constexpr int kStartPollMs = 1000;
    static constexpr int kStartLimitMs = 10000;
    void SetStartLimit(int ms) { m_startLimitMs = ms; }

protected:
    bool TransportAlive() const override { return m_transportAlive.load(); }

private:
    friend class TComSendThread;
    void RunSend(const TNThread& thread);
    TConnectResult Attach();
    void TovixServerReplyMessage(const QString& text);
    void TovixServerCloseConnectionRequest();
    void TovixServerGone();
    // The server ended the conversation (asked to close, left the bus).
    void EndedByServer();

    const QString m_hostName;
    int m_startLimitMs = kStartLimitMs;
    std::atomic<bool> m_transportAlive{false};
    // Set by destruction and AbortConnect: ends a wait for the server to
    // start at once.
    TNEvent m_abortConnect;
    TTovixServer m_tovixServer;
    std::unique_ptr<TComSendThread> m_sendThread;
};

// WM_CLOSE_CONNECTION_REQUEST for Link, to the hidden window.
void PostCloseConnectionRequest(const TBaseServer& link);
