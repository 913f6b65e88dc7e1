#include "data/dmlocaldata.h"

#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "data/dataclientclasses.h"
#include "data/dataerror.h"
#include "data/sqlrun.h"
#include "data/threadconnections.h"
#include "db/compact.h"
#include "db/databasefiles.h"
#include "db/dberror.h"
#include "db/sqldataset.h"
#include "db/sqlexec.h"
#include "db/transaction.h"
#include "db/writeproblem.h"
#include "foundation/options.h"
#include "platform/appterminate.h"
#include "platform/closereport.h"
#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "platform/programfolder.h"

#include <unistd.h>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QStorageInfo>
#include <cerrno>

TDModLocalData* DModLocalData = nullptr;

namespace {
// Send's look at the local database: how long it waits for another
// program's lock, how long the queuing itself may wait for one (the window
// does not answer meanwhile), and the free space below which the disk counts
// as full (the log of a send and the database's journal need more).
constexpr int kSendCheckWaitMs = 250;
constexpr int kQueueBusyWaitMs = 1000;
constexpr qint64 kMinFreeBytes = 1024 * 1024;
constexpr int DatabaseDataWidth = 30;
constexpr int DatabaseDataSize = 255;

// The hourglass while a file is compacted.
class TWaitCursor {
public:
    TWaitCursor()
    {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            m_set = true;
        }
    }
    ~TWaitCursor()
    {
        if (m_set)
            QGuiApplication::restoreOverrideCursor();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool m_set = false;
};

struct TDatabaseRow {
    qint32 TypeNo = 0;
    QString Name;
    QString GUID;
    QString Data;
};
}  // namespace

TDModLocalData::TDModLocalData(QObject* owner)
    : QObject(owner), m_folder(ProgramFolder()), m_path(m_folder + LocalDataFileName())
{
    DModLocalData = this;
    try {
        CreateDataSets();
        RegisterStandardDataClientClasses();
        Start();
        OnProgramClose(this, [this] { SaveDataClientsAtClose(); });
    } catch (...) {
        // The destructor will not run: release what the steps made.
        DestroyDataClients();
        DModLocalData = nullptr;
        throw;
    }
}

void TDModLocalData::Start()
{
    CompactLocalDataDatabase();
    if (LocalFileMissing(m_path,
                         QStringLiteral("Error: \"LocalData2.mdb\" database file not found in the application's "
                                        "folder.\r\rExiting ...")))
        return;
    m_connection.SetDatabasePath(m_path);
    m_connection.Open();
    // A file made before an index was added to the schema gets it now.
    CreateMissingIndexes(Connection(), LocalDataSchemaSql());
    // An index on the out-box's link to the log, which every acknowledgement
    // and report had to update, is no longer looked up: a file that has it
    // loses it.
    ExecuteSql(Connection(), QStringLiteral("drop index if exists OutMessagesSentMessagesID"), {},
               QStringLiteral("TDModLocalData::Start"));
    // The note of rows put on the wire, which a file made before it lacks.
    ExecuteSql(Connection(), QStringLiteral("create table if not exists OutMessagesOnWire (ID INTEGER PRIMARY KEY)"),
               {}, QStringLiteral("TDModLocalData::Start"));
    if (LocalFileMissing(m_folder + AddressBookFileName(),
                         QStringLiteral("Error: Local Recipients (\"Tovix2Database.mdb\") database file not found in "
                                        "the application's folder.\r\rExiting ...")))
        return;
    UpdateLocalDatabaseEntry();
    CompactRecipientsDatabase();
    CreateDataClients();
}

TDModLocalData::~TDModLocalData()
{
    // Nothing is shown from here: what is lost is told as a close failure.
    SaveDataClientsAtClose();
    DestroyDataClients();
    m_connection.Close();
    CloseThreadDatabase(m_path);
    if (DModLocalData == this)
        DModLocalData = nullptr;
}

