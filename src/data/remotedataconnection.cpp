#include "remotedataconnection.h"

#include "remotefetch.h"

#include <QJsonArray>

TRemoteDataConnection::~TRemoteDataConnection()
{
    m_socket.Close();
}

bool TRemoteDataConnection::Broken(const QString& text)
{
    m_errorText = m_cancelled ? QStringLiteral("Cancelled") : text;
    m_socket.Shutdown();
    m_socket.Close();
    return false;
}

void TRemoteDataConnection::Cancel()
{
    m_cancelled = true;
    m_socket.Shutdown();
}

bool TRemoteDataConnection::Open(const QString& host, quint16 port, int timeoutMs)
{
    Close();
    m_reader = TRemoteMessageReader();
    m_errorCode = 0;
    m_errorText.clear();
    m_timeoutMs = timeoutMs > 0 ? timeoutMs : m_timeoutMs;
    // One deadline for the connect and the greeting.
    const QDeadlineTimer deadline(m_timeoutMs);
    if (m_cancelled)
        return Broken(QString());
    if (!m_socket.Connect(host, port, m_timeoutMs)) {
        m_errorText = m_socket.ErrorText();
        m_socket.Close();
        return false;
    }
    if (m_cancelled)  // a cancel while connecting found no socket to shut down
        return Broken(QString());
    m_socket.SetSendTimeout(m_timeoutMs);
    QByteArray body;
    if (!ReadMessage(&body, deadline))
        return false;
    QJsonObject greeting;
    QString error;
    if (!ParseRemoteMessage(body, &greeting, &error))
        return Broken(error);
    if (greeting.value(QStringLiteral("op")).toString() != QLatin1String("hello")) {
        const QString refusal = greeting.value(QStringLiteral("text")).toString();
        return Broken(refusal.isEmpty() ? QStringLiteral("The server did not greet") : refusal);
    }
    m_serverProtocol = greeting.value(QStringLiteral("protocol")).toInt();
    const int tcpPort = greeting.value(QStringLiteral("tcpPort")).toInt();
    m_tcpDoorPort = tcpPort > 0 && tcpPort <= 65535 ? static_cast<quint16>(tcpPort) : 0;
    if (m_serverProtocol != RemoteData::ProtocolVersion)
        return Broken(QStringLiteral("The server's remote data door speaks protocol %1; this program needs "
                                     "protocol %2. Update the paging server.")
                          .arg(m_serverProtocol)
                          .arg(RemoteData::ProtocolVersion));
    return true;
}

void TRemoteDataConnection::Close()
{
    if (!m_socket.IsOpen())
        return;
    // A goodbye that cannot be sent changes nothing: the socket closes anyway.
    if (!m_cancelled)
        m_socket.SendAll(EncodeRemoteMessage(
            {{QStringLiteral("op"), QStringLiteral("disconnect")}, {QStringLiteral("id"), m_nextRequest++}}));
    m_socket.Shutdown();
    m_socket.Close();
}

bool TRemoteDataConnection::ReadMessage(QByteArray* body, const QDeadlineTimer& deadline)
{
    QByteArray buffer(65536, Qt::Uninitialized);
    for (;;) {
        QString error;
        switch (m_reader.NextRaw(body, &error)) {
            case TRemoteMessageReader::TResult::Message:
                return true;
            case TRemoteMessageReader::TResult::Malformed:
            case TRemoteMessageReader::TResult::Broken:
                return Broken(error);
            case TRemoteMessageReader::TResult::NeedMore:
                break;
        }
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Broken(QStringLiteral("The server did not answer within %1 ms").arg(m_timeoutMs));
        switch (m_socket.WaitForData(static_cast<int>(left))) {
            case TNTcpSocket::TWaitResult::wrTimeout:
                continue;
            case TNTcpSocket::TWaitResult::wrError:
                return Broken(m_socket.ErrorText());
            case TNTcpSocket::TWaitResult::wrData:
                break;
        }
        const qint64 got = m_socket.Receive(buffer.data(), buffer.size());
        if (got <= 0)
            return Broken(got == 0 ? (m_reader.HasPartial() ? QStringLiteral("The server closed the connection "
                                                                             "in the middle of a message")
                                                            : QStringLiteral("The server closed the connection"))
                                   : m_socket.ErrorText());
        m_reader.Append(buffer.constData(), got);
    }
}

