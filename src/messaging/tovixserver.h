#pragma once
// TTovixServer: the client component of the paging server's automation door
// (automationnames.h), a D-Bus object on the session bus.
//
// Connect attaches to the running server, or else asks the bus to start it
// by activation. Failures raise EAutomationError with a code in the manner
// of an automation error:
//   kClassNotRegistered   the name has no owner and cannot be activated
//   kServerUnavailable    the session bus cannot be reached
//   kAutomationFailure    any other D-Bus error (its name and text)
// Each component opens a bus connection of its own, so every link is a
// conversation of its own at the server.
//
// Threads: Connect, Disconnect and the calls may come from any thread (the
// dispatcher, the send thread, the main thread). The events arrive, in the
// order the server sent them, on the component's own event thread; the
// handlers are set before Connect and left alone while connected. The
// destructor disconnects and joins the event thread, so no handler runs
// once it has returned.

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

class QDBusMessage;
class QThread;
class TTovixServerEvents;

constexpr quint32 kClassNotRegistered = 0x80040154u;
constexpr quint32 kServerUnavailable = 0x800706BAu;
constexpr quint32 kAutomationFailure = 0x80004005u;

class EAutomationError : public std::runtime_error {
public:
    EAutomationError(quint32 code, const QString& text) : std::runtime_error(text.toStdString()), m_code(code) {}
    quint32 Code() const { return m_code; }

private:
    quint32 m_code;
};

class TTovixServer {
public:
    explicit TTovixServer(const QString& serviceName);
    ~TTovixServer();
    TTovixServer(const TTovixServer&) = delete;
    TTovixServer& operator=(const TTovixServer&) = delete;

    // The host the link is for; it labels the link (the door is always
    // reached on the local session bus).
    QString RemoteMachineName() const { return m_remoteMachineName; }
    void SetRemoteMachineName(const QString& name) { m_remoteMachineName = name; }
    QString ServiceName() const { return m_serviceName; }

    std::function<void(const QString&)> OnReplyMessage;
    std::function<void()> OnServerStarted;
    std::function<void()> OnServerStopped;
    std::function<void()> OnCloseConnectionRequest;
    // The server's bus name lost its owner: the server has ended (or was
    // replaced), and with it the conversation.
    std::function<void()> OnServerGone;

    // Attaches (or activates) the server and subscribes to its events;
    // nothing when connected already.
    void Connect();
    // Drops the subscription and the bus connection; calls fail afterwards
    // until the next Connect.
    void Disconnect();
    bool Connected() const;
    // Returns once every event that arrived before the call has been handed
    // to its handler (nothing on the event thread itself). The bus delivers
    // a connection's messages in order, so after a failed call the events
    // the server sent before failing it have been handled.
    void FlushEvents();

    void PostClientMessage(const QString& text);
    void StartServer();
    bool ServerRunning();
    void SetClientHostName(const QString& name);
    void SetClientIpAddress(const QString& address);

    // The longest one call may wait for its answer (activation included).
    static constexpr int kCallTimeoutMs = 10000;

private:
    friend class TTovixServerEvents;
    QDBusConnection Bus() const;
    QDBusMessage Call(const QDBusMessage& message);
    QDBusMessage Method(const QString& name) const;
    void SetProperty(const QString& name, const QString& value);
    void Subscribe(QDBusConnection& bus);
    void Unsubscribe(QDBusConnection& bus);

    const QString m_serviceName;
    const QString m_connectionName;
    QString m_remoteMachineName;
    mutable std::mutex m_lock;  // guards m_connected and the bus connection
    bool m_connected = false;
    std::unique_ptr<QThread> m_eventThread;
    TTovixServerEvents* m_events = nullptr;  // lives on m_eventThread
};