void TDModLocalData::CreateDataSets()
{
    m_tblDatabaseTypes = std::make_unique<TNSqlTable>();
    m_tblDatabaseTypes->setObjectName(QStringLiteral("tblDatabaseTypes"));
    m_tblDatabaseTypes->SetConnection(&m_connection);
    m_tblDatabaseTypes->SetTableName(QStringLiteral("DatabaseTypes"));

    m_tblDatabases = std::make_unique<TNSqlTable>();
    m_tblDatabases->setObjectName(QStringLiteral("tblDatabases"));
    m_tblDatabases->SetConnection(&m_connection);
    m_tblDatabases->SetTableName(QStringLiteral("Databases"));

    m_qryDatabases = std::make_unique<TNSqlQuery>();
    m_qryDatabases->setObjectName(QStringLiteral("qryDatabases"));
    m_qryDatabases->SetConnection(&m_connection);
    m_qryDatabases->SetSQL(QStringLiteral("select * from Databases order by OrderNo"));

    for (TNDataSet* dataSet :
         {static_cast<TNDataSet*>(m_tblDatabases.get()), static_cast<TNDataSet*>(m_qryDatabases.get())}) {
        dataSet->AddLookupField(QStringLiteral("FLDatabaseTypes_TypeNo"), QStringLiteral("TypeNo"),
                                m_tblDatabaseTypes.get(), QStringLiteral("TypeNo"), QStringLiteral("TypeNo"));
        // Data as plain text; the column grows to the longest text shown.
        TNField* shown = dataSet->AddCalculatedField(
            QStringLiteral("FCDatabase_Data"), TFieldKind::fkString,
            [dataSet](const TNRecord& record) -> QVariant {
                const QString data = record.Value(QStringLiteral("Data")).toString();
                TNField* field = dataSet->FindField(QStringLiteral("FCDatabase_Data"));
                if (field && data.size() > field->DisplayWidth())
                    field->SetDisplayWidth(int(data.size()));
                return data.left(DatabaseDataSize);
            },
            DatabaseDataSize);
        shown->SetDisplayWidth(DatabaseDataWidth);
    }
    m_dsDatabaseTypes.SetDataSet(m_tblDatabaseTypes.get());
    m_dsDatabases.SetDataSet(m_tblDatabases.get());
    m_dsQryDatabases.SetDataSet(m_qryDatabases.get());
}

bool TDModLocalData::LocalFileMissing(const QString& path, const QString& text)
{
    if (QFile::exists(path))
        return false;
    m_filesMissing = true;
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
    TerminateApplication();
    return true;
}

QString TDModLocalData::ConnectionString() const
{
    return QStringLiteral("Data Source = ") + m_path;
}

QSqlDatabase TDModLocalData::Connection() const
{
    return ThreadDatabase(m_path);
}

void TDModLocalData::CompactLocalDataDatabase()
{
    // A missing file has nothing to compact; start-up reports it next.
    if (!QFile::exists(m_path))
        return;
    TWaitCursor cursor;
    const bool wasOpen = m_connection.Connected();
    m_connection.Close();
    CloseThreadDatabase(m_path);
    QString error;
    if (!CompactDatabaseFile(m_path, &error))
        ShowMessage(error);
    if (wasOpen)
        m_connection.Open();
}

void TDModLocalData::CompactRecipientsDatabase()
{
    const QString path = m_folder + AddressBookFileName();
    if (!QFile::exists(path))
        return;
    TWaitCursor cursor;
    // A failure keeps the original file and goes on without a message.
    CompactDatabaseFile(path, nullptr);
}

void TDModLocalData::UpdateLocalDatabaseEntry()
{
    if (m_filesMissing)
        return;
    ExecuteSql(Connection(),
               QStringLiteral("update Databases set Data = :Data where ID = "
                              "(select min(ID) from Databases where Name = :Name)"),
               {{QStringLiteral("Data"), CommaTextFromList({m_folder})},
                {QStringLiteral("Name"), QStringLiteral("Local Database")}},
               QStringLiteral("TDModLocalData.UpdateLocalDatabaseEntry"));
}

void TDModLocalData::CreateDataClients()
{
    if (m_filesMissing)
        return;
    QList<TDatabaseRow> rows;
    {
        QSqlQuery query =
            OpenQuery(Connection(), QStringLiteral("select TypeNo, Name, GUID, Data from Databases order by OrderNo"),
                      {}, QStringLiteral("TDModLocalData.CreateDataClients"));
        while (query.next())
            rows.append({query.value(0).toInt(), query.value(1).toString(), query.value(2).toString(),
                         query.value(3).toString()});
    }
    TDataClientWarnings warnings;
    try {
        TDataClientsWriteScope scope(DataClients);
        for (const TDatabaseRow& row : rows) {
            TDataClientClass clientClass = FindDataClientClass(row.TypeNo);
            if (!clientClass)
                throw EDataError(QStringLiteral("No registered DataClientClass for TypeNo= %1").arg(row.TypeNo));
            CreateDataClient(clientClass, row.Name, row.GUID, row.Data, this, &warnings);
        }
    } catch (...) {
        ShowDataClientWarnings(warnings);
        throw;
    }
    // Shown once the list is released, so no reader waits on a message box.
    ShowDataClientWarnings(warnings);
}

