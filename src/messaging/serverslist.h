#pragma once
// ServersList: the live links, one per server endpoint, and the rules of
// their lifetime.
//
// Owner of a listed link: the list's owner on the main thread. A link is
// freed only after it has been unlisted under the write lock, so a thread
// that finds a link under the read lock may use it until it releases the
// lock. The receive thread of a link whose server closed the connection only
// unlists it (TransportClosed) and hands it to the graveyard, which the main
// thread empties (ReapClosedLinks); it never frees its own link. A link that
// closed before it was listed is never listed (AddConnected refuses it) and
// stays with whoever made it.

#include "foundation/threadsharedlist.h"
#include "messaging/baseserver.h"

#include <QString>

class TNServersList : public TNBaseThreadSharedList<TBaseServer> {
public:
    TNServersList() : TNBaseThreadSharedList(false, false, false, false, 10, false, 50) {}

    // The link of an endpoint, or nullptr; only links of the endpoint's own
    // server type match. A TCP link matches by its whole address text (as
    // the out-box rows hold it) and port, where
    // 127.0.0.1 and the host's own address (LocalIp) are the same address.
    // The caller holds the read lock.
    TBaseServer* FindServer(qint32 typeNo, const QString& ipAddress, qint32 portNo, const QString& hostName,
                            const QString& localIp) const;

    // Lists a connected link, unless its transport has already closed.
    // False: not listed; the caller still owns the link. Takes the write lock.
    bool AddConnected(TBaseServer* link);
    // The link's transport has closed (its receive thread). Takes the write
    // lock; a listed link is unlisted and handed to the main thread to be
    // freed; the receive thread may then touch only the link's own members,
    // as the link's destructor joins it before they go. True when the link
    // was listed (and is now on its way to be freed).
    bool TransportClosed(TBaseServer* link);
    // Main thread: unlists Link and frees it. Link may be a stale value from
    // a posted message: it is compared, never used, unless it is listed.
    // False (nothing happens) when it is not listed, or when Serial is not 0
    // and the listed link at that address is another (later) one.
    bool RemoveAndFreeServer(TBaseServer* link, bool disconnect = false, quint64 serial = 0);
    // Shut-down, main thread: unlists every link and frees it with those of
    // the graveyard, waiting for their threads up to TimeoutMs in all (-1:
    // without limit). A link whose threads did not end by then is left as
    // it is, never freed; returns how many were.
    int FreeAll(int timeoutMs = -1);
    // Listed links (takes the read lock).
    int LiveCount();
};

extern TNServersList ServersList;

// Main thread: frees the links whose transport closed since the last call.
void ReapClosedLinks();
// Links waiting in the graveyard.
int ClosedLinksWaiting();

// 127.0.0.1 or the host's own address.
bool IsLocalAddress(const QString& ipAddress, const QString& localIp);
// Main thread: RemoveAndFreeServer on ServersList.
bool RemoveAndFreeServer(TBaseServer* link);
// Main thread, WM_CLOSE_CONNECTION_REQUEST: the link named by its address
// and serial is disconnected, unlisted and freed, if it is still listed.
bool CloseRequestedLink(TBaseServer* link, quint64 serial);
