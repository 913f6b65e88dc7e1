#include "simdbusdoor.h"

#include "messaging/automationnames.h"
#include "messaging/framecutter.h"
#include "messaging/protocol.h"
#include "platform/codepage.h"
#include "platform/commatext.h"
#include "simcore.h"
#include "simframelog.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QMap>
#include <QTimer>
#include <algorithm>
#include <atomic>

namespace {
QString PropertiesInterface()
{
    return QStringLiteral("org.freedesktop.DBus.Properties");
}

QString NextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("PagingServerSimDoor-%1").arg(++counter);
}

QString ErrorName(const char* name)
{
    return QStringLiteral("org.tovix.PagingServer.Error.") + QLatin1String(name);
}
}  // namespace

TSimDbusDoor::TSimDbusDoor(TSimCore& core, TSimFrameLog& log, QObject* parent)
    : QDBusVirtualObject(parent),
      m_core(core),
      m_log(log),
      m_connectionName(NextConnectionName()),
      m_bus(QString()),
      m_running(core.Options().engine == TSimEngine::Running)
{
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& name) {
        EndConversation(name);
        m_closed.remove(name);
        m_watcher.removeWatchedService(name);
    });
    connect(&m_broadcastTimer, &QTimer::timeout, this, [this] { Broadcast(m_core.Options().broadcastText); });
}

TSimDbusDoor::~TSimDbusDoor()
{
    const QList<QString> senders = m_clients.keys();
    for (const QString& sender : senders)
        EndConversation(sender);
    if (m_bus.isConnected()) {
        if (!m_busName.isEmpty())
            m_bus.unregisterService(m_busName);
        m_bus.unregisterObject(AutomationObjectPath());
    }
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool TSimDbusDoor::Open(const QString& busName, QString* errorText)
{
    auto fail = [&](const QString& text) {
        if (errorText)
            *errorText = text;
        return false;
    };
    m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
    if (!m_bus.isConnected())
        return fail(QStringLiteral("The session bus cannot be reached: ") + m_bus.lastError().message());
    if (!m_bus.registerVirtualObject(AutomationObjectPath(), this, QDBusConnection::SingleNode))
        return fail(QStringLiteral("Cannot put the object up at ") + AutomationObjectPath());
    if (!m_bus.registerService(busName))
        return fail(QStringLiteral("Cannot take the bus name %1: %2").arg(busName, m_bus.lastError().message()));
    m_busName = busName;
    m_watcher.setConnection(m_bus);
    if (const int every = m_core.Options().broadcastEveryMs; every > 0)
        m_broadcastTimer.start(every);
    return true;
}

QString TSimDbusDoor::introspect(const QString&) const
{
    return QStringLiteral(
               "  <interface name=\"%1\">\n"
               "    <annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"false\"/>\n"
               "    <method name=\"PostClientMessage\"><arg name=\"frame\" type=\"s\" direction=\"in\"/></method>\n"
               "    <method name=\"StartServer\"/>\n"
               "    <property name=\"ServerRunning\" type=\"b\" access=\"read\"/>\n"
               "    <property name=\"ClientHostName\" type=\"s\" access=\"write\"/>\n"
               "    <property name=\"ClientIpAddress\" type=\"s\" access=\"write\"/>\n"
               "    <signal name=\"ReplyMessage\"><arg name=\"frames\" type=\"s\"/></signal>\n"
               "    <signal name=\"ServerStarted\"/>\n"
               "    <signal name=\"ServerStopped\"/>\n"
               "    <signal name=\"CloseConnectionRequest\"/>\n"
               "  </interface>\n")
        .arg(AutomationInterfaceName());
}

bool TSimDbusDoor::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    if (message.interface() == PropertiesInterface())
        return OnProperties(message);
    if (!message.interface().isEmpty() && message.interface() != AutomationInterfaceName())
        return false;  // introspection and the other standard interfaces
    QDBusMessage reply;
    if (message.member() == QLatin1String("PostClientMessage") && message.signature() == QLatin1String("s")) {
        if (m_closed.contains(message.service())) {
            reply = message.createErrorReply(ErrorName("Closed"), QStringLiteral("The server closed this connection"));
        } else if (m_running) {
            OnPost(message.service(), message.arguments().value(0).toString());
            reply = message.createReply();
        } else {
            reply =
                message.createErrorReply(ErrorName("NotRunning"), QStringLiteral("The paging engine is not running"));
        }
    } else if (message.member() == QLatin1String("StartServer") && message.signature().isEmpty()) {
        OnStartServer();
        reply = message.createReply();
    } else {
        reply = message.createErrorReply(
            QDBusError::UnknownMethod, QStringLiteral("No method %1 (%2)").arg(message.member(), message.signature()));
    }
    connection.send(reply);
    return true;
}

