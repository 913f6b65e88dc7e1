#include "messaging/dispatcher.h"

#include "data/outbox.h"
#include "data/threadconnections.h"
#include "foundation/options.h"
#include "messaging/comserver.h"
#include "messaging/lockedtext.h"
#include "messaging/messagetable.h"
#include "messaging/outboxstore.h"
#include "messaging/popupwin.h"
#include "messaging/serverslist.h"
#include "messaging/tcpserver.h"
#include "platform/guid.h"

#include <QHash>
#include <mutex>

TNActivateSendThread* ActivateSendThread = nullptr;

namespace {
constexpr int kDispatchWaitMs = 2000;

TNLockedText& LastError()
{
    static TNLockedText text;
    return text;
}

std::mutex& FactoryLock()
{
    static std::mutex lock;
    return lock;
}

QHash<qint32, TLinkFactory>& Factories()
{
    static QHash<qint32, TLinkFactory> factories{
        {SERVER_TYPE_TCP_NO,
         [](const QString& name, qint32 port, const QString& localIp) -> TBaseServer* {
             return new TTcpServer(name, port, localIp);
         }},
        {SERVER_TYPE_COM_NO,
         [](const QString& name, qint32, const QString&) -> TBaseServer* { return new TComServer(name); }}};
    return factories;
}

QString CannotSendTail()
{
    return QStringLiteral(
        "\r\rMessages can't be sent from the OutBox.\r\r(Corresponding messages are deleted from the OutBox).");
}
}  // namespace

void RegisterLinkFactory(qint32 serverTypeNo, TLinkFactory factory)
{
    std::lock_guard<std::mutex> guard(FactoryLock());
    Factories().insert(serverTypeNo, std::move(factory));
}

TBaseServer* CreateLink(qint32 serverTypeNo, const QString& name, qint32 portNo, const QString& localIp)
{
    TLinkFactory factory;
    {
        std::lock_guard<std::mutex> guard(FactoryLock());
        factory = Factories().value(serverTypeNo);
    }
    return factory ? factory(name, portNo, localIp) : nullptr;
}

QString LastErrorText()
{
    return LastError().Get();
}

QString ConnectFailureText(TConnectResult result, const TBaseServer& link, const QString& lastErrorText)
{
    return ConnectFailureText(result, link.GetHostName(), link.GetIpAddress(), link.GetPortNo(), lastErrorText);
}

QString ConnectFailureText(TConnectResult result, const QString& hostName, const QString& ipAddress, qint32 port,
                           const QString& lastErrorText)
{
    const QString host = QStringLiteral("Error trying to connect to the Server at Host = \"%1\"").arg(hostName);
    const QString tcp =
        QStringLiteral("Error trying to connect to the Server at IP Address= %1, Port=%2").arg(ipAddress).arg(port);
    switch (result) {
        case crNoListener:
            return tcp + QStringLiteral("\r\r : No listening socket at that address!!!") + CannotSendTail();
        case crLogonFailed:
            return tcp + QStringLiteral("\r\rFollowing Error message received: \"%1\"").arg(lastErrorText) +
                   CannotSendTail();
        case crHostUnreachable:
            return host +
                   QStringLiteral("\r\r : Check if that workstation is accessible in your Network Neighbourhood!!!") +
                   CannotSendTail();
        case crNotInstalled:
            return host +
                   QStringLiteral("\r\r : There doesn't seem to be TovixServer installed on that workstation!!!") +
                   CannotSendTail();
        default:
            return host + QStringLiteral("\r\rFollowing Error message received: \"%1\"").arg(lastErrorText) +
                   CannotSendTail();
    }
}

QString GetAppID()
{
    if (!Options)
        return QString();
    TNOption* option = Options->FindOption(QStringLiteral("AppID"));
    if (!option)
        return QString();
    QString appId = option->AsString().left(38);
    if (appId.isEmpty()) {
        appId = CreateGUIDText();
        option->SetValue(appId);
        try {
            Options->SaveToFile();
        } catch (const std::exception& e) {
            // The identity holds for this run; the options module writes it
            // again (and reports a failure) when the program ends.
            qWarning("GetAppID: %s", e.what());
        }
    }
    return appId;
}

TNActivateSendThread::TNActivateSendThread() : TNThread(true, QStringLiteral("TNActivateSendThread")) {}

TNActivateSendThread::~TNActivateSendThread()
{
    Terminate();
    m_event.Wake();
    WaitFor();
}

bool TNActivateSendThread::Stop(int timeoutMs)
{
    Terminate();
    m_event.Wake();
    {
        std::lock_guard<std::mutex> guard(m_connectingLock);
        if (m_connecting)
            m_connecting->AbortConnect();
    }
    return WaitFor(timeoutMs);
}

void TNActivateSendThread::Execute()
{
    QString path;
    while (!Terminated()) {
        if (m_event.WaitFor(kDispatchWaitMs) != TNSynchroEvent::srSignaled)
            continue;
        if (!m_event.Take())
            continue;  // woken only to notice a stop request
        path = CurrentSendSettings().LocalDatabasePath;
        try {
            QSqlDatabase db = ThreadDatabase(path);
            Dispatch(db);
        } catch (const std::exception& e) {
            PostShowPopup(QStringLiteral("The OutBox could not be read; nothing was sent.\r\rReason: %1")
                              .arg(QString::fromUtf8(e.what())),
                          pkError);
        }
        ReleaseSendWork();
    }
    if (!path.isEmpty())
        CloseThreadDatabase(path);
}