TDataClientWarnings TDModLocalData::SaveOwnDataClients(bool destroy)
{
    TDataClientWarnings lost;
    TDataClientsWriteScope scope(DataClients);
    for (int i = DataClients.Count() - 1; i >= 0; --i) {
        TBaseDataClient* client = DataClients.Items(i);
        if (client->parent() != this)
            continue;
        if (const QString text = client->SaveBeforeDestroy(); !text.isEmpty())
            lost.append(text);
        if (destroy)
            delete client;
    }
    return lost;
}

void TDModLocalData::SaveDataClientsAtClose() noexcept
{
    try {
        for (const QString& lost : SaveOwnDataClients(false))
            ReportCloseFailure(lost);
    } catch (...) {
    }
}

void TDModLocalData::DestroyDataClients()
{
    // Shown once the list is released, so no reader waits on a message box.
    ShowDataClientWarnings(SaveOwnDataClients(true));
}

bool TDModLocalData::EditDatabases()
{
    return !m_filesMissing && ShowDatabasesList();
}

void TDModLocalData::EditDatabaseTypes()
{
    if (!m_filesMissing)
        ShowDatabaseTypesList();
}

bool TDModLocalData::DatabaseNameExists(const QString& name) const
{
    if (m_filesMissing)
        return false;
    return OpenQuery(Connection(), QStringLiteral("select ID from Databases where Name = :Name"),
                     {{QStringLiteral("Name"), name}}, QStringLiteral("TDModLocalData.DatabaseNameExists"))
        .next();
}

bool TDModLocalData::DatabaseTypeNameExists(const QString& name) const
{
    if (m_filesMissing)
        return false;
    return OpenQuery(Connection(), QStringLiteral("select ID from DatabaseTypes where Name = :Name"),
                     {{QStringLiteral("Name"), name}}, QStringLiteral("TDModLocalData.DatabaseTypeNameExists"))
        .next();
}

bool TDModLocalData::DatabaseTypeNoExists(qint32 typeNo) const
{
    if (m_filesMissing)
        return false;
    return OpenQuery(Connection(), QStringLiteral("select ID from DatabaseTypes where TypeNo = :TypeNo"),
                     {{QStringLiteral("TypeNo"), typeNo}}, QStringLiteral("TDModLocalData.DatabaseTypeNoExists"))
        .next();
}

qint32 TDModLocalData::GetMaxOrderNo() const
{
    if (m_filesMissing)
        return 0;
    QSqlQuery query = OpenQuery(Connection(), QStringLiteral("select max(OrderNo) as MaxOrderNo from Databases"), {},
                                QStringLiteral("TDModLocalData.GetMaxOrderNo"));
    return query.next() ? query.value(0).toInt() : 0;
}

void TDModLocalData::SwapDatabaseOrder(qint32 firstID, qint32 secondID)
{
    if (m_filesMissing)
        return;
    const QString routine = QStringLiteral("TDModLocalData.SwapDatabaseOrder");
    const QString read = QStringLiteral("select OrderNo from Databases where ID = :ID");
    const QVariant first = m_connection.QueryValue(read, {{QStringLiteral("ID"), firstID}});
    const QVariant second = m_connection.QueryValue(read, {{QStringLiteral("ID"), secondID}});
    if (!first.isValid() || !second.isValid())
        throw EDataError(QStringLiteral("From %1: no address book with ID %2")
                             .arg(routine)
                             .arg(first.isValid() ? secondID : firstID));
    // Both rows change or neither does: two books never share a place.
    TNTransaction transaction(m_connection);
    const QString write = QStringLiteral("update Databases set OrderNo = :OrderNo where ID = :ID");
    m_connection.ExecSQL(write, {{QStringLiteral("OrderNo"), second}, {QStringLiteral("ID"), firstID}});
    m_connection.ExecSQL(write, {{QStringLiteral("OrderNo"), first}, {QStringLiteral("ID"), secondID}});
    transaction.Commit();
}

