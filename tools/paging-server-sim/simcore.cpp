#include "simcore.h"

#include "messaging/protocol.h"

TSimCore::TSimCore(const TSimOptions& options) : m_options(options), m_nextServerRecordId(options.firstServerRecordId)
{
}

void TSimCore::SetOptions(const TSimOptions& options)
{
    QMutexLocker locker(&m_optionsLock);
    m_options = options;
}

TSimOptions TSimCore::Options() const
{
    QMutexLocker locker(&m_optionsLock);
    return m_options;
}

int TSimCore::OpenConnection()
{
    m_connections.insert(++m_lastConnection, TConnection{});
    return m_lastConnection;
}

void TSimCore::CloseConnection(int connection)
{
    m_connections.remove(connection);
}

QList<TSimReply> TSimCore::OnFrame(int connection, const QStringList& items)
{
    const auto it = m_connections.find(connection);
    const TSimOptions o = Options();
    if (it == m_connections.end() || o.silent || items.isEmpty())
        return {};
    if (items[0] == LogonWord())
        return OnLogon(*it, items, o);
    if (items[0] == MessageWord())
        return OnMessage(*it, items, o);
    return {};
}

void TSimCore::HoldReports(int connection, const QList<TSimReply>& replies)
{
    const auto it = m_connections.constFind(connection);
    if (it == m_connections.cend() || !Options().holdReports)
        return;
    for (const TSimReply& reply : replies)
        if (reply.report && !reply.line.isEmpty())
            m_heldReports[it->appId].append(reply.line);
}

QList<TSimReply> TSimCore::OnLogon(TConnection& state, const QStringList& items, const TSimOptions& o)
{
    state.appId = items.value(1);
    switch (o.logon) {
        case TSimLogon::Ok: {
            QList<TSimReply> replies{{LogonOkLine(), o.logonDelayMs}};
            // Reports an earlier connection of this installation still owed.
            for (const QString& line : m_heldReports.take(state.appId))
                replies.append({line, o.logonDelayMs, false, true});
            if (!o.logonBroadcast.isEmpty())
                replies.append({BroadcastLine(o.logonBroadcast), o.logonDelayMs});
            // Answers for rows this connection never sent.
            for (qint32 clientId = 1; clientId <= o.strayAnswers; ++clientId) {
                const qint32 serverId = m_nextServerRecordId++;
                replies.append({MessageAcceptedLine(clientId, serverId), o.logonDelayMs});
                replies.append({MessageSentLine(clientId, serverId), o.logonDelayMs});
            }
            for (qint32 clientId = 1; clientId <= o.strayFailures; ++clientId) {
                replies.append({MessageAcceptErrorLine(clientId, 1, ErrorStatusText(1)), o.logonDelayMs});
                replies.append({MessageSendErrorLine(clientId, 1, ErrorStatusText(1)), o.logonDelayMs});
            }
            return replies;
        }
        case TSimLogon::Deny:
            return {{LogonDeniedLine(o.denyCode, o.denyText), o.logonDelayMs, o.closeOnDenial}};
        case TSimLogon::Refuse:
            return {{DenyConnectionLine(o.denyCode, o.denyText), o.logonDelayMs, o.closeOnDenial}};
        case TSimLogon::Silent:
            break;
    }
    return {};
}

// "MESSAGE", client record ID, carrier type, carrier settings, address, text.
QList<TSimReply> TSimCore::OnMessage(TConnection& state, const QStringList& items, const TSimOptions& o)
{
    QList<TSimReply> replies;
    ++state.messages;
    qint32 clientId = 0;
    const bool readable = items.size() >= 6 && ParseProtocolInt(items[1], &clientId);
    const QString address = items.value(4);
    if (!readable) {
        // Nothing a client could match; only a record ID that reads gets an answer.
        if (ParseProtocolInt(items.value(1), &clientId))
            replies.append({MessageAcceptErrorLine(clientId, 1, ErrorStatusText(1)), o.ackDelayMs});
    } else if (o.acceptErrorIds.contains(clientId) || o.acceptErrorAddresses.contains(address)) {
        replies.append(
            {MessageAcceptErrorLine(clientId, o.acceptErrorCode, ErrorStatusText(o.acceptErrorCode)), o.ackDelayMs});
    } else {
        const qint32 serverId = m_nextServerRecordId++;
        const bool acked = !o.dropAcks && !o.dropAckIds.contains(clientId);
        if (acked && o.staleReports)
            replies.append({MessageSentLine(clientId, serverId + kStaleServerIdOffset), o.ackDelayMs});
        // The report's place: after the acknowledgement, or just before it.
        const qsizetype reportFirstAt = replies.size();
        if (acked)
            replies.append({MessageAcceptedLine(clientId, serverId), o.ackDelayMs});
        const qsizetype reportsBefore = replies.size();
        const int reportAt = (acked ? o.ackDelayMs : 0) + o.reportDelayMs;
        if (o.unreportedIds.contains(clientId)) {
            // This delivery report is lost.
        } else if (o.reportErrorIds.contains(clientId) || o.report == TSimReport::Error) {
            replies.append({MessageSendErrorLine(clientId, o.reportErrorCode, ErrorStatusText(o.reportErrorCode)),
                            reportAt, false, true});
        } else if (o.report == TSimReport::Sent) {
            replies.append({MessageSentLine(clientId, serverId), reportAt, false, true});
            if (o.repeatReportMs > 0)
                replies.append({MessageSentLine(clientId, serverId), reportAt + o.repeatReportMs});
        }
        if (acked && o.reportsFirst && o.reportDelayMs == 0 && replies.size() > reportsBefore)
            replies.move(reportsBefore, reportFirstAt);
    }
    if (o.closeAfter > 0 && state.messages >= o.closeAfter)
        replies.append({QString(), o.ackDelayMs, true});
    return replies;
}
