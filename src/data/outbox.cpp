#include "data/outbox.h"

#include "data/basedataclient.h"
#include "data/sqlrun.h"
#include "db/dberror.h"
#include "db/sqlexec.h"
#include "db/transaction.h"

#include <QDateTime>
#include <QHash>
#include <QSqlError>

namespace OutBox {
namespace {
// Prepared once per message and run once per contact row.
class TRowInserter {
public:
    TRowInserter(const QSqlDatabase& db, const QString& routine) : m_query(db), m_routine(routine)
    {
        if (!m_query.prepare(QStringLiteral("insert into OutMessages (ContactID, Name, DatabaseGUID, MessageTextID, "
                                            "ServerTypeNo, IpAddress, PortNo, HostName) "
                                            "values (?, ?, ?, ?, ?, ?, ?, ?)")))
            throw EDatabaseError(QStringLiteral("%1: %2").arg(m_routine, m_query.lastError().text()));
    }

    void Insert(qint32 contactID, const QString& name, const QString& guid, qint32 messageTextID,
                const TNServerEndpoint& endpoint)
    {
        m_query.bindValue(0, contactID);
        m_query.bindValue(1, name);
        m_query.bindValue(2, guid);
        m_query.bindValue(3, messageTextID);
        m_query.bindValue(4, endpoint.ServerTypeNo);
        m_query.bindValue(5, endpoint.IpAddress);
        m_query.bindValue(6, endpoint.PortNo);
        m_query.bindValue(7, endpoint.HostName);
        ExecPrepared(m_query, m_routine);
    }

private:
    QSqlQuery m_query;
    QString m_routine;
};

const QString AddRoutine = QStringLiteral("OutBox::AddOutMessage");

qint32 InsertText(const QSqlDatabase& db, const QString& messageText)
{
    QSqlQuery query = OpenQuery(
        db,
        QStringLiteral("insert into OutMessageTexts (MessageText, MessageTime) "
                       "values (:MessageText, :MessageTime)"),
        {{QStringLiteral("MessageText"), messageText}, {QStringLiteral("MessageTime"), QDateTime::currentDateTime()}},
        AddRoutine);
    return query.lastInsertId().toInt();
}

void QueueGroup(TRowInserter& inserter, const TNSuperRecipient& group, qint32 messageTextID, bool showContactNames)
{
    TBaseDataClient* client = group.Database;
    QList<qint32> ids;
    QStringList names;
    if (showContactNames)
        client->GetContactIDsNamesOfGroup(group.ID, ids, names);
    else
        client->GetContactsOfGroup(group.ID, ids);
    if (ids.isEmpty())
        return;
    QHash<qint32, TNServerEndpoint> servers;
    client->GetServersOfGroup(group.ID, servers);
    for (int i = 0; i < ids.size(); ++i) {
        const auto server = servers.constFind(ids.at(i));
        if (server == servers.constEnd())
            continue;  // a member without a server is skipped
        const QString name = showContactNames ? group.Name + u'[' + names.value(i) + u']' : group.Name;
        inserter.Insert(ids.at(i), name, client->GUID(), messageTextID, *server);
    }
}

// Deletes the text rows of every message with a row for the endpoint; their
// out-box rows, this endpoint's and any other's, follow through the cascade.
void DeleteMessages(const QSqlDatabase& db, const QString& endpointWhere, const QVariantMap& params,
                    const QString& routine)
{
    ExecuteSql(db,
               QStringLiteral("delete from OutMessageTexts where ID in "
                              "(select MessageTextID from OutMessages where ") +
                   endpointWhere + u')',
               params, routine);
}

void DeleteAll(const QSqlDatabase& db, const QString& rowsTable, const QString& textsTable, const QString& routine)
{
    TNTransaction transaction(db);
    ExecuteSql(db, QStringLiteral("delete from ") + rowsTable, {}, routine);
    ExecuteSql(db, QStringLiteral("delete from ") + textsTable, {}, routine);
    transaction.Commit();
}
}  // namespace

qint32 AddOutMessage(const QSqlDatabase& db, const TNRecipients& recipients, const QString& messageText,
                     bool showContactNamesOfGroups)
{
    if (recipients.isEmpty())
        return 0;
    // The text row is written first, so the transaction holds the write lock
    // from its first statement on.
    TNTransaction transaction(db);
    const qint32 textID = InsertText(db, messageText);
    TRowInserter inserter(db, AddRoutine);
    for (const TNSuperRecipient* recipient : recipients) {
        // A recipient whose address book was reloaded meanwhile refers to a
        // client that is gone: skip it rather than follow a stale reference.
        if (!recipient || !DataClients.IsLive(recipient->Database, recipient->DatabaseGUID))
            continue;
        if (recipient->Kind == nkContact) {
            TNServerEndpoint server;
            if (recipient->Database->GetServerByContactID(recipient->ID, server))
                inserter.Insert(recipient->ID, recipient->Name, recipient->DatabaseGUID, textID, server);
        } else if (recipient->Kind == nkGroup) {
            QueueGroup(inserter, *recipient, textID, showContactNamesOfGroups);
        }
    }
    transaction.Commit();
    return textID;
}

bool AddOutMessageForContact(const QSqlDatabase& db, qint32 contactID, const QString& name, TBaseDataClient* client,
                             qint32 messageTextID)
{
    TNServerEndpoint server;
    if (!client->GetServerByContactID(contactID, server))
        return false;
    TRowInserter inserter(db, QStringLiteral("OutBox::AddOutMessageForContact"));
    inserter.Insert(contactID, name, client->GUID(), messageTextID, server);
    return true;
}

void GetPendingServers(const QSqlDatabase& db, TNEndpointList& endpoints, bool unsentOnly)
{
    endpoints.clear();
    QSqlQuery query = OpenQuery(db,
                                QStringLiteral("select distinct IpAddress, PortNo, HostName, ServerTypeNo "
                                               "from OutMessages") +
                                    (unsentOnly ? QStringLiteral(" where sentMessagesID is null") : QString()),
                                {}, QStringLiteral("OutBox::GetPendingServers"));
    while (query.next()) {
        const int type = query.value(3).toInt();
        if (type == SERVER_TYPE_TCP_NO) {
            const quint32 port = static_cast<quint32>(query.value(1).toInt()) & 0xFFFFu;
            endpoints.append({query.value(0).toString(), (port << 16) | 1u});
        } else if (type == SERVER_TYPE_COM_NO) {
            endpoints.append({query.value(2).toString(), 2u});
        }
    }
}

void DeleteOutMessagesForTcpServer(const QSqlDatabase& db, const QString& ipAddress, qint32 portNo)
{
    DeleteMessages(db, QStringLiteral("IpAddress = :IpAddress and PortNo = :PortNo and ServerTypeNo = 1"),
                   {{QStringLiteral("IpAddress"), ipAddress}, {QStringLiteral("PortNo"), portNo}},
                   QStringLiteral("OutBox::DeleteOutMessagesForTcpServer"));
}

void DeleteOutMessagesForComServer(const QSqlDatabase& db, const QString& hostName)
{
    DeleteMessages(db, QStringLiteral("HostName = :HostName and ServerTypeNo = 2"),
                   {{QStringLiteral("HostName"), hostName}}, QStringLiteral("OutBox::DeleteOutMessagesForComServer"));
}

void ClearOutMessages(const QSqlDatabase& db)
{
    DeleteAll(db, QStringLiteral("OutMessages"), QStringLiteral("OutMessageTexts"),
              QStringLiteral("OutBox::ClearOutMessages"));
}

void ClearSentMessages(const QSqlDatabase& db)
{
    // A message still in the out-box links its logged text for the rows
    // acknowledged later: that text stays, or those rows would name a text
    // that is gone and never be listed.
    const QString routine = QStringLiteral("OutBox::ClearSentMessages");
    TNTransaction transaction(db);
    ExecuteSql(db, QStringLiteral("delete from SentMessages"), {}, routine);
    ExecuteSql(db,
               QStringLiteral("delete from SentMessageTexts where ID not in (select SentMessageTextID from "
                              "OutMessageTexts where SentMessageTextID is not null)"),
               {}, routine);
    transaction.Commit();
}

}  // namespace OutBox