void TDModLocalData::LoadOpenFolders(const QString& databaseGUID, QList<qint32>& folderIDs) const
{
    folderIDs.clear();
    if (m_filesMissing)
        return;
    QSqlQuery query = OpenQuery(
        Connection(), QStringLiteral("select FolderID from FoldersOpen where DatabaseGUID=:DataBaseGuidString"),
        {{QStringLiteral("DataBaseGuidString"), databaseGUID}}, QStringLiteral("TDModLocalData.LoadOpenFolders"));
    while (query.next())
        folderIDs.append(query.value(0).toInt());
}

void TDModLocalData::ClearOpenFolders()
{
    if (m_filesMissing)
        return;
    ExecuteSql(Connection(), QStringLiteral("delete from FoldersOpen"), {},
               QStringLiteral("TDModLocalData.ClearOpenFolders"));
}

void TDModLocalData::SaveOpenFolders(const QString& databaseGUID, const QList<qint32>& folderIDs)
{
    if (m_filesMissing || folderIDs.isEmpty())
        return;
    const QString routine = QStringLiteral("TDModLocalData.SaveOpenFolders");
    const QSqlDatabase db = Connection();
    TNTransaction transaction(db);
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values (?, ?)")))
        throw EDatabaseError(routine);
    insert.bindValue(0, databaseGUID);
    for (qint32 id : folderIDs) {
        insert.bindValue(1, id);
        ExecPrepared(insert, routine);
    }
    transaction.Commit();
}

TNQueueResult TDModLocalData::AddOutMessage(const TNRecipients& recipients, const QString& messageText,
                                            const TNAskPageAgain& askPageAgain)
{
    if (m_filesMissing || recipients.isEmpty())
        return {};
    const bool showNames = Options->OptionByName(QStringLiteral("ShowContactNamesOfGroups"))->AsBool();
    // Another program's lock taken since Send looked fails the queuing soon
    // (nothing is queued then), never freezes the window for long.
    QSqlDatabase db = Connection();
    SetBusyWait(db, kQueueBusyWaitMs);
    struct TRestoreBusyWait {
        QSqlDatabase& db;
        ~TRestoreBusyWait() { SetBusyWait(db, BusyTimeoutMs); }
    } restore{db};
    return OutBox::AddOutMessage(db, recipients, messageText, showNames, askPageAgain);
}

QString TDModLocalData::OutBoxWriteProblem() const
{
    if (m_filesMissing)
        return {};
    QSqlDatabase db = Connection();
    const QString error = ProbeWritable(db, kSendCheckWaitMs);
    if (!error.isEmpty())
        return WriteProblemText(error, LocalDataFileName());
    // A connection opened earlier may still write to a file that has become
    // read-only since; the send threads open theirs now, and could not.
    if (::access(QFile::encodeName(m_path).constData(), W_OK) != 0 && (errno == EACCES || errno == EROFS))
        return WriteProblemText(QStringLiteral("attempt to write a readonly database"), LocalDataFileName());
    const QStorageInfo volume(m_folder);
    if (volume.isValid() && volume.bytesAvailable() >= 0 && volume.bytesAvailable() < kMinFreeBytes)
        return WriteProblemText(QStringLiteral("database or disk is full"), LocalDataFileName());
    return {};
}

void TDModLocalData::AddOutMessageForContact(qint32 contactID, const QString& name, TBaseDataClient* client,
                                             qint32 messageTextID)
{
    if (m_filesMissing)
        return;
    OutBox::AddOutMessageForContact(Connection(), contactID, name, client, messageTextID);
}

void TDModLocalData::GetPendingServers(TNEndpointList& endpoints) const
{
    endpoints.clear();
    if (m_filesMissing)
        return;
    OutBox::GetPendingServers(Connection(), endpoints);
}

void TDModLocalData::DeleteOutMessagesForTcpServer(const QString& ipAddress, qint32 portNo) const
{
    if (m_filesMissing)
        return;
    OutBox::DeleteOutMessagesForTcpServer(Connection(), ipAddress, portNo);
}

void TDModLocalData::DeleteOutMessagesForComServer(const QString& hostName) const
{
    if (m_filesMissing)
        return;
    OutBox::DeleteOutMessagesForComServer(Connection(), hostName);
}
