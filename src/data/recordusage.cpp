#include "data/recordusage.h"

#include "data/dmlocaldata.h"
#include "data/localaccessclient.h"
#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"
#include "data/sharedfetched.h"
#include "data/sqlrun.h"
#include "data/threadconnections.h"

namespace {
// Rows of the user table whose field holds the key, read with SQL. The
// table and field names are this file's own constants; only the key is
// bound.
qint32 CountInFile(const QSqlDatabase& db, const QString& table, const QString& field, const QVariant& key)
{
    QSqlQuery query = OpenQuery(db, QStringLiteral("select count(*) from %1 where %2 = :Key").arg(table, field),
                                {{QStringLiteral("Key"), key}}, QStringLiteral("CountRecordsUsing"));
    return query.next() ? query.value(0).toInt() : 0;
}

// Stored rows of a cached dataset (filtered out or not) whose field holds
// the key.
qint32 CountInCache(const TNClientDataSet& cache, const QString& field, const QVariant& key)
{
    const auto& defs = cache.FieldDefs();
    size_t index = defs.size();
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].Name.compare(field, Qt::CaseInsensitive) == 0)
            index = i;
    if (index == defs.size())
        return 0;
    const qint64 wanted = key.toLongLong();
    qint32 count = 0;
    cache.ForEachStoredRow([&](const std::vector<QVariant>& values) {
        if (index < values.size() && !values[index].isNull() && values[index].toLongLong() == wanted)
            ++count;
    });
    return count;
}
}  // namespace

bool RecordReferenceOf(TDataKind kind, TRecordReference& reference)
{
    switch (kind) {
        case dkCarriers:
            reference = {dkContacts,           QStringLiteral("Contacts"), QStringLiteral("CarrierID"),
                         QStringLiteral("ID"), QStringLiteral("contact"),  QStringLiteral("contacts")};
            return true;
        case dkServers:
            reference = {dkCarriers,           QStringLiteral("Carriers"), QStringLiteral("ServerID"),
                         QStringLiteral("ID"), QStringLiteral("carrier"),  QStringLiteral("carriers")};
            return true;
        case dkCarrierTypes:
            reference = {dkCarriers,
                         QStringLiteral("Carriers"),
                         QStringLiteral("TypeNo"),
                         QStringLiteral("TypeNo"),
                         QStringLiteral("carrier"),
                         QStringLiteral("carriers")};
            return true;
        default:
            return false;
    }
}

qint32 CountRecordsUsing(TBaseDataClient& book, TDataKind kind, const QVariant& key)
{
    TRecordReference reference;
    if (!RecordReferenceOf(kind, reference) || !key.isValid() || key.isNull())
        return 0;
    if (auto* local = qobject_cast<TLocalAccessClient*>(&book))
        return CountInFile(ThreadDatabase(local->DatabasePath()), reference.UserTable, reference.UserField, key);
    if (auto* shared = qobject_cast<TBaseSharedClient*>(&book)) {
        const TNClientDataSet* cache = shared->ClientDataSet(reference.UserKind);
        return cache ? CountInCache(*cache, reference.UserField, key) : 0;
    }
    return 0;
}

bool AllUsersAtHand(TBaseDataClient& book, TDataKind kind, qint32 recordID)
{
    TRecordReference reference;
    auto* shared = qobject_cast<TBaseSharedClient*>(&book);
    if (!shared || !RecordReferenceOf(kind, reference) || RemoteData::IsTemporaryId(recordID))
        return true;
    return SharedKindFetched(*shared, reference.UserKind);
}

qint32 CountDatabasesOfType(qint32 typeNo)
{
    if (!DModLocalData)
        return 0;
    return CountInFile(DModLocalData->Connection(), QStringLiteral("Databases"), QStringLiteral("TypeNo"), typeNo);
}

QString InUseWarning(const QString& name, qint32 count, const QString& userSingular, const QString& userPlural)
{
    return QStringLiteral("\"%1\" cannot be deleted: %2 %3 %4 it.")
        .arg(name)
        .arg(count)
        .arg(count == 1 ? userSingular : userPlural, count == 1 ? QStringLiteral("uses") : QStringLiteral("use"));
}

QString UsersNotFetchedWarning(const QString& name, const QString& bookName, const TRecordReference& reference)
{
    return QStringLiteral(
               "\"%1\" cannot be deleted yet: the %2 of the address book \"%3\" are not in its cache as "
               "fetched from its server, so it is not known whether any of them use it. Refresh the %4 "
               "list first.")
        .arg(name, reference.UserPlural, bookName, reference.UserTable);
}
