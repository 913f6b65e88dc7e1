#include "data/outbox.h"

#include "data/basedataclient.h"
#include "data/sqlrun.h"
#include "db/dberror.h"
#include "db/sqlexec.h"
#include "db/transaction.h"

#include <QDateTime>
#include <QHash>
#include <QPair>
#include <QSet>
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
    QString Label;  // as the operator is told of it: "<group>[<contact>]" for a member
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
            Rows.append({contactID, rowName, label, client.GUID(), server});
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

// How often each recipient has this text in the out-box, so that a second
// Send of the same message neither pages anyone twice unasked nor swallows a
// page. After a send that ended early the text and the recipients stay in
// the panes and the operator sends again; a template makes the same text to
// the same people a deliberate repeat as well.
//
// The messages counted are those with the same text (compared exactly: the
// column itself ignores letter case) still in the out-box. Their rows are
//  - waiting: not acknowledged yet; it goes with this send, so the
//    recipient gets no second row;
//  - reached: accepted and waiting for the delivery report, or logged from
//    such a message and gone from the out-box as accepted or delivered (a
//    message leaves the out-box only when its last row does, so its log rows
//    are those of the same send). The operator decides whether to page them
//    again.
// A row the server refused, or whose delivery failed, counts for neither:
// the page never reached its pager, so the recipient is queued again. Once a
// message's last row has left the out-box, the same text is a new message.
//
// Each lookup goes through an index (the text, a message's rows, a logged
// text's rows), so the cost follows the rows of the same text, not the size
// of the out-box or of the log. The log rows still linked from the out-box
// are those of the same text's messages, gathered once; an index on that
// link would cost every acknowledgement and report a write.
struct TCovered {
    QString Name;  // the row's name, to tell apart a contact's rows directly and through groups
    bool Reached = false;
};
using TCoverage = QHash<TRecipientKey, QList<TCovered>>;

TCoverage CoverageOf(const QSqlDatabase& db, const QString& messageText)
{
    QSqlQuery query = OpenQuery(
        db,
        QStringLiteral("select m.DatabaseGUID, m.ContactID, m.Name, m.sentMessagesID is not null "
                       "from OutMessageTexts t join OutMessages m on m.MessageTextID = t.ID "
                       "where t.MessageText = :Text and t.MessageText = :Text collate binary "
                       "union all "
                       "select s.DatabaseGUID, s.ContactID, s.Name, 1 "
                       "from OutMessageTexts t join SentMessages s on s.SentMessageTextID = t.SentMessageTextID "
                       "where t.MessageText = :Text and t.MessageText = :Text collate binary "
                       "and (s.SendConfirmed = 0 or s.ErrorStatus = 0) "
                       "and s.ID not in (select o.sentMessagesID from OutMessageTexts u "
                       "join OutMessages o on o.MessageTextID = u.ID "
                       "where u.MessageText = :Text and u.MessageText = :Text collate binary "
                       "and o.sentMessagesID is not null)"),
        {{QStringLiteral("Text"), messageText}}, AddRoutine);
    TCoverage coverage;
    while (query.next())
        coverage[KeyOf(query.value(0).toString(), query.value(1).toInt())].append(
            {query.value(2).toString(), query.value(3).toBool()});
    return coverage;
}

// What becomes of each planned row. Each row of the same text in the out-box
// or the log stands for one planned row of its recipient: first a row of the
// same name, then any (a waiting one before a reached one). A row matched
// with a waiting one goes with that; one that the operator was asked about
// (Asked) follows the answer; a reached one that no one was asked about is
// Undecided; the rest are new. After the question, a row the first look
// matched (Covered: waiting then, or reached) and no one was asked about was
// waiting when asked and has gone out since, even when its message has left
// the out-box meanwhile: it is never queued anew.
struct TChoice {
    QList<const TPlannedRow*> Insert;
    QList<const TPlannedRow*> Undecided;
    // Rows the first look matched, waiting or reached.
    QSet<const TPlannedRow*> Covered;
    int Waiting = 0;
};

