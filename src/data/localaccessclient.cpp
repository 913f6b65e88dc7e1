#include "data/localaccessclient.h"

#include "data/bookfields.h"
#include "data/dataerror.h"
#include "data/localbookqueries.h"
#include "data/threadconnections.h"
#include "db/sqldataset.h"
#include "db/sqlexec.h"
#include "db/transaction.h"

#include <QFile>

namespace {
struct TTableDef {
    const char* Table;
    const char* Component;
    const char* IndexFieldNames;
    const char* Source;
};

// By TDataKind.
constexpr TTableDef TableDefs[DataKindCount] = {
    {"CarrierTypes", "tblCarrierTypes", "TypeNo", "dsCarrierTypes"},
    {"Carriers", "tblCarriers", "Name", "dsCarriers"},
    {"Contacts", "tblContacts", "Name", "dsContacts"},
    {"Templates", "tblTemplates", "Name", "dsTemplates"},
    {"Groups", "tblGroups", "Name", "dsGroups"},
    {"GroupAssigns", "tblGroupAssigns", "", "dsGroupAssigns"},
    {"Folders", "tblFolders", "", "dsFolders"},
    {"FolderAssigns", "tblFolderAssigns", "", "dsFolderAssigns"},
    {"Servers", "tblServers", "Name", "dsServers"},
};
}  // namespace

TLocalAccessClient::TLocalAccessClient()
{
    CreateDataSets();
}

TLocalAccessClient::~TLocalAccessClient()
{
    ReleaseClient();
    for (auto& table : m_tables)
        if (table)
            table->Close();
    m_connection.Close();
    if (!m_path.isEmpty())
        CloseThreadDatabase(m_path);
}

void TLocalAccessClient::CreateDataSets()
{
    for (int kind = 0; kind < DataKindCount; ++kind) {
        const TTableDef& def = TableDefs[kind];
        auto table = std::make_unique<TNSqlTable>();
        table->SetConnection(&m_connection);
        table->SetTableName(QString::fromLatin1(def.Table));
        table->setObjectName(QString::fromLatin1(def.Component));
        table->SetIndexFieldNames(QString::fromLatin1(def.IndexFieldNames));
        m_sources[kind].setObjectName(QString::fromLatin1(def.Source));
        m_sources[kind].SetDataSet(table.get());
        m_tables[kind] = std::move(table);
    }
    std::array<TNDataSet*, DataKindCount> dataSets{};
    for (int kind = 0; kind < DataKindCount; ++kind)
        dataSets[kind] = m_tables[kind].get();
    AddBookFields(dataSets);
}

bool TLocalAccessClient::InitConnection(const QString& data)
{
    const QString path = LocalBook::FileFromSettings(data);
    if (path.isEmpty() || !QFile::exists(path))
        return false;
    m_connection.SetDatabasePath(path);
    if (!HoldsAddressBook()) {
        m_connection.Close();
        return false;
    }
    m_path = path;
    return true;
}

bool TLocalAccessClient::HoldsAddressBook()
{
    // A file that is no database, or a database without the book's tables,
    // would fail only later, in the middle of building the tree: it is
    // refused here, so the book is left out whole.
    QStringList names;
    for (const TTableDef& def : TableDefs)
        names << QString::fromLatin1(def.Table);
    try {
        m_connection.Open();
        const QVariant found = m_connection.QueryValue(
            QStringLiteral("select count(*) from sqlite_master where type = 'table' and name in ('%1')")
                .arg(names.join(QStringLiteral("', '"))));
        return found.toInt() == names.size();
    } catch (const std::exception&) {
        return false;
    }
}

TNDataSet* TLocalAccessClient::GetDataSet(TDataKind kind)
{
    if (kind >= DataKindCount)
        throw EDataError(QStringLiteral("From \"TLocalAccessClient.GetDataSet()\" - Unknown dataKind"));
    return m_tables[kind].get();
}

TNDataSource* TLocalAccessClient::GetDataSource(TDataKind kind)
{
    if (kind >= DataKindCount)
        throw EDataError(QStringLiteral("From \"TLocalAccessClient.GetDataSource()\" - Unknown dataKind"));
    return &m_sources[kind];
}

