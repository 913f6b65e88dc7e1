#include "messaging/tovixserver.h"

#include "messaging/automationnames.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QThread>
#include <atomic>

// Receives the server's signals on the component's event thread and hands
// them to the component's handlers.
class TTovixServerEvents : public QObject {
    Q_OBJECT
public:
    explicit TTovixServerEvents(TTovixServer& owner) : m_owner(owner) {}

public Q_SLOTS:
    void ReplyMessage(const QString& text)
    {
        if (m_owner.OnReplyMessage)
            m_owner.OnReplyMessage(text);
    }
    void ServerStarted() { Raise(m_owner.OnServerStarted); }
    void ServerStopped() { Raise(m_owner.OnServerStopped); }
    void CloseConnectionRequest() { Raise(m_owner.OnCloseConnectionRequest); }
    void NameOwnerChanged(const QString& name, const QString& oldOwner, const QString&)
    {
        if (name == m_owner.m_serviceName && !oldOwner.isEmpty())
            Raise(m_owner.OnServerGone);
    }

private:
    static void Raise(const std::function<void()>& handler)
    {
        if (handler)
            handler();
    }

    TTovixServer& m_owner;
};

namespace {
struct TEventSlot {
    const char* name;
    const char* slot;
};

const TEventSlot kEventSlots[] = {
    {"ReplyMessage", SLOT(ReplyMessage(QString))},
    {"ServerStarted", SLOT(ServerStarted())},
    {"ServerStopped", SLOT(ServerStopped())},
    {"CloseConnectionRequest", SLOT(CloseConnectionRequest())},
};

QString BusService()
{
    return QStringLiteral("org.freedesktop.DBus");
}

QString BusPath()
{
    return QStringLiteral("/org/freedesktop/DBus");
}

const char* const kOwnerChangedSlot = SLOT(NameOwnerChanged(QString, QString, QString));

QString NextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("TovixServer-%1").arg(++counter);
}

QString NotConnectedText()
{
    return QStringLiteral(
        "DefaultInterface is NULL. Component is not connected to Server. You must call \"Connect\" or "
        "\"ConnectTo\" before this operation");
}

EAutomationError ErrorOf(const QDBusError& error)
{
    const QString text = error.name() + QStringLiteral(": ") + error.message();
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
            return EAutomationError(kClassNotRegistered, text);
        case QDBusError::Disconnected:
            return EAutomationError(kServerUnavailable, text);
        default:
            return EAutomationError(kAutomationFailure, text);
    }
}

QDBusMessage BusCall(QDBusConnection& bus, const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(BusService(), BusPath(), BusService(), method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, TTovixServer::kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw ErrorOf(QDBusError(reply));
    return reply;
}

// Attach to the running server, else have the bus start it.
void Attach(QDBusConnection& bus, const QString& service)
{
    if (BusCall(bus, QStringLiteral("NameHasOwner"), {service}).arguments().value(0).toBool())
        return;
    BusCall(bus, QStringLiteral("StartServiceByName"), {service, 0u});
}
}  // namespace

TTovixServer::TTovixServer(const QString& serviceName)
    : m_serviceName(serviceName), m_connectionName(NextConnectionName()), m_eventThread(std::make_unique<QThread>())
{
    m_eventThread->setObjectName(QStringLiteral("TovixServerEvents"));
    m_events = new TTovixServerEvents(*this);
    m_events->moveToThread(m_eventThread.get());
    m_eventThread->start();
}

TTovixServer::~TTovixServer()
{
    Disconnect();
    m_eventThread->quit();
    m_eventThread->wait();
    delete m_events;  // its thread has ended: events still queued go with it
}

QDBusConnection TTovixServer::Bus() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_connected ? QDBusConnection(m_connectionName) : QDBusConnection(QString());
}

bool TTovixServer::Connected() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_connected;
}

void TTovixServer::Connect()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_connected)
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
    if (!bus.isConnected()) {
        const QString reason = bus.lastError().message();
        QDBusConnection::disconnectFromBus(m_connectionName);
        throw EAutomationError(kServerUnavailable, QStringLiteral("The session bus cannot be reached: %1").arg(reason));
    }
    try {
        Attach(bus, m_serviceName);
        Subscribe(bus);
    } catch (...) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        throw;
    }
    m_connected = true;
}

void TTovixServer::Disconnect()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_connected)
        return;
    QDBusConnection bus(m_connectionName);
    Unsubscribe(bus);
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_connected = false;
}

void TTovixServer::FlushEvents()
{
    if (QThread::currentThread() == m_eventThread.get() || !m_eventThread->isRunning())
        return;
    QMetaObject::invokeMethod(
        m_events, [] {}, Qt::BlockingQueuedConnection);
}

void TTovixServer::Subscribe(QDBusConnection& bus)
{
    for (const TEventSlot& event : kEventSlots)
        if (!bus.connect(m_serviceName, AutomationObjectPath(), AutomationInterfaceName(),
                         QString::fromLatin1(event.name), m_events, event.slot))
            throw EAutomationError(kAutomationFailure,
                                   QStringLiteral("Cannot receive the server's event %1: %2")
                                       .arg(QString::fromLatin1(event.name), bus.lastError().message()));
    if (!bus.connect(BusService(), BusPath(), BusService(), QStringLiteral("NameOwnerChanged"), {m_serviceName},
                     QString(), m_events, kOwnerChangedSlot))
        throw EAutomationError(kAutomationFailure,
                               QStringLiteral("Cannot watch the server's name: ") + bus.lastError().message());
}

void TTovixServer::Unsubscribe(QDBusConnection& bus)
{
    for (const TEventSlot& event : kEventSlots)
        bus.disconnect(m_serviceName, AutomationObjectPath(), AutomationInterfaceName(),
                       QString::fromLatin1(event.name), m_events, event.slot);
    bus.disconnect(BusService(), BusPath(), BusService(), QStringLiteral("NameOwnerChanged"), {m_serviceName},
                   QString(), m_events, kOwnerChangedSlot);
}

QDBusMessage TTovixServer::Method(const QString& name) const
{
    return QDBusMessage::createMethodCall(m_serviceName, AutomationObjectPath(), AutomationInterfaceName(), name);
}

QDBusMessage TTovixServer::Call(const QDBusMessage& message)
{
    Connect();
    QDBusConnection bus = Bus();
    if (!bus.isConnected())
        throw EAutomationError(kAutomationFailure, NotConnectedText());
    const QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw ErrorOf(QDBusError(reply));
    return reply;
}

void TTovixServer::PostClientMessage(const QString& text)
{
    QDBusMessage message = Method(QStringLiteral("PostClientMessage"));
    message << text;
    Call(message);
}

void TTovixServer::StartServer()
{
    Call(Method(QStringLiteral("StartServer")));
}

bool TTovixServer::ServerRunning()
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(m_serviceName, AutomationObjectPath(),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << AutomationInterfaceName() << QStringLiteral("ServerRunning");
    const QVariant value = Call(message).arguments().value(0);
    return value.value<QDBusVariant>().variant().toBool();
}

void TTovixServer::SetProperty(const QString& name, const QString& value)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(m_serviceName, AutomationObjectPath(),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    message << AutomationInterfaceName() << name << QVariant::fromValue(QDBusVariant(value));
    Call(message);
}

void TTovixServer::SetClientHostName(const QString& name)
{
    SetProperty(QStringLiteral("ClientHostName"), name);
}

void TTovixServer::SetClientIpAddress(const QString& address)
{
    SetProperty(QStringLiteral("ClientIpAddress"), address);
}

#include "tovixserver.moc"