bool TSimDbusDoor::OnProperties(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.value(0).toString() != AutomationInterfaceName())
        return false;
    const QString member = message.member();
    const QString name = args.value(1).toString();
    QDBusMessage reply;
    if (member == QLatin1String("GetAll")) {
        reply = message.createReply(QVariant::fromValue(QVariantMap{{QStringLiteral("ServerRunning"), m_running}}));
    } else if (member == QLatin1String("Get") && name == QLatin1String("ServerRunning")) {
        reply = message.createReply(QVariant::fromValue(QDBusVariant(m_running)));
    } else if (member == QLatin1String("Set") &&
               (name == QLatin1String("ClientHostName") || name == QLatin1String("ClientIpAddress"))) {
        TClient& client = ClientFor(message.service());
        const QString value = args.value(2).value<QDBusVariant>().variant().toString();
        (name == QLatin1String("ClientHostName") ? client.hostName : client.ipAddress) = value;
        reply = message.createReply();
    } else if (member == QLatin1String("Get") || member == QLatin1String("Set")) {
        reply = message.createErrorReply(QDBusError::AccessDenied,
                                         QStringLiteral("Property %1 cannot be used that way").arg(name));
    } else {
        return false;
    }
    m_bus.send(reply);
    return true;
}

TSimDbusDoor::TClient& TSimDbusDoor::ClientFor(const QString& sender)
{
    auto it = m_clients.find(sender);
    if (it == m_clients.end()) {
        TClient client;
        client.id = m_core.OpenConnection();
        m_log.Add(client.id, TSimDirection::Open);
        it = m_clients.insert(sender, client);
        m_watcher.addWatchedService(sender);
    }
    return *it;
}

void TSimDbusDoor::EndConversation(const QString& sender)
{
    const auto it = m_clients.find(sender);
    if (it == m_clients.end())
        return;
    const int id = it->id;
    // Replies still waiting for their delay never go in this conversation.
    QList<int> order = it->timed.keys();
    std::sort(order.begin(), order.end());
    for (int timed : std::as_const(order))
        m_core.HoldReports(id, it->timed.value(timed));
    m_clients.erase(it);
    m_watcher.removeWatchedService(sender);
    m_core.CloseConnection(id);
    m_log.Add(id, TSimDirection::Close);
}

void TSimDbusDoor::OnPost(const QString& sender, const QString& text)
{
    const int id = ClientFor(sender).id;
    TFrameCutter cutter;
    cutter.Append(ToCodePage(text));
    QList<TClientRawInMessage> frames;
    cutter.Split(frames);
    for (const TClientRawInMessage& frame : frames) {
        m_log.Add(id, TSimDirection::In, frame.Fields);
        Schedule(sender, id, m_core.OnFrame(id, frame.Fields));
    }
}

void TSimDbusDoor::OnStartServer()
{
    ++m_startRequests;
    const TSimOptions o = m_core.Options();
    if (m_running || m_starting || o.engine == TSimEngine::Never)
        return;
    m_starting = true;
    QTimer::singleShot(o.engineStartDelayMs, this, [this] {
        m_running = true;
        m_starting = false;
        Signal(QString(), QStringLiteral("ServerStarted"));
    });
}