TConnectResult TNActivateSendThread::ConnectLink(TBaseServer& link)
{
    {
        std::lock_guard<std::mutex> guard(m_connectingLock);
        m_connecting = &link;
        if (Terminated())
            link.AbortConnect();
    }
    const TConnectResult result = link.SafeConnect(kLogonTimeoutMs);
    std::lock_guard<std::mutex> guard(m_connectingLock);
    m_connecting = nullptr;
    return result;
}

namespace {
// An endpoint whose connection failed: its report and the removal of its
// messages.
struct TFailedEndpoint {
    qint32 Type = 0;
    QString Name;
    qint32 Port = 0;
    QString Text;
};

// Wakes the listed link of an endpoint, if it is still listed.
void RequestBatchOf(qint32 type, const QString& name, qint32 port, const QString& localIp)
{
    TNReadGuard guard(ServersList.Lock());
    if (TBaseServer* link = ServersList.FindServer(type, name, port, name, localIp))
        link->RequestBatch();
}
}  // namespace

void TNActivateSendThread::Dispatch(QSqlDatabase& db)
{
    const QString localIp = CurrentSendSettings().LocalIpAddress;
    // Endpoints with rows still to send: rows that wait only for their
    // delivery reports need no connection.
    TNEndpointList endpoints;
    OutBox::GetPendingServers(db, endpoints, true);
    // Every endpoint is connected (or found) first; the failed endpoints'
    // messages are removed next, and only then is any link woken, so no
    // link starts sending a row that the removal takes away.
    TNEndpointList ready;
    QList<TFailedEndpoint> failed;
    for (const TNEndpointEntry& entry : std::as_const(endpoints)) {
        if (Terminated())
            return;
        const qint32 type = EndpointServerType(entry.Tag);
        const qint32 port = type == SERVER_TYPE_TCP_NO ? EndpointPort(entry.Tag) : 0;
        {
            TNReadGuard guard(ServersList.Lock());
            if (ServersList.FindServer(type, entry.Name, port, entry.Name, localIp)) {
                ready << entry;
                continue;
            }
        }
        std::unique_ptr<TBaseServer> link(CreateLink(type, entry.Name, port, localIp));
        if (!link) {
            // No link of this kind can be made here (a server type no link
            // serves): reported as a server that is not installed.
            failed << TFailedEndpoint{type, entry.Name, port,
                                      ConnectFailureText(crNotInstalled, entry.Name, entry.Name, port, QString())};
            continue;
        }
        link->SetTesting(true);
        TConnectResult result = ConnectLink(*link);
        const QString errorText = link->ErrorText();
        LastError().Set(errorText);
        if (result != crConnected && Terminated())
            return;  // cut short by shut-down: nothing to report
        if (result == crConnected) {
            if (ServersList.AddConnected(link.get())) {
                // Listed: ServersList's owner frees it from now on.
                TNReadGuard guard(ServersList.Lock());
                if (ServersList.IndexOf(link.get()) >= 0)
                    link->SetTesting(false);
                link.release();
                ready << entry;
                continue;
            }
            result = link->UnmappedErrorResult();  // the server closed the connection at once
        }
        failed << TFailedEndpoint{type, entry.Name, port, ConnectFailureText(result, *link, errorText)};
        // Freed here, which also closes a connection whose logon failed.
        link.reset();
    }
    for (const TFailedEndpoint& endpoint : std::as_const(failed)) {
        PostShowPopup(endpoint.Text, pkError);
        try {
            DropUnsentMessagesOfEndpoint(db, endpoint.Type, endpoint.Name, endpoint.Port);
        } catch (const std::exception& e) {
            // They stay queued; the next send tries the endpoint again.
            PostShowPopup(QStringLiteral("The messages for the failed Server could not be removed from the "
                                         "OutBox.\r\rReason: %1")
                              .arg(QString::fromUtf8(e.what())),
                          pkError);
        }
    }
    for (const TNEndpointEntry& entry : std::as_const(ready)) {
        const qint32 type = EndpointServerType(entry.Tag);
        RequestBatchOf(type, entry.Name, type == SERVER_TYPE_TCP_NO ? EndpointPort(entry.Tag) : 0, localIp);
    }
}

void CreateDispatcher()
{
    if (!ActivateSendThread)
        ActivateSendThread = new TNActivateSendThread();
}

bool StopDispatcher(int timeoutMs)
{
    // The last connection's error belongs to this run only.
    struct TClearLastError {
        ~TClearLastError() { LastError().Set(QString()); }
    } clearLastError;
    if (!ActivateSendThread)
        return true;
    const bool stopped = ActivateSendThread->Stop(timeoutMs);
    if (stopped)
        delete ActivateSendThread;
    else
        qWarning("The dispatcher did not stop within %d ms", timeoutMs);
    ActivateSendThread = nullptr;
    return stopped;
}