TChoice Choose(const QList<TPlannedRow>& rows, TCoverage coverage, const QSet<const TPlannedRow*>& asked,
               const QSet<const TPlannedRow*>& covered, bool pageAgain)
{
    enum TMatch { tmNone, tmWaiting, tmReached };
    const auto take = [](QList<TCovered>& covered, qsizetype at) {
        const TMatch match = covered.at(at).Reached ? tmReached : tmWaiting;
        covered.removeAt(at);
        return match;
    };
    QList<TMatch> matches(rows.size(), tmNone);
    QList<bool> matched(rows.size(), false);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const auto found = coverage.find(KeyOf(rows.at(i).GUID, rows.at(i).ContactID));
        if (found == coverage.end())
            continue;
        for (qsizetype j = 0; j < found->size() && !matched[i]; ++j)
            if (found->at(j).Name == rows.at(i).Name) {
                matches[i] = take(*found, j);
                matched[i] = true;
            }
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const auto found = coverage.find(KeyOf(rows.at(i).GUID, rows.at(i).ContactID));
        if (matched[i] || found == coverage.end() || found->isEmpty())
            continue;
        qsizetype at = 0;
        while (at < found->size() && found->at(at).Reached)
            ++at;
        matches[i] = take(*found, at < found->size() ? at : 0);
    }

    TChoice choice;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TPlannedRow& row = rows.at(i);
        if (matches[i] != tmNone)
            choice.Covered.insert(&row);
        if (matches[i] == tmWaiting) {
            ++choice.Waiting;
        } else if (asked.contains(&row)) {
            if (pageAgain)
                choice.Insert.append(&row);
        } else if (covered.contains(&row)) {
            ++choice.Waiting;  // went out while the question was open
        } else if (matches[i] == tmReached) {
            choice.Undecided.append(&row);
        } else {
            choice.Insert.append(&row);
        }
    }
    return choice;
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

}  // namespace

TNQueueResult AddOutMessage(const QSqlDatabase& db, const TNRecipients& recipients, const QString& messageText,
                            bool showContactNamesOfGroups, const TNAskPageAgain& askPageAgain)
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
    // transaction, so no other writer changes the out-box in between. The
    // operator is asked outside it (the send threads must be able to log
    // meanwhile); the comparison is then made again in a new one, the answer
    // holding for the recipients it was given for.
    QSet<const TPlannedRow*> asked;
    QSet<const TPlannedRow*> covered;
    bool answered = false;
    for (;;) {
        TNTransaction transaction(db);
        const TChoice choice = Choose(plan.Rows, CoverageOf(db, messageText), asked, covered, result.PagedAgain);
        result.StillWaiting = choice.Waiting;
        if (answered) {
            // Reached since the question: they were waiting then, and went.
            result.StillWaiting += int(choice.Undecided.size());
        } else if (!choice.Undecided.isEmpty()) {
            for (const TPlannedRow* row : choice.Undecided) {
                result.Reached << row->Label;
                asked.insert(row);
            }
            if (askPageAgain) {
                transaction.Rollback();
                covered = choice.Covered;
                result.PagedAgain = askPageAgain(result.Reached);
                answered = true;
                continue;
            }
        }
        if (!choice.Insert.isEmpty()) {
            result.MessageTextID = InsertText(db, messageText);
            TRowInserter inserter(db, AddRoutine);
            for (const TPlannedRow* row : choice.Insert)
                inserter.Insert(row->ContactID, row->Name, row->GUID, result.MessageTextID, row->Endpoint);
            result.Queued = static_cast<int>(choice.Insert.size());
        }
        result.Pending = HasRowsToSend(db);
        transaction.Commit();
        return result;
    }
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
    const QString routine = QStringLiteral("OutBox::ClearOutMessages");
    TNTransaction transaction(db);
    ExecuteSql(db, QStringLiteral("delete from OutMessages"), {}, routine);
    ExecuteSql(db, QStringLiteral("delete from OutMessageTexts"), {}, routine);
    ExecuteSql(db, QStringLiteral("delete from OutMessagesOnWire"), {}, routine);
    transaction.Commit();
}

TNLeftInOutBox LeftInOutBox(const QSqlDatabase& db)
{
    const QString routine = QStringLiteral("OutBox::LeftInOutBox");
    QSqlQuery query = OpenQuery(db,
                                QStringLiteral("select count(*), "
                                               "count(m.sentMessagesID), "
                                               "sum(case when m.sentMessagesID is null and w.ID is not null "
                                               "then 1 else 0 end) "
                                               "from OutMessages m left join OutMessagesOnWire w on w.ID = m.ID"),
                                {}, routine);
    TNLeftInOutBox left;
    if (query.next()) {
        left.Rows = query.value(0).toInt();
        left.Accepted = query.value(1).toInt();
        left.MayHaveReached = query.value(2).toInt();
    }
    return left;
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