// Replies of equal delay leave together, in their order. The later ones are
// set up first: a close among the first holds them.
void TSimDbusDoor::Schedule(const QString& sender, int id, const QList<TSimReply>& replies)
{
    QMap<int, QList<TSimReply>> byDelay;
    for (const TSimReply& reply : replies)
        byDelay[reply.delayMs].append(reply);
    const auto client = m_clients.find(sender);
    if (client == m_clients.end() || client->id != id)
        return;  // that conversation has ended
    for (auto it = byDelay.cbegin(); it != byDelay.cend(); ++it) {
        if (it.key() <= 0)
            continue;
        const int timed = ++client->lastTimed;
        client->timed.insert(timed, it.value());
        QTimer::singleShot(it.key(), Qt::PreciseTimer, this, [this, sender, id, timed] {
            const auto due = m_clients.find(sender);
            if (due != m_clients.end() && due->id == id)
                Carry(sender, id, due->timed.take(timed));
        });
    }
    Carry(sender, id, byDelay.value(0));
}

void TSimDbusDoor::Carry(const QString& sender, int id, const QList<TSimReply>& replies)
{
    const auto it = m_clients.constFind(sender);
    if (it == m_clients.cend() || it->id != id)
        return;  // that conversation has ended
    const bool join = m_core.Options().joinFrames;
    QString joined;
    for (qsizetype i = 0; i < replies.size(); ++i) {
        const TSimReply& reply = replies[i];
        if (!reply.line.isEmpty()) {
            m_log.Add(id, TSimDirection::Out, CommaTextToList(reply.line));
            const QString frame = FromCodePage(FrameLine(reply.line));
            if (join)
                joined += frame;
            else
                SendEvent(sender, frame);
        }
        if (reply.close) {
            if (!joined.isEmpty())
                SendEvent(sender, joined);
            m_core.HoldReports(id, replies.mid(i + 1));
            RequestClose(sender);
            return;
        }
    }
    if (!joined.isEmpty())
        SendEvent(sender, joined);
}

void TSimDbusDoor::SendEvent(const QString& sender, const QString& text)
{
    const auto it = m_clients.find(sender);
    if (it == m_clients.end())
        return;
    const int split = m_core.Options().eventSplit;
    if (++it->events == split) {
        // End this event inside its last frame; the rest follows alone.
        const qsizetype last = std::max<qsizetype>(0, text.lastIndexOf(QStringLiteral("\r\n\r")));
        const qsizetype cut = last + (text.size() - last) / 2;
        Signal(sender, QStringLiteral("ReplyMessage"), {text.left(cut)});
        Signal(sender, QStringLiteral("ReplyMessage"), {text.mid(cut)});
        return;
    }
    Signal(sender, QStringLiteral("ReplyMessage"), {text});
}

void TSimDbusDoor::Signal(const QString& destination, const QString& name, const QVariantList& arguments)
{
    QDBusMessage signal =
        destination.isEmpty()
            ? QDBusMessage::createSignal(AutomationObjectPath(), AutomationInterfaceName(), name)
            : QDBusMessage::createTargetedSignal(destination, AutomationObjectPath(), AutomationInterfaceName(), name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

void TSimDbusDoor::RequestClose(const QString& sender)
{
    Signal(sender, QStringLiteral("CloseConnectionRequest"));
    EndConversation(sender);
    m_closed.insert(sender);
    m_watcher.addWatchedService(sender);
}

int TSimDbusDoor::Broadcast(const QString& text)
{
    const QList<QString> senders = m_clients.keys();
    for (const QString& sender : senders)
        Carry(sender, m_clients.value(sender).id, {{BroadcastLine(text), 0}});
    return static_cast<int>(senders.size());
}

void TSimDbusDoor::CloseAll()
{
    const QList<QString> senders = m_clients.keys();
    for (const QString& sender : senders)
        RequestClose(sender);
}
