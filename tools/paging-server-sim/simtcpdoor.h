#pragma once
// The simulator's TCP door: a listener whose connections carry framed lines
// to the core and its replies back, shaped by the wire-fault options
// (split writes, stray bytes, NUL bytes).
//
// Lives on the server's thread and is used only there.

#include "messaging/framecutter.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;
class TSimCore;
class TSimFrameLog;
struct TSimReply;

class TSimTcpDoor : public QObject {
    Q_OBJECT
public:
    TSimTcpDoor(TSimCore& core, TSimFrameLog& log, QObject* parent = nullptr);
    ~TSimTcpDoor() override;

    bool Listen(const QHostAddress& address, quint16 port, QString* errorText);
    quint16 Port() const { return m_server.serverPort(); }
    QHostAddress Address() const { return m_server.serverAddress(); }

    // Sends a BROADCAST_MESSAGE to every open connection; returns how many.
    int Broadcast(const QString& text);
    int OpenConnections() const { return static_cast<int>(m_connections.size()); }
    // Closes every connection from the server's side.
    void CloseAll();

private:
    // One queued write: bytes, or the closing of the connection.
    struct TWrite {
        QByteArray bytes;
        bool close = false;
        bool pauseAfter = false;
    };
    struct TConnection {
        QTcpSocket* socket = nullptr;
        TFrameCutter cutter;
        QList<TWrite> queue;
        bool pausing = false;
        bool closing = false;
        // Replies waiting for their delay, by a number of their own.
        QHash<int, QList<TSimReply>> timed;
        int lastTimed = 0;
    };

    void OnNewConnection();
    void OnReadyRead(int id);
    void OnDisconnected(int id);
    void Schedule(int id, const QList<TSimReply>& replies);
    void Carry(int id, const QList<TSimReply>& replies);
    // The connection is closing: the replies still waiting for their delay
    // will never go on it (the core may hold their reports).
    void HoldTimed(TConnection& connection, int id);
    void SendLine(int id, const QString& line);
    void Enqueue(int id, TWrite write);
    void Drain(int id);
    void OnBroadcastTimer();

    TSimCore& m_core;
    TSimFrameLog& m_log;
    QTcpServer m_server;
    QTimer m_broadcastTimer;
    QHash<int, TConnection> m_connections;
};