QList<TNDataSet*> TLocalAccessClient::DataSets()
{
    QList<TNDataSet*> dataSets;
    for (auto& table : m_tables)
        dataSets.append(table.get());
    return dataSets;
}

std::unique_ptr<TNTransaction> TLocalAccessClient::BeginTransaction()
{
    return std::make_unique<TNTransaction>(m_connection);
}

QSqlDatabase TLocalAccessClient::QueryDatabase() const
{
    return ThreadDatabase(m_path);
}

bool TLocalAccessClient::GetServerByContactID(qint32 contactID, TNServerEndpoint& endpoint)
{
    return LocalBook::ServerByContactID(QueryDatabase(), contactID, endpoint);
}

QString TLocalAccessClient::WhyNoServer(qint32 contactID)
{
    const QString why = LocalBook::WhyNoServer(QueryDatabase(), contactID);
    return why.isEmpty() ? TBaseDataClient::WhyNoServer(contactID) : why;
}

void TLocalAccessClient::GetServersOfGroup(qint32 groupID, QHash<qint32, TNServerEndpoint>& servers)
{
    LocalBook::ServersOfGroup(QueryDatabase(), groupID, servers);
}

void TLocalAccessClient::GetContactIDsNamesOfGroup(qint32 groupID, QList<qint32>& ids, QStringList& names)
{
    LocalBook::ContactIDsNamesOfGroup(QueryDatabase(), groupID, ids, names);
}

void TLocalAccessClient::GetContactsOfGroup(qint32 groupID, QList<qint32>& ids)
{
    LocalBook::ContactsOfGroup(QueryDatabase(), groupID, ids);
}

bool TLocalAccessClient::ServerNameExists(const QString& name)
{
    return LocalBook::ServerNameExists(QueryDatabase(), name);
}

qint32 TLocalAccessClient::GetRecordCount(TDataKind kind)
{
    if (kind == dkCarriers)
        return LocalBook::RecordCount(QueryDatabase(), QStringLiteral("Carriers"));
    if (kind == dkServers)
        return LocalBook::RecordCount(QueryDatabase(), QStringLiteral("Servers"));
    return -1;
}

QSet<qint32> TLocalAccessClient::GetRecordIDs(TDataKind kind)
{
    if (kind == dkContacts)
        return LocalBook::RecordIDs(QueryDatabase(), QStringLiteral("Contacts"));
    if (kind == dkGroups)
        return LocalBook::RecordIDs(QueryDatabase(), QStringLiteral("Groups"));
    return TBaseDataClient::GetRecordIDs(kind);
}

bool TLocalAccessClient::GetContactCarrier(qint32 contactID, TNContactCarrier& carrier)
{
    return LocalBook::ContactCarrier(QueryDatabase(), contactID, carrier);
}

void TLocalAccessClient::SaveGroupMembers(qint32 groupID, const QList<qint32>& contactIDs)
{
    const QString routine = QStringLiteral("TLocalAccessClient.SaveGroupMembers");
    TNDataSet* assigns = GetDataSet(dkGroupAssigns);
    if (assigns->Active())
        assigns->CheckBrowseMode();
    {
        TNTransaction transaction(m_connection);
        m_connection.ExecSQL(QStringLiteral("delete from GroupAssigns where GroupID = :GroupID"),
                             {{QStringLiteral("GroupID"), groupID}});
        // One prepared statement for every row: a group of thousands is
        // written in one pass.
        QSqlQuery insert =
            PrepareSql(m_connection.Database(),
                       QStringLiteral("insert into GroupAssigns (GroupID, ContactID) values (:GroupID, :ContactID)"),
                       ParamMapValues({{QStringLiteral("GroupID"), groupID}}), routine);
        for (qint32 contactID : contactIDs) {
            insert.bindValue(1, contactID);  // the second placeholder
            ExecPrepared(insert, routine);
        }
        transaction.Commit();
    }
    if (assigns->Active())
        assigns->Refresh();
}
