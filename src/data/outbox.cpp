#include "data/outbox.h"

#include "data/basedataclient.h"
#include "data/sqlrun.h"
#include "db/dberror.h"
#include "db/sqlexec.h"
#include "db/transaction.h"

#include <QDateTime>
#include <QHash>
#include <QPair>
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

// Why the out-box cannot use an endpoint; empty when it can. Only TCP and
// automation rows are ever sent (GetPendingServers), and a TCP port outside
// 1 to 65535 would reach the link cut to 16 bits: it would log on and never
// send the row.
QString EndpointProblem(const TNServerEndpoint& endpoint)
{
    if (endpoint.ServerTypeNo == SERVER_TYPE_COM_NO)
        return {};
    if (endpoint.ServerTypeNo != SERVER_TYPE_TCP_NO)
        return QStringLiteral("its server's type %1 is neither TCP (1) nor automation (2)").arg(endpoint.ServerTypeNo);
    if (endpoint.PortNo < 1 || endpoint.PortNo > 65535)
        return QStringLiteral("its server's port %1 is not between 1 and 65535").arg(endpoint.PortNo);
    return {};
}

// A recipient as the out-box compares it: the address book and the contact
// (for a group's row, the member).
using TRecipientKey = QPair<QString, qint32>;
TRecipientKey KeyOf(const QString& guid, qint32 contactID)
{
    return {guid.toUpper(), contactID};  // GUIDs compare without regard to letter case
}

struct TPlannedRow {
    qint32 ContactID = 0;
    QString Name;
    QString GUID;
    TNServerEndpoint Endpoint;
};

// The rows a recipient list asks for, found before the out-box is locked
// (the lookups read the address books), and the recipients left out.
class TRowPlan {
public:
    explicit TRowPlan(bool showContactNames) : m_showContactNames(showContactNames) {}

    void Add(const TNSuperRecipient& recipient)
    {
        // A recipient whose address book was reloaded meanwhile refers to a
        // client that is gone: never follow the stale reference.
        if (!DataClients.IsLive(recipient.Database, recipient.DatabaseGUID)) {
            if (recipient.Kind == nkContact || recipient.Kind == nkGroup)
                NotQueued.append({recipient.Name, QStringLiteral("its address book was loaded again since it was "
                                                                 "added: add it to the recipients again")});
            return;
        }
        if (recipient.Kind == nkContact)
            AddContact(*recipient.Database, recipient.ID, recipient.Name, recipient.Name);
        else if (recipient.Kind == nkGroup)
            AddGroup(recipient);
    }

    QList<TPlannedRow> Rows;
    TNNotQueuedList NotQueued;

private:
    void AddContact(TBaseDataClient& client, qint32 contactID, const QString& rowName, const QString& label)
    {
        TNServerEndpoint server;
        if (!client.GetServerByContactID(contactID, server)) {
            NotQueued.append({label, client.WhyNoServer(contactID)});
            return;
        }
        AddRow(client, contactID, rowName, label, server);
    }

    void AddRow(TBaseDataClient& client, qint32 contactID, const QString& rowName, const QString& label,
                const TNServerEndpoint& server)
    {
        const QString problem = EndpointProblem(server);
        if (!problem.isEmpty())
            NotQueued.append({label, problem});
        else
            Rows.append({contactID, rowName, client.GUID(), server});
    }

    void AddGroup(const TNSuperRecipient& group)
    {
        // The members whose contact rows exist, with their names (for the
        // rows' names and the operator's notice): a membership row whose
        // contact is gone names no one.
        TBaseDataClient& client = *group.Database;
        QList<qint32> ids;
        QStringList names;
        client.GetContactIDsNamesOfGroup(group.ID, ids, names);
        if (ids.isEmpty())
            return;
        QHash<qint32, TNServerEndpoint> servers;
        client.GetServersOfGroup(group.ID, servers);
        for (int i = 0; i < ids.size(); ++i) {
            const QString label = group.Name + u'[' + names.value(i) + u']';
            const QString rowName = m_showContactNames ? label : group.Name;
            const auto server = servers.constFind(ids.at(i));
            if (server == servers.constEnd())
                NotQueued.append({label, client.WhyNoServer(ids.at(i))});
            else
                AddRow(client, ids.at(i), rowName, label, *server);
        }
    }

