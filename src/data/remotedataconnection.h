#pragma once
// A client connection to the paging server's remote data door.
//
//   TRemoteDataConnection connection;
//   if (!connection.Open(host, RemoteData::DefaultPort, 5000)) ... ErrorText()
//   connection.ConnectServer(QStringLiteral("TovixServer.TovixRemoteDataModule"));
//   TRemotePacket contacts;
//   connection.Fetch(QStringLiteral("prvContacts"), &contacts);
//
// Every call blocks until the server answers or the time-out runs out, and
// returns false with ErrorText() on any failure. The time-out bounds each
// request as a whole, from its send to its answer, whatever else the server
// sends meanwhile (replies to other requests are skipped, never wait longer).
// A connection whose stream broke (time-out, malformed framing, closed by
// the server, cancelled) is closed and must be opened again.
//
// Thread rules: one thread at a time uses it (a worker of TDoorExchange, or
// the address-book editors' test thread); Cancel alone may be called from
// any other thread while a call runs.

#include "remotedataprotocol.h"

#include "platform/tcpsocket.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <atomic>

class TRemoteDataConnection {
public:
    TRemoteDataConnection() = default;
    ~TRemoteDataConnection();
    TRemoteDataConnection(const TRemoteDataConnection&) = delete;
    TRemoteDataConnection& operator=(const TRemoteDataConnection&) = delete;

    // Connects and reads the server's greeting.
    bool Open(const QString& host, quint16 port, int timeoutMs);
    bool IsOpen() const { return m_socket.IsOpen(); }
    // Says goodbye (when the stream is still usable) and closes.
    void Close();

    // The port of the server's TCP door as its greeting told it; 0 when it
    // named none.
    quint16 TcpDoorPort() const { return m_tcpDoorPort; }
    int ServerProtocol() const { return m_serverProtocol; }

    bool ListServerNames(QStringList* names);
    bool ServerGUID(const QString& serverName, QString* guid);
    bool ConnectServer(const QString& serverName);
    bool Fetch(const QString& provider, TRemotePacket* packet);
    // The answer of a fetch as it came (its JSON text), taken by
    // ReadFetchAnswer without a document of the whole answer.
    bool FetchAnswer(const QString& provider, QByteArray* answer);
    // Results come one per change, in order, when the request as a whole
    // was taken; a refused row is a result, not a failure of the call. The
    // server answers a repeated ApplyId with the results it stored for it
    // and does not apply the changes again.
    bool Apply(const QString& provider, const QString& applyId, const QList<TRemoteChange>& changes,
               QList<TRemoteApplyResult>* results);

    QString ErrorText() const { return m_errorText; }
    // The code of the server's refusal of the last request (0: none).
    int ErrorCode() const { return m_errorCode; }
    void SetTimeout(int ms) { m_timeoutMs = ms; }
    // Any thread: the call running now (and every later one) fails at once
    // with "Cancelled" (a connect in progress at the end of its own
    // time-out); the connection is closed by its user.
    void Cancel();

private:
    // Sends one request and waits for the reply with its number; Raw, when
    // given, receives the text of a successful reply instead of Reply.
    bool Request(QJsonObject request, QJsonObject* reply, QByteArray* raw = nullptr);
    bool ReadMessage(QByteArray* body, const QDeadlineTimer& deadline);
    bool Broken(const QString& text);

    TNTcpSocket m_socket;
    TRemoteMessageReader m_reader;
    int m_timeoutMs = 30000;
    int m_nextRequest = 1;
    quint16 m_tcpDoorPort = 0;
    int m_serverProtocol = 0;
    int m_errorCode = 0;
    QString m_errorText;
    std::atomic<bool> m_cancelled{false};
};
