#pragma once
// The simulator's remote data door: a listener that serves address books
// kept in SQLite files to shared address-book clients (fetch all rows of a
// provider, apply a change log with per-row results).
//
// Every apply is stored with its result under the client's apply ID, in the
// same transaction, in the book's table DoorApplies (the last 1000 are
// kept); a repeated ID is answered with the stored result and not applied
// again.
//
// Lives on the data server's thread and is used only there; its database
// connections are opened on that thread.

#include "data/remotedataprotocol.h"
#include "simdataoptions.h"

#include <QHash>
#include <QObject>
#include <QTcpServer>

class QSqlDatabase;
class QTcpSocket;
class QTimer;
class TSimFrameLog;

class TSimDataDoor : public QObject {
    Q_OBJECT
public:
    TSimDataDoor(const TSimDataOptions& options, TSimFrameLog& log, QObject* parent = nullptr);
    ~TSimDataDoor() override;

    // Opens every book (making missing files) and listens.
    bool Start(QString* errorText);
    quint16 Port() const { return m_server.serverPort(); }
    QHostAddress Address() const { return m_server.serverAddress(); }

private:
    struct TConnection {
        QTcpSocket* socket = nullptr;
        TRemoteMessageReader reader;
        QString server;             // the book this connection works on; empty before connect
        QTimer* chatter = nullptr;  // repeats a reply under a wrong ID (wrongIds)
    };

    void OnNewConnection();
    void Greet(int id);
    void OnReadyRead(int id);
    void OnDisconnected(int id);
    void Send(int id, const QJsonObject& message);
    // Faults for tests: a reply under a wrong ID, or a canned one. True
    // when the request was answered so.
    bool AnswerFaulty(int id, const QString& op, const QJsonObject& request);
    QJsonObject Handle(TConnection& connection, const QJsonObject& request);
    QJsonObject Fetch(const QString& server, const QString& provider);
    QJsonObject Apply(const QString& server, const QString& provider, const QString& applyId,
                      const QJsonArray& changes);
    QJsonArray ApplyChanges(QSqlDatabase& db, const QString& provider, const QJsonArray& changes);
    const TSimDataBook* FindBook(const QString& serverName) const;
    QString ConnectionName(const QString& serverName) const;

    TSimDataOptions m_options;
    TSimFrameLog& m_log;
    QTcpServer m_server;
    QHash<int, TConnection> m_connections;
    int m_nextConnection = 1;
    bool m_loseAnswer = false;  // the apply just handled is answered by dropping the connection
};