    bool m_showContactNames;
};

// How many times each recipient already has this text in the out-box, so
// that a second Send of the same message does not page anyone twice. After
// a send that ended early the text and the recipients stay in the panes and
// the operator sends again: the rows still waiting go with that send, and
// the recipients the first send reached must not get a new copy either.
//
// A recipient counts once for every row of a message with the same text
// (compared exactly: the column itself ignores letter case) that is
//  - still in the out-box: waiting to be sent (it goes with this send), or
//    accepted by the server and waiting for its delivery report (the server
//    has the page; a second row would page the person twice), or
//  - logged from such a message and gone from the out-box, accepted or
//    delivered (a message leaves the out-box only when its last row does, so
//    its log rows are those of the same send).
// A row the server refused, or whose delivery failed, does not count: the
// page never reached its pager, so the recipient is queued again. Neither
// does a finished message: once a message's last row has left the out-box,
// the same text is a new message.
QHash<TRecipientKey, int> CoveredRecipients(const QSqlDatabase& db, const QString& messageText)
{
    QSqlQuery query = OpenQuery(
        db,
        QStringLiteral("select m.DatabaseGUID, m.ContactID from OutMessages m "
                       "join OutMessageTexts t on t.ID = m.MessageTextID "
                       "where t.MessageText = :Waiting collate binary "
                       "union all "
                       "select s.DatabaseGUID, s.ContactID from SentMessages s "
                       "join OutMessageTexts t on t.SentMessageTextID = s.SentMessageTextID "
                       "where t.MessageText = :Logged collate binary and (s.SendConfirmed = 0 or s.ErrorStatus = 0) "
                       "and not exists (select 1 from OutMessages o where o.sentMessagesID = s.ID)"),
        {{QStringLiteral("Waiting"), messageText}, {QStringLiteral("Logged"), messageText}}, AddRoutine);
    QHash<TRecipientKey, int> covered;
    while (query.next())
        ++covered[KeyOf(query.value(0).toString(), query.value(1).toInt())];
    return covered;
}

bool HasRowsToSend(const QSqlDatabase& db)
{
    QSqlQuery query = OpenQuery(db,
                                QStringLiteral("select 1 from OutMessages where sentMessagesID is null and "
                                               "ServerTypeNo in (1, 2) limit 1"),
                                {}, AddRoutine);
    return query.next();
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

TNQueueResult AddOutMessage(const QSqlDatabase& db, const TNRecipients& recipients, const QString& messageText,
                            bool showContactNamesOfGroups)
{
    TNQueueResult result;
    if (recipients.isEmpty())
        return result;
    TRowPlan plan(showContactNamesOfGroups);
    for (const TNSuperRecipient* recipient : recipients)
        if (recipient)
            plan.Add(*recipient);
    result.NotQueued = plan.NotQueued;

    // The comparison with the rows already queued and the new rows are one
    // transaction, so no other writer changes the out-box in between.
    TNTransaction transaction(db);
    QHash<TRecipientKey, int> covered = CoveredRecipients(db, messageText);
    QList<const TPlannedRow*> rows;
    for (const TPlannedRow& row : std::as_const(plan.Rows)) {
        int& times = covered[KeyOf(row.GUID, row.ContactID)];
        if (times > 0) {
            --times;
            ++result.AlreadyQueued;
        } else {
            rows.append(&row);
        }
    }
    if (!rows.isEmpty()) {
        result.MessageTextID = InsertText(db, messageText);
        TRowInserter inserter(db, AddRoutine);
        for (const TPlannedRow* row : std::as_const(rows))
            inserter.Insert(row->ContactID, row->Name, row->GUID, result.MessageTextID, row->Endpoint);
        result.Queued = static_cast<int>(rows.size());
    }
    result.Pending = HasRowsToSend(db);
    transaction.Commit();
    return result;
}

bool AddOutMessageForContact(const QSqlDatabase& db, qint32 contactID, const QString& name, TBaseDataClient* client,
                             qint32 messageTextID)
{
    TNServerEndpoint server;
    if (!client->GetServerByContactID(contactID, server) || !EndpointProblem(server).isEmpty())
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
