#include "simtcpdoor.h"

#include "messaging/protocol.h"
#include "platform/commatext.h"
#include "simcore.h"
#include "simframelog.h"

#include <QMap>
#include <QTcpSocket>
#include <algorithm>

namespace {
// Stray bytes put before frames: no CR, so they never touch a marker.
constexpr QByteArrayView kGarbage{"#stray\x01 bytes\n#", 15};
}  // namespace

TSimTcpDoor::TSimTcpDoor(TSimCore& core, TSimFrameLog& log, QObject* parent) : QObject(parent), m_core(core), m_log(log)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TSimTcpDoor::OnNewConnection);
    connect(&m_broadcastTimer, &QTimer::timeout, this, &TSimTcpDoor::OnBroadcastTimer);
}

TSimTcpDoor::~TSimTcpDoor()
{
    m_broadcastTimer.stop();
    m_server.close();
    // Drop the connections without waiting for their writes.
    const QList<int> ids = m_connections.keys();
    for (int id : ids) {
        QTcpSocket* socket = m_connections.value(id).socket;
        socket->disconnect(this);
        socket->abort();
        delete socket;
        m_core.CloseConnection(id);
        m_log.Add(id, TSimDirection::Close);
    }
}

bool TSimTcpDoor::Listen(const QHostAddress& address, quint16 port, QString* errorText)
{
    if (!m_server.listen(address, port)) {
        if (errorText)
            *errorText = m_server.errorString();
        return false;
    }
    const int every = m_core.Options().broadcastEveryMs;
    if (every > 0)
        m_broadcastTimer.start(every);
    return true;
}

int TSimTcpDoor::Broadcast(const QString& text)
{
    int reached = 0;
    const QList<int> ids = m_connections.keys();
    for (int id : ids)
        if (!m_connections.value(id).closing) {
            SendLine(id, BroadcastLine(text));
            ++reached;
        }
    return reached;
}

void TSimTcpDoor::CloseAll()
{
    const QList<int> ids = m_connections.keys();
    for (int id : ids)
        Enqueue(id, TWrite{{}, true});
}

void TSimTcpDoor::OnNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // The server owns its sockets through the connection table.
        socket->setParent(nullptr);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const int id = m_core.OpenConnection();
        TConnection connection;
        connection.socket = socket;
        m_connections.insert(id, connection);
        m_log.Add(id, TSimDirection::Open);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { OnReadyRead(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { OnDisconnected(id); });
        if (socket->bytesAvailable() > 0)
            OnReadyRead(id);
    }
}

void TSimTcpDoor::OnReadyRead(int id)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    it->cutter.Append(it->socket->readAll());
    QList<TClientRawInMessage> frames;
    it->cutter.Split(frames);
    for (const TClientRawInMessage& frame : frames) {
        m_log.Add(id, TSimDirection::In, frame.Fields);
        Schedule(id, m_core.OnFrame(id, frame.Fields));
    }
}

void TSimTcpDoor::OnDisconnected(int id)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    QTcpSocket* socket = it->socket;
    HoldTimed(*it, id);
    m_connections.erase(it);
    m_core.CloseConnection(id);
    m_log.Add(id, TSimDirection::Close);
    socket->deleteLater();
}

// Replies of equal delay leave together, in their order. The later ones are
// set up first: a close among the first holds them.
void TSimTcpDoor::Schedule(int id, const QList<TSimReply>& replies)
{
    QMap<int, QList<TSimReply>> byDelay;
    for (const TSimReply& reply : replies)
        byDelay[reply.delayMs].append(reply);
    const auto connection = m_connections.find(id);
    if (connection == m_connections.end() || connection->closing)
        return;  // nothing more goes on this connection
    for (auto it = byDelay.cbegin(); it != byDelay.cend(); ++it) {
        if (it.key() <= 0)
            continue;
        const int timed = ++connection->lastTimed;
        connection->timed.insert(timed, it.value());
        QTimer::singleShot(it.key(), Qt::PreciseTimer, this, [this, id, timed] {
            const auto due = m_connections.find(id);
            if (due != m_connections.end())
                Carry(id, due->timed.take(timed));
        });
    }
    Carry(id, byDelay.value(0));
}

void TSimTcpDoor::Carry(int id, const QList<TSimReply>& replies)
{
    for (qsizetype i = 0; i < replies.size(); ++i) {
        const TSimReply& reply = replies[i];
        if (!reply.line.isEmpty())
            SendLine(id, reply.line);
        if (reply.close) {
            Enqueue(id, TWrite{{}, true});
            m_core.HoldReports(id, replies.mid(i + 1));
            return;
        }
    }
}

void TSimTcpDoor::HoldTimed(TConnection& connection, int id)
{
    QList<int> order = connection.timed.keys();
    std::sort(order.begin(), order.end());
    for (int timed : std::as_const(order))
        m_core.HoldReports(id, connection.timed.value(timed));
    connection.timed.clear();
}

void TSimTcpDoor::SendLine(int id, const QString& line)
{
    if (!m_connections.contains(id) || m_connections.value(id).closing)
        return;
    const TSimOptions o = m_core.Options();
    m_log.Add(id, TSimDirection::Out, CommaTextToList(line));
    QByteArray bytes = FrameLine(line);
    if (o.garbage)
        bytes.prepend(kGarbage);
    if (o.nul)
        bytes.append('\0');
    if (o.splitAt <= 0 || bytes.size() < 2) {
        Enqueue(id, TWrite{bytes});
    } else if (o.splitAt == 1) {
        for (char b : bytes)
            Enqueue(id, TWrite{QByteArray(1, b), false, true});
    } else {
        const qsizetype cut = std::min<qsizetype>(o.splitAt, bytes.size() - 1);
        Enqueue(id, TWrite{bytes.left(cut), false, true});
        Enqueue(id, TWrite{bytes.mid(cut), false, true});
    }
}

void TSimTcpDoor::Enqueue(int id, TWrite write)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end() || it->closing)
        return;
    if (write.close) {
        it->closing = true;
        HoldTimed(*it, id);
    }
    it->queue.append(std::move(write));
    if (!it->pausing)
        Drain(id);
}

// Writes queued items until one asks for a pause, so that a split frame
// leaves in separate segments.
void TSimTcpDoor::Drain(int id)
{
    // The table is looked up again after every write: a write that fails
    // may end the connection (and remove its entry) on the spot.
    for (;;) {
        const auto it = m_connections.find(id);
        if (it == m_connections.end())
            return;
        it->pausing = false;
        if (it->queue.isEmpty())
            return;
        const TWrite write = it->queue.takeFirst();
        QTcpSocket* socket = it->socket;
        if (write.close) {
            it->queue.clear();
            socket->disconnectFromHost();
            return;
        }
        // A pause holds back whatever is queued later, the next frame too.
        const bool pause = write.pauseAfter;
        if (pause)
            it->pausing = true;
        socket->write(write.bytes);
        socket->flush();
        if (pause) {
            QTimer::singleShot(m_core.Options().splitGapMs, Qt::PreciseTimer, this, [this, id] { Drain(id); });
            return;
        }
    }
}

void TSimTcpDoor::OnBroadcastTimer()
{
    Broadcast(m_core.Options().broadcastText);
}
