#include "messaging/comserver.h"

#include "foundation/netfunctions.h"
#include "messaging/messagetable.h"
#include "messaging/serverslist.h"
#include "platform/codepage.h"

#include <QElapsedTimer>

namespace {
struct TLocalIdentity {
    QString hostName;
    QString ipAddress;
};

// The host's own name and address, looked up once; both empty when that
// fails.
const TLocalIdentity& LocalIdentity()
{
    static const TLocalIdentity identity = [] {
        TLocalIdentity id;
        QString error;
        if (!GetLocalHostNameAndIP(id.hostName, id.ipAddress, error))
            id = TLocalIdentity();
        return id;
    }();
    return identity;
}

TConnectResult ResultOf(const EAutomationError& error)
{
    switch (error.Code()) {
        case kClassNotRegistered:
            return crNotInstalled;
        case kServerUnavailable:
            return crHostUnreachable;
        default:
            return crAutomationError;
    }
}
}  // namespace

void PostCloseConnectionRequest(const TBaseServer& link)
{
    PostMessage(HiddenWindowHandle.load(), WM_CLOSE_CONNECTION_REQUEST, qint64(quintptr(&link)), qint64(link.Serial()));
}

TComSendThread::TComSendThread(TComServer& owner) : TNThread(true, QStringLiteral("TComSendThread")), m_owner(owner) {}

TComSendThread::~TComSendThread()
{
    Terminate();
    WaitFor();
}

void TComSendThread::Execute()
{
    m_owner.RunSend(*this);
}

TComServer::TComServer(const QString& hostName, const QString& serviceName)
    : m_hostName(hostName), m_tovixServer(serviceName), m_sendThread(std::make_unique<TComSendThread>(*this))
{
    m_tovixServer.SetRemoteMachineName(hostName);
    m_tovixServer.OnReplyMessage = [this](const QString& text) { TovixServerReplyMessage(text); };
    m_tovixServer.OnCloseConnectionRequest = [this] { TovixServerCloseConnectionRequest(); };
    m_tovixServer.OnServerGone = [this] { TovixServerGone(); };
}

TComServer::~TComServer()
{
    BeginDestroy();
    m_transportAlive = false;
    m_abortConnect.SetEvent();
    m_sendThread->Terminate();
    // A call the send thread is blocked in fails once the bus connection
    // has gone.
    m_tovixServer.Disconnect();
    m_sendThread->WaitFor();
    m_sendThread.reset();
    CancelPendingBatch();
    // The bus connection is gone: no more answers come.
    TellStrayAnswersAtEnd();
    // m_tovixServer goes next and joins its event thread while every other
    // member is still alive.
}

bool TComServer::StopThreads(int timeoutMs)
{
    BeginDestroy();
    m_transportAlive = false;
    m_abortConnect.SetEvent();
    m_sendThread->Terminate();
    m_tovixServer.Disconnect();
    return m_sendThread->WaitFor(timeoutMs);
}

TConnectResult TComServer::Attach()
{
    try {
        m_tovixServer.Connect();
    } catch (const EAutomationError& e) {
        SetErrorText(QString::fromUtf8(e.what()));
        return ResultOf(e);
    }
    try {
        if (!m_tovixServer.ServerRunning()) {
            m_tovixServer.StartServer();
            // A server that never reports running must not hold the
            // dispatcher for ever.
            QElapsedTimer waited;
            waited.start();
            for (;;) {
                if (m_abortConnect.WaitFor(kStartPollMs) == wrSignaled)
                    throw EAutomationError(kAutomationFailure, QStringLiteral("The connection was abandoned"));
                if (m_tovixServer.ServerRunning())
                    break;
                if (waited.elapsed() >= m_startLimitMs)
                    throw EAutomationError(
                        kAutomationFailure,
                        QStringLiteral("The paging server was started but did not report running within %1 ms")
                            .arg(m_startLimitMs));
            }
        }
        m_tovixServer.SetClientHostName(LocalIdentity().hostName);
        m_tovixServer.SetClientIpAddress(LocalIdentity().ipAddress);
    } catch (const EAutomationError& e) {
        SetErrorText(QString::fromUtf8(e.what()));
        m_tovixServer.Disconnect();
        return crAutomationError;
    }
    return crConnected;
}

TConnectResult TComServer::Connect(int /*reserved*/, int timeoutMs)
{
    if (m_sendThread->Started())
        return LoggedOn() ? crConnected : crAutomationError;  // one connection per link
    const TConnectResult attached = Attach();
    if (attached != crConnected)
        return attached;
    m_transportAlive = true;
    m_logonEvent.ResetEvent();
    m_logonAnswered.ResetEvent();
    if (m_abortConnect.IsSet())
        LogonUnanswerable();  // the reset above must not swallow an abort
    m_connectedEvent.SetEvent();
    m_sendThread->Resume();
    return WaitForLogon(timeoutMs) ? crConnected : crAutomationError;
}

void TComServer::AbortConnect()
{
    m_abortConnect.SetEvent();
    LogonUnanswerable();
}

void TComServer::SendText(const QByteArray& frame)
{
    if (!m_transportAlive)
        throw ELinkError(QStringLiteral("The connection to the paging server was closed"));
    try {
        m_tovixServer.PostClientMessage(FromCodePage(frame));
    } catch (const EAutomationError& e) {
        // The server's close request (or its leaving) may have come just
        // before this failure and wait in the event queue: it is handled
        // first, so the failure is taken for the end of the conversation it
        // is part of.
        m_tovixServer.FlushEvents();
        m_transportAlive = false;
        throw ELinkError(QString::fromUtf8(e.what()));
    }
}

void TComServer::Disconnect()
{
    m_transportAlive = false;
    m_tovixServer.Disconnect();
    LogonUnanswerable();
}

TNOutRowFilter TComServer::OutRowFilter() const
{
    TNOutRowFilter filter;
    filter.ServerTypeNo = SERVER_TYPE_COM_NO;
    filter.HostName = m_hostName;
    return filter;
}

void TComServer::TovixServerReplyMessage(const QString& text)
{
    // Each event is cut on its own: a frame it leaves unfinished is lost.
    TFrameCutter cutter;
    cutter.Append(ToCodePage(text));
    HandleServerReply(cutter);
}

void TComServer::TovixServerCloseConnectionRequest()
{
    if (Testing() || Destroying())
        return;
    // The conversation ends here, not when the main thread gets round to
    // closing the link: no row goes out after the request, and a batch still
    // running ends and says so, whichever thread moves first from here.
    EndedByServer();
    PostCloseConnectionRequest(*this);
}

void TComServer::TovixServerGone()
{
    // As a TCP link's server closing the socket: the send loop ends and the
    // link unlists itself; its rows stay queued for the next send.
    EndedByServer();
}

void TComServer::EndedByServer()
{
    NoteServerClosed();
    // Unlisted before the transport counts as gone, as a TCP link is: a Send
    // from here on makes a new link, and every batch asked of this one so
    // far is taken, or told of, by its send loop as it ends.
    ServersList.TransportClosed(this);
    m_transportAlive = false;
    LogonUnanswerable();
}

void TComServer::RunSend(const TNThread& thread)
{
    RunSendLoop([&thread] { return thread.Terminated(); }, quint64(quintptr(&thread)));
    // The loop has ended (logon failed, transport gone): a listed link is
    // unlisted now so it is never found and reused idle. From here on the
    // link may be in its destructor on the main thread, which joins this
    // thread before any member goes.
    if (!Destroying())
        ServersList.TransportClosed(this);
    m_transportAlive = false;
    LogonUnanswerable();
}
