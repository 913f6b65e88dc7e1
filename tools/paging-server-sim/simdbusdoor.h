#pragma once
// The simulator's automation door: the paging server's object on the D-Bus
// session bus (messaging/automationnames.h), beside the TCP door and on the
// same core and frame log.
//
// Every client (a bus connection, known by its unique name) is a
// conversation of its own: it opens at the client's first call and closes
// when the server asks the client to close (CloseConnectionRequest, where
// the TCP door closes the socket) or the client leaves the bus. A client
// asked to close is done on that bus connection, as a closed socket is:
// what it posts afterwards is refused (an error reply) and never answered;
// a new connection starts a new conversation. Frames come
// in through PostClientMessage and go back to that client alone as
// ReplyMessage events. Faults (simoptions.h): the engine stopped until
// StartServer or never running, a delay before it runs, frames that leave
// together joined in one event, and an event that ends inside a frame.
//
// Lives on the server's thread and is used only there; the bus delivers
// the calls to that thread.

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimer>

class TSimCore;
class TSimFrameLog;
struct TSimReply;

class TSimDbusDoor : public QDBusVirtualObject {
    Q_OBJECT
public:
    TSimDbusDoor(TSimCore& core, TSimFrameLog& log, QObject* parent = nullptr);
    ~TSimDbusDoor() override;

    // Connects to the session bus, puts the object up and takes BusName;
    // false with the reason when any of it fails.
    bool Open(const QString& busName, QString* errorText);

    // Sends a BROADCAST_MESSAGE to every open conversation; returns how many.
    int Broadcast(const QString& text);
    int OpenConnections() const { return static_cast<int>(m_clients.size()); }
    // Asks every client to close its connection.
    void CloseAll();
    bool EngineRunning() const { return m_running; }
    int StartRequests() const { return m_startRequests; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    struct TClient {
        int id = 0;
        int events = 0;  // ReplyMessage events sent in this conversation
        QString hostName;
        QString ipAddress;
        // Replies waiting for their delay, by a number of their own.
        QHash<int, QList<TSimReply>> timed;
        int lastTimed = 0;
    };

    TClient& ClientFor(const QString& sender);
    void EndConversation(const QString& sender);
    void OnPost(const QString& sender, const QString& text);
    void OnStartServer();
    bool OnProperties(const QDBusMessage& message);
    void Schedule(const QString& sender, int id, const QList<TSimReply>& replies);
    void Carry(const QString& sender, int id, const QList<TSimReply>& replies);
    void SendEvent(const QString& sender, const QString& text);
    void Signal(const QString& destination, const QString& name, const QVariantList& arguments = {});
    void RequestClose(const QString& sender);

    TSimCore& m_core;
    TSimFrameLog& m_log;
    const QString m_connectionName;
    QDBusConnection m_bus;
    QString m_busName;
    QDBusServiceWatcher m_watcher;
    QTimer m_broadcastTimer;
    QHash<QString, TClient> m_clients;
    // Clients asked to close, until they leave the bus.
    QSet<QString> m_closed;
    bool m_running = true;
    bool m_starting = false;
    int m_startRequests = 0;
};