bool TRemoteDataConnection::Request(QJsonObject request, QJsonObject* reply, QByteArray* raw)
{
    m_errorCode = 0;
    m_errorText.clear();
    if (!m_socket.IsOpen()) {
        m_errorText = QStringLiteral("Not connected to the remote data server");
        return false;
    }
    // One deadline for the whole request: replies to other requests do not
    // buy the server more time.
    const QDeadlineTimer deadline(m_timeoutMs);
    const int number = m_nextRequest++;
    request.insert(QStringLiteral("id"), number);
    if (!m_socket.SendAll(EncodeRemoteMessage(request)))
        return Broken(m_socket.ErrorText());
    QByteArray body;
    bool ok = false;
    for (;;) {
        if (!ReadMessage(&body, deadline))
            return false;
        qint64 id = 0;
        // A late reply to a request that timed out belongs to nobody; so
        // does a message that is no reply at all.
        if (ReadRemoteReplyHead(body, &id, &ok) && id == number)
            break;
    }
    if (ok && raw) {
        *raw = std::move(body);
        return true;
    }
    QString error;
    if (!ParseRemoteMessage(body, reply, &error))
        return Broken(error);
    if (!ok) {
        const QJsonObject refusal = reply->value(QStringLiteral("error")).toObject();
        m_errorCode = refusal.value(QStringLiteral("code")).toInt(RemoteData::ErrServer);
        m_errorText = refusal.value(QStringLiteral("text")).toString();
        if (m_errorText.isEmpty())
            m_errorText = QStringLiteral("The server refused the request");
        return false;
    }
    return true;
}

bool TRemoteDataConnection::ListServerNames(QStringList* names)
{
    QJsonObject reply;
    if (!Request({{QStringLiteral("op"), QStringLiteral("listServers")}}, &reply))
        return false;
    names->clear();
    for (const QJsonValue& value : reply.value(QStringLiteral("servers")).toArray())
        names->append(value.toString());
    return true;
}

bool TRemoteDataConnection::ServerGUID(const QString& serverName, QString* guid)
{
    QJsonObject reply;
    if (!Request({{QStringLiteral("op"), QStringLiteral("serverGuid")}, {QStringLiteral("server"), serverName}},
                 &reply))
        return false;
    *guid = reply.value(QStringLiteral("guid")).toString();
    return true;
}

bool TRemoteDataConnection::ConnectServer(const QString& serverName)
{
    QJsonObject reply;
    return Request({{QStringLiteral("op"), QStringLiteral("connect")}, {QStringLiteral("server"), serverName}}, &reply);
}

bool TRemoteDataConnection::FetchAnswer(const QString& provider, QByteArray* answer)
{
    QJsonObject reply;
    return Request({{QStringLiteral("op"), QStringLiteral("fetch")}, {QStringLiteral("provider"), provider}}, &reply,
                   answer);
}

bool TRemoteDataConnection::Fetch(const QString& provider, TRemotePacket* packet)
{
    QByteArray answer;
    if (!FetchAnswer(provider, &answer))
        return false;
    QJsonObject reply;
    if (!ParseRemoteMessage(answer, &reply, &m_errorText) ||
        !TRemotePacket::FromJson(reply.value(QStringLiteral("packet")).toObject(), packet, &m_errorText))
        return Broken(m_errorText);
    return true;
}

bool TRemoteDataConnection::Apply(const QString& provider, const QString& applyId, const QList<TRemoteChange>& changes,
                                  QList<TRemoteApplyResult>* results)
{
    QJsonArray changeArray;
    for (const TRemoteChange& change : changes)
        changeArray.append(change.ToJson());
    QJsonObject reply;
    if (!Request({{QStringLiteral("op"), QStringLiteral("apply")},
                  {QStringLiteral("provider"), provider},
                  {QStringLiteral("applyId"), applyId},
                  {QStringLiteral("changes"), changeArray}},
                 &reply))
        return false;
    const QJsonArray resultArray = reply.value(QStringLiteral("results")).toArray();
    if (resultArray.size() != changes.size())
        return Broken(QStringLiteral("The server answered %1 rows of %2").arg(resultArray.size()).arg(changes.size()));
    results->clear();
    for (const QJsonValue& value : resultArray) {
        TRemoteApplyResult result;
        if (!TRemoteApplyResult::FromJson(value.toObject(), &result, &m_errorText))
            return Broken(m_errorText);
        results->append(result);
    }
    return true;
}
