#include "data/localbookqueries.h"

#include "data/sqlrun.h"
#include "platform/commatext.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"

namespace LocalBook {
namespace {
constexpr qint32 DefaultServerPort = 215;
}  // namespace

namespace {
// A server row's endpoint: its settings text must have exactly three items.
bool EndpointFromServer(qint32 typeNo, const QString& data, TNServerEndpoint& endpoint)
{
    const QStringList items = CommaTextToList(data);
    if (items.size() != 3)
        return false;
    bool ok = false;
    const int port = ParseDelphiInteger(items.at(1), &ok);
    endpoint.ServerTypeNo = typeNo;
    endpoint.IpAddress = items.at(0);
    endpoint.PortNo = ok ? port : DefaultServerPort;
    endpoint.HostName = items.at(2);
    return true;
}
}  // namespace

bool ServerByContactID(const QSqlDatabase& db, qint32 contactID, TNServerEndpoint& endpoint)
{
    QSqlQuery query =
        OpenQuery(db,
                  QStringLiteral("select s.TypeNo, s.Data from Servers s, Carriers car, Contacts con "
                                 "where (con.ID = :ContactID) and (car.ID = con.CarrierID) "
                                 "and (car.ServerID = s.ID)"),
                  {{QStringLiteral("ContactID"), contactID}}, QStringLiteral("LocalBook::ServerByContactID"));
    if (!query.next())
        return false;
    return EndpointFromServer(query.value(0).toInt(), query.value(1).toString(), endpoint);
}

QString WhyNoServer(const QSqlDatabase& db, qint32 contactID)
{
    QSqlQuery query = OpenQuery(db,
                                QStringLiteral("select car.ID, s.ID, s.Data from Contacts con "
                                               "left join Carriers car on car.ID = con.CarrierID "
                                               "left join Servers s on s.ID = car.ServerID where con.ID = :ContactID"),
                                {{QStringLiteral("ContactID"), contactID}}, QStringLiteral("LocalBook::WhyNoServer"));
    if (!query.next())
        return QStringLiteral("the contact is no longer in the address book");
    if (query.value(0).isNull())
        return QStringLiteral("its carrier no longer exists");
    if (query.value(1).isNull())
        return QStringLiteral("its carrier's server no longer exists");
    if (CommaTextToList(query.value(2).toString()).size() != 3)
        return QStringLiteral("its server's settings are not an address, a port and a host name");
    return {};
}

void ServersOfGroup(const QSqlDatabase& db, qint32 groupID, QHash<qint32, TNServerEndpoint>& servers)
{
    servers.clear();
    QSqlQuery query = OpenQuery(db,
                                QStringLiteral("select distinct con.ID, s.TypeNo, s.Data from GroupAssigns g "
                                               "inner join Contacts con on con.ID = g.ContactID "
                                               "inner join Carriers car on car.ID = con.CarrierID "
                                               "inner join Servers s on s.ID = car.ServerID "
                                               "where g.GroupID = :GroupID"),
                                {{QStringLiteral("GroupID"), groupID}}, QStringLiteral("LocalBook::ServersOfGroup"));
    TNServerEndpoint endpoint;
    while (query.next())
        if (EndpointFromServer(query.value(1).toInt(), query.value(2).toString(), endpoint))
            servers.insert(query.value(0).toInt(), endpoint);
}

void ContactIDsNamesOfGroup(const QSqlDatabase& db, qint32 groupID, QList<qint32>& ids, QStringList& names)
{
    ids.clear();
    names.clear();
    QSqlQuery query =
        OpenQuery(db,
                  QStringLiteral("select GroupAssigns.ContactID, Contacts.Name from Groups "
                                 "inner join GroupAssigns on Groups.ID = GroupAssigns.GroupID "
                                 "inner join Contacts on Contacts.ID = GroupAssigns.ContactID "
                                 "where Groups.ID = :GroupID order by GroupAssigns.ID"),
                  {{QStringLiteral("GroupID"), groupID}}, QStringLiteral("LocalBook::ContactIDsNamesOfGroup"));
    while (query.next()) {
        ids.append(query.value(0).toInt());
        names.append(query.value(1).toString());
    }
}

void ContactsOfGroup(const QSqlDatabase& db, qint32 groupID, QList<qint32>& ids)
{
    ids.clear();
    QSqlQuery query = OpenQuery(db,
                                QStringLiteral("select g.ContactID from GroupAssigns g where g.GroupID = :GroupID "
                                               "order by g.ID"),
                                {{QStringLiteral("GroupID"), groupID}}, QStringLiteral("LocalBook::ContactsOfGroup"));
    while (query.next())
        ids.append(query.value(0).toInt());
}

bool ServerNameExists(const QSqlDatabase& db, const QString& name)
{
    // The column is declared NOCASE, as the original engine compared names.
    QSqlQuery query = OpenQuery(db, QStringLiteral("select ID from Servers where Name = :Name"),
                                {{QStringLiteral("Name"), name}}, QStringLiteral("LocalBook::ServerNameExists"));
    return query.next();
}

qint32 RecordCount(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery query = OpenQuery(db, QStringLiteral("select count(*) from %1").arg(table), {},
                                QStringLiteral("LocalBook::RecordCount"));
    return query.next() ? query.value(0).toInt() : 0;
}

QSet<qint32> RecordIDs(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery query =
        OpenQuery(db, QStringLiteral("select ID from %1").arg(table), {}, QStringLiteral("LocalBook::RecordIDs"));
    QSet<qint32> ids;
    while (query.next())
        ids.insert(query.value(0).toInt());
    return ids;
}

bool ContactCarrier(const QSqlDatabase& db, qint32 contactID, TNContactCarrier& carrier)
{
    QSqlQuery query =
        OpenQuery(db,
                  QStringLiteral("select con.CarrierID, con.Data, car.TypeNo, car.Data, con.Name, car.ID "
                                 "from Contacts con left join Carriers car on car.ID = con.CarrierID "
                                 "where con.ID = :ContactID"),
                  {{QStringLiteral("ContactID"), contactID}}, QStringLiteral("LocalBook::ContactCarrier"));
    if (!query.next())
        return false;
    carrier.ContactName = query.value(4).toString();
    if (query.value(5).isNull())
        return false;  // the carrier is gone
    carrier.CarrierID = query.value(0).toInt();
    carrier.ContactData = query.value(1).toString();
    carrier.CarrierTypeNo = query.value(2).toInt();
    carrier.CarrierData = query.value(3).toString();
    return true;
}

QString FileFromSettings(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    if (items.isEmpty() || items.at(0).isEmpty())
        return {};
    return IncludeTrailingPathDelimiter(items.at(0)) + QStringLiteral("Tovix2Database.mdb");
}

}  // namespace LocalBook
