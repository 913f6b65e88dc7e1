#include "messaging/tcpserver.h"

#include "messaging/serverslist.h"

#include <QDeadlineTimer>
#include <algorithm>

namespace {
constexpr int kReadChunk = 2048;
}  // namespace

TNSendThread::TNSendThread(TTcpServer& owner) : TNThread(true, QStringLiteral("TNSendThread")), m_owner(owner) {}

TNSendThread::~TNSendThread()
{
    Terminate();
    WaitFor();
}

void TNSendThread::Execute()
{
    m_owner.RunSendLoop([this] { return Terminated(); }, quint64(quintptr(this)));
}

TNReceiveThread::TNReceiveThread(TTcpServer& owner) : TNThread(true, QStringLiteral("TNReceiveThread")), m_owner(owner)
{
}

TNReceiveThread::~TNReceiveThread()
{
    Terminate();
    WaitFor();
}

void TNReceiveThread::Execute()
{
    m_owner.RunReceive(*this);
}

TTcpServer::TTcpServer(const QString& ipAddress, qint32 portNo, const QString& localIp)
    : m_address(ipAddress),
      m_ipAddress(ipAddress.left(15)),
      m_portNo(portNo),
      m_localIp(localIp),
      m_sendThread(std::make_unique<TNSendThread>(*this)),
      m_receiveThread(std::make_unique<TNReceiveThread>(*this))
{
    m_socket.SetSendTimeout(kSendTimeoutMs);
}

TTcpServer::~TTcpServer()
{
    BeginDestroy();
    m_socket.Shutdown();
    m_sendThread->Terminate();
    m_receiveThread->Terminate();
    m_sendThread->WaitFor();
    m_receiveThread->WaitFor();
    m_sendThread.reset();
    m_receiveThread.reset();
    m_socket.Close();
    CancelPendingBatch();
    TellStrayAnswersAtEnd();
}

bool TTcpServer::StopThreads(int timeoutMs)
{
    BeginDestroy();
    m_socket.Shutdown();
    m_sendThread->Terminate();
    m_receiveThread->Terminate();
    const QDeadlineTimer deadline(timeoutMs);
    return m_sendThread->WaitFor(int(deadline.remainingTime())) &&
           m_receiveThread->WaitFor(int(deadline.remainingTime()));
}

TConnectResult TTcpServer::Connect(int /*reserved*/, int timeoutMs)
{
    if (m_receiveThread->Started())
        return LoggedOn() ? crConnected : crLogonFailed;  // one connection per link
    // One time-out bounds the whole attempt, the connect and the logon
    // together, so the dispatcher (and shut-down waiting for it) is never
    // held longer than that by one endpoint.
    const QDeadlineTimer deadline(timeoutMs);
    if (!m_socket.Connect(m_address, quint16(m_portNo), timeoutMs)) {
        SetErrorText(m_socket.ErrorText());
        return crNoListener;
    }
    m_transportAlive = true;
    m_logonEvent.ResetEvent();
    m_logonAnswered.ResetEvent();
    m_connectedEvent.SetEvent();
    m_receiveThread->Resume();
    m_sendThread->Resume();
    return WaitForLogon(int(std::max<qint64>(0, deadline.remainingTime()))) ? crConnected : crLogonFailed;
}

void TTcpServer::SendText(const QByteArray& frame)
{
    std::lock_guard<std::mutex> guard(m_sendLock);
    if (!m_socket.SendAll(frame)) {
        // A send the server's closing failed is part of that end, whichever
        // thread notices it first: noted before the failure is seen.
        if (m_socket.PeerGone() && !Destroying())
            NoteServerClosed();
        // Part of the frame may be on the wire: the next one would be glued
        // to it. The connection is dropped; the receive thread then unlists
        // the link.
        const QString error = m_socket.ErrorText();
        m_socket.Shutdown();
        throw ELinkError(error);
    }
}

TNOutRowFilter TTcpServer::OutRowFilter() const
{
    TNOutRowFilter filter;
    filter.ServerTypeNo = SERVER_TYPE_TCP_NO;
    filter.PortNo = m_portNo;
    if (IsLocalAddress(m_address, m_localIp)) {
        filter.IpAddresses << QStringLiteral("127.0.0.1");
        if (!m_localIp.isEmpty() && m_localIp != QLatin1String("127.0.0.1"))
            filter.IpAddresses << m_localIp;
    } else {
        filter.IpAddresses << m_address;
    }
    return filter;
}

void TTcpServer::RunReceive(const TNThread& thread)
{
    TFrameCutter cutter;
    char buffer[kReadChunk];
    while (!thread.Terminated() && !Destroying()) {
        // A blocking read: the socket's shut-down (destruction, Disconnect)
        // ends it, so no time-out is needed to notice either.
        const qint64 read = m_socket.Receive(buffer, kReadChunk);
        if (read <= 0)
            break;  // the server closed the connection, or it was lost
        cutter.Append(QByteArrayView(buffer, read));
        HandleServerReply(cutter);
    }
    // Unlisted before the transport counts as gone: once the send thread
    // sees it gone and ends, nobody can find the link any more and ask it
    // for a batch it would never run (Send would stay disabled). From here
    // on the link may be in its destructor on the main thread, which joins
    // this thread before any member goes.
    if (!Destroying()) {
        NoteServerClosed();
        ServersList.TransportClosed(this);
    }
    m_transportAlive = false;
    m_socket.Shutdown();
    LogonUnanswerable();
}
