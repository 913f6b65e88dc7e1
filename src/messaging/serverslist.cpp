#include "messaging/serverslist.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QMetaObject>
#include <mutex>

TNServersList ServersList;

namespace {
struct TGraveyard {
    std::mutex lock;
    QList<TBaseServer*> links;
};

TGraveyard& Graveyard()
{
    static TGraveyard graveyard;
    return graveyard;
}

QString Localhost()
{
    return QStringLiteral("127.0.0.1");
}
}  // namespace

bool IsLocalAddress(const QString& ipAddress, const QString& localIp)
{
    return ipAddress == Localhost() || (!localIp.isEmpty() && ipAddress == localIp);
}

TBaseServer* TNServersList::FindServer(qint32 typeNo, const QString& ipAddress, qint32 portNo, const QString& hostName,
                                       const QString& localIp) const
{
    const QString& ip = ipAddress;
    for (int i = 0; i < Count(); ++i) {
        TBaseServer* link = GetItem(i);
        if (link->ServerTypeNo() != typeNo)
            continue;
        if (typeNo == SERVER_TYPE_TCP_NO) {
            const QString linkIp = link->EndpointAddress();
            const bool sameAddress = linkIp == ip || (IsLocalAddress(linkIp, localIp) && IsLocalAddress(ip, localIp));
            if (sameAddress && link->GetPortNo() == portNo)
                return link;
        } else if (link->GetHostName() == hostName) {
            return link;
        }
    }
    return nullptr;
}

bool TNServersList::AddConnected(TBaseServer* link)
{
    TNWriteGuard guard(Lock());
    if (link->m_closed)
        return false;
    Add(link);
    link->m_listed = true;
    return true;
}

bool TNServersList::TransportClosed(TBaseServer* link)
{
    bool handOver = false;
    {
        TNWriteGuard guard(Lock());
        link->m_closed = true;
        if (link->m_listed) {
            Remove(link);
            link->m_listed = false;
            handOver = true;
        }
    }
    if (!handOver)
        return false;  // its owner frees it
    {
        std::lock_guard<std::mutex> guard(Graveyard().lock);
        Graveyard().links.append(link);
    }
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { ReapClosedLinks(); }, Qt::QueuedConnection);
    return true;
}

bool TNServersList::RemoveAndFreeServer(TBaseServer* link, bool disconnect, quint64 serial)
{
    {
        TNWriteGuard guard(Lock());
        if (IndexOf(link) < 0 || (serial != 0 && link->Serial() != serial))
            return false;
        Remove(link);
        link->m_listed = false;
    }
    if (disconnect)
        link->Disconnect();
    delete link;
    return true;
}

int TNServersList::FreeAll(int timeoutMs)
{
    QList<TBaseServer*> links;
    {
        TNWriteGuard guard(Lock());
        while (Count() > 0) {
            TBaseServer* link = GetItem(Count() - 1);
            link->m_listed = false;
            Remove(link);
            links.append(link);
        }
    }
    {
        std::lock_guard<std::mutex> guard(Graveyard().lock);
        links += Graveyard().links;
        Graveyard().links.clear();
    }
    // Every link is asked first, so their threads end side by side.
    for (TBaseServer* link : std::as_const(links))
        link->StopThreads(0);
    const QDeadlineTimer deadline(timeoutMs);
    int left = 0;
    for (TBaseServer* link : std::as_const(links)) {
        if (link->StopThreads(int(deadline.remainingTime())))
            delete link;
        else
            ++left;  // its threads still use it
    }
    return left;
}

int TNServersList::LiveCount()
{
    TNReadGuard guard(Lock());
    return Count();
}

void ReapClosedLinks()
{
    QList<TBaseServer*> links;
    {
        std::lock_guard<std::mutex> guard(Graveyard().lock);
        links.swap(Graveyard().links);
    }
    for (TBaseServer* link : links)
        delete link;
}

int ClosedLinksWaiting()
{
    std::lock_guard<std::mutex> guard(Graveyard().lock);
    return int(Graveyard().links.size());
}

bool RemoveAndFreeServer(TBaseServer* link)
{
    return ServersList.RemoveAndFreeServer(link, true);
}

bool CloseRequestedLink(TBaseServer* link, quint64 serial)
{
    return ServersList.RemoveAndFreeServer(link, true, serial);
}
