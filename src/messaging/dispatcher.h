#pragma once
// The dispatcher: one thread for the whole program that, whenever a send
// starts, collects the distinct server endpoints of the out-box, finds the
// live link of each or makes and connects a new one, and wakes the link's
// send thread. A connection that fails is reported in an error popup and
// the messages with rows for that endpoint leave the out-box.
//
// The dispatcher works on its own database connection and never waits for
// the main thread, so shut-down can stop and join it (StopDispatcher) while
// the main thread waits. It owns a new link until the link is listed; a link
// that failed to connect (no listener, logon refused or unanswered, an
// unexpected error) is freed by the dispatcher, which also closes its
// connection.

#include "messaging/baseserver.h"
#include "messaging/sendcycle.h"
#include "platform/threads.h"

#include <QString>
#include <functional>
#include <mutex>

class TNActivateSendThread : public TNThread {
public:
    TNActivateSendThread();  // created suspended
    ~TNActivateSendThread() override;

    // The wake-up that SendOutBox requests.
    TNWorkSignal& Event() { return m_event; }
    // Asks the thread to stop and waits up to TimeoutMs; true when it ended.
    bool Stop(int timeoutMs);

protected:
    void Execute() override;

private:
    void Dispatch(QSqlDatabase& db);
    TConnectResult ConnectLink(TBaseServer& link);

    TNWorkSignal m_event;
    // The link being connected, so Stop can cut its waits short.
    std::mutex m_connectingLock;
    TBaseServer* m_connecting = nullptr;
};

// The one dispatcher, made suspended at program start (CreateDispatcher)
// and resumed by the first send.
extern TNActivateSendThread* ActivateSendThread;
void CreateDispatcher();
// Stops and joins the dispatcher within TimeoutMs and frees it; a thread
// that does not end in time is left running (never freed under it): false
// then.
bool StopDispatcher(int timeoutMs);

// The ErrorText of the last link the dispatcher tried to connect.
QString LastErrorText();

// Makes the link of an endpoint of a server type (the automation link
// registers itself for type 2 when it is built). Nullptr: type not served.
using TLinkFactory = std::function<TBaseServer*(const QString& name, qint32 portNo, const QString& localIp)>;
void RegisterLinkFactory(qint32 serverTypeNo, TLinkFactory factory);
// A new link of the type through its registered factory, owned by the
// caller (a connection test); nullptr when the type is not served.
TBaseServer* CreateLink(qint32 serverTypeNo, const QString& name, qint32 portNo, const QString& localIp);

// The text of the error popup for a failed connection of Link.
QString ConnectFailureText(TConnectResult result, const TBaseServer& link, const QString& lastErrorText);
QString ConnectFailureText(TConnectResult result, const QString& hostName, const QString& ipAddress, qint32 port,
                           const QString& lastErrorText);

// The installation's identity: the option AppID, made (a new GUID, saved to
// "Settings.ini" at once) when it is empty. Main thread.
QString GetAppID();
