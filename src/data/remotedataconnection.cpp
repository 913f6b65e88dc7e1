#include "remotedataconnection.h"

#include <QDeadlineTimer>
#include <QJsonArray>

TRemoteDataConnection::~TRemoteDataConnection()
{
    m_socket.Close();
}

bool TRemoteDataConnection::Broken(const QString& text)
{
    m_errorText = text;
    m_socket.Shutdown();
    m_socket.Close();
    return false;
}

bool TRemoteDataConnection::Open(const QString& host, quint16 port, int timeoutMs)
{
    Close();
    m_reader = TRemoteMessageReader();
    m_errorCode = 0;
    m_errorText.clear();
    m_timeoutMs = timeoutMs > 0 ? timeoutMs : m_timeoutMs;
    if (!m_socket.Connect(host, port, m_timeoutMs)) {
        m_errorText = m_socket.ErrorText();
        m_socket.Close();
        return false;
    }
    m_socket.SetSendTimeout(m_timeoutMs);
    QJsonObject greeting;
    if (!ReadMessage(&greeting))
        return false;
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
    m_socket.SendAll(EncodeRemoteMessage(
        {{QStringLiteral("op"), QStringLiteral("disconnect")}, {QStringLiteral("id"), m_nextRequest++}}));
    m_socket.Shutdown();
    m_socket.Close();
}

bool TRemoteDataConnection::ReadMessage(QJsonObject* message)
{
    QDeadlineTimer deadline(m_timeoutMs);
    char buffer[65536];
    for (;;) {
        QString error;
        switch (m_reader.Next(message, &error)) {
            case TRemoteMessageReader::TResult::Message:
                return true;
            case TRemoteMessageReader::TResult::Malformed:
            case TRemoteMessageReader::TResult::Broken:
                return Broken(error);
            case TRemoteMessageReader::TResult::NeedMore:
                break;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return Broken(QStringLiteral("The server did not answer within %1 ms").arg(m_timeoutMs));
        switch (m_socket.WaitForData(static_cast<int>(left))) {
            case TNTcpSocket::TWaitResult::wrTimeout:
                continue;
            case TNTcpSocket::TWaitResult::wrError:
                return Broken(m_socket.ErrorText());
            case TNTcpSocket::TWaitResult::wrData:
                break;
        }
        const qint64 got = m_socket.Receive(buffer, sizeof buffer);
        if (got <= 0)
            return Broken(got == 0 ? (m_reader.HasPartial() ? QStringLiteral("The server closed the connection "
                                                                             "in the middle of a message")
                                                            : QStringLiteral("The server closed the connection"))
                                   : m_socket.ErrorText());
        m_reader.Append(buffer, got);
    }
}

bool TRemoteDataConnection::Request(QJsonObject request, QJsonObject* reply)
{
    m_errorCode = 0;
    m_errorText.clear();
    if (!m_socket.IsOpen()) {
        m_errorText = QStringLiteral("Not connected to the remote data server");
        return false;
    }
    const int number = m_nextRequest++;
    request.insert(QStringLiteral("id"), number);
    if (!m_socket.SendAll(EncodeRemoteMessage(request)))
        return Broken(m_socket.ErrorText());
    for (;;) {
        if (!ReadMessage(reply))
            return false;
        // A late reply to a request that timed out belongs to nobody.
        if (reply->value(QStringLiteral("id")).toInt() == number)
            break;
    }
    if (!reply->value(QStringLiteral("ok")).toBool()) {
        const QJsonObject error = reply->value(QStringLiteral("error")).toObject();
        m_errorCode = error.value(QStringLiteral("code")).toInt(RemoteData::ErrServer);
        m_errorText = error.value(QStringLiteral("text")).toString();
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

bool TRemoteDataConnection::Fetch(const QString& provider, TRemotePacket* packet)
{
    QJsonObject reply;
    if (!Request({{QStringLiteral("op"), QStringLiteral("fetch")}, {QStringLiteral("provider"), provider}}, &reply))
        return false;
    if (!TRemotePacket::FromJson(reply.value(QStringLiteral("packet")).toObject(), packet, &m_errorText))
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
