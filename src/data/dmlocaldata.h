#pragma once
// TDModLocalData: the data module of the local database "LocalData2.mdb".
// Created second at start-up (after the options): it compacts and checks the
// two database files in the program's folder, opens the local database,
// points the built-in "Local Database" at the program's folder and creates
// one data client per address book. Afterwards it serves the address-book
// list, the expanded folders of the tree and the out-box.
//
// Thread rules: created, used and destroyed on the main thread, except the
// operations marked "any thread", which run on the calling thread's own
// connection (ThreadDatabase(DatabasePath())) in one transaction each.
// Worker threads open their own connection from DatabasePath() (or
// ConnectionString()); they never use the main thread's.

#include "data/outbox.h"
#include "data/recipient.h"
#include "db/connection.h"
#include "db/datasource.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <memory>

class TBaseDataClient;
class TNSqlQuery;
class TNSqlTable;

class TDModLocalData : public QObject {
    Q_OBJECT
public:
    // The start-up sequence. A missing file shows its warning, asks the
    // application to terminate and skips the rest (LocalFilesMissing()).
    // Database errors and an unregistered address-book type raise.
    explicit TDModLocalData(QObject* owner = nullptr);
    ~TDModLocalData() override;

    // The local database file (folder + "LocalData2.mdb"), and the same as
    // "Data Source = <path>".
    QString DatabasePath() const { return m_path; }
    QString ConnectionString() const;
    // Start-up found a database file missing: nothing may open the local
    // database in this run, and the operations below do nothing (reads
    // answer empty) while the program ends.
    bool LocalFilesMissing() const { return m_filesMissing; }
    // The calling thread's own connection to the local database. Any thread.
    QSqlDatabase Connection() const;
    // Why the out-box and the sent-message log cannot be written now, in the
    // operator's words ("LocalData2.mdb is locked by another program", "...
    // is read-only", "the disk holding ... is full"); empty when they can.
    // Waits at most a quarter second for another program's lock; a
    // connection that found the file read-only is opened again first. Main
    // thread.
    QString OutBoxWriteProblem() const;
    // The main thread's connection of the module's datasets.
    TNConnection& MainConnection() { return m_connection; }

    // The address-book list and its types, for the administration windows
    // (main thread; opened by whoever shows them). tblDatabases and
    // qryDatabases ("select * from Databases order by OrderNo") carry the
    // derived fields FLDatabaseTypes_TypeNo and FCDatabase_Data.
    TNSqlTable* tblDatabaseTypes() const { return m_tblDatabaseTypes.get(); }
    TNSqlTable* tblDatabases() const { return m_tblDatabases.get(); }
    TNSqlQuery* qryDatabases() const { return m_qryDatabases.get(); }
    TNDataSource* dsDatabaseTypes() { return &m_dsDatabaseTypes; }
    TNDataSource* dsDatabases() { return &m_dsDatabases; }
    TNDataSource* dsQryDatabases() { return &m_dsQryDatabases; }

    void CompactLocalDataDatabase();
    void CompactRecipientsDatabase();
    void UpdateLocalDatabaseEntry();
    // One client per Databases row in OrderNo order; a client that cannot be
    // used warns and is dropped. Raises "No registered DataClientClass for
    // TypeNo= %d". Readers on other threads see the old list or the new one.
    void CreateDataClients();
    // Destroys every client, the last first (before CreateDataClients anew);
    // a shared book whose cache could not be saved is named in a warning
    // box afterwards (its unapplied changes are lost).
    void DestroyDataClients();

    // The address-book list window over qryDatabases and the address-book
    // types list over tblDatabaseTypes, modal, through the launchers the
    // administration windows register. EditDatabases answers true when the
    // list was closed with OK: the caller then makes the clients and the
    // folder tree anew (the main window's ReloadContactsTree).
    bool EditDatabases();
    void EditDatabaseTypes();

    // Name checks of the address-book editors (names bound as parameters, so
    // any character works; letter case is ignored).
    bool DatabaseNameExists(const QString& name) const;
    bool DatabaseTypeNameExists(const QString& name) const;
    bool DatabaseTypeNoExists(qint32 typeNo) const;
    // The largest OrderNo, 0 for an empty table.
    qint32 GetMaxOrderNo() const;
    // Exchanges the OrderNo of two address books in one transaction, so a
    // failure leaves both as they were (Move Up, Move Down). The datasets
    // over Databases are not re-read here. Raises EDatabaseError/EDataError.
    void SwapDatabaseOrder(qint32 firstID, qint32 secondID);

    // Expanded folders of the tree.
    void LoadOpenFolders(const QString& databaseGUID, QList<qint32>& folderIDs) const;
    void ClearOpenFolders();
    void SaveOpenFolders(const QString& databaseGUID, const QList<qint32>& folderIDs);

    // Queues one message in one transaction (see OutBox::AddOutMessage); the
    // option ShowContactNamesOfGroups chooses the group members' names.
    TNQueueResult AddOutMessage(const TNRecipients& recipients, const QString& messageText,
                                const TNAskPageAgain& askPageAgain = {});
    void AddOutMessageForContact(qint32 contactID, const QString& name, TBaseDataClient* client, qint32 messageTextID);
    // Any thread.
    void GetPendingServers(TNEndpointList& endpoints) const;
    void DeleteOutMessagesForTcpServer(const QString& ipAddress, qint32 portNo) const;
    void DeleteOutMessagesForComServer(const QString& hostName) const;

private:
    void Start();
    // Keeps what the data clients hold that they have not written yet (the
    // caches of shared books); what cannot be kept is told among the
    // failures of the close. Once per client.
    void SaveDataClientsAtClose() noexcept;
    // Saves (and with Destroy frees) the clients this module made, the last
    // first; returns the texts of what could not be kept.
    QStringList SaveOwnDataClients(bool destroy);
    bool LocalFileMissing(const QString& path, const QString& text);
    void CreateDataSets();

    QString m_folder;
    QString m_path;
    bool m_filesMissing = false;
    TNConnection m_connection;
    // After the connection: destroyed before it.
    std::unique_ptr<TNSqlTable> m_tblDatabaseTypes;
    std::unique_ptr<TNSqlTable> m_tblDatabases;
    std::unique_ptr<TNSqlQuery> m_qryDatabases;
    TNDataSource m_dsDatabaseTypes;
    TNDataSource m_dsDatabases;
    TNDataSource m_dsQryDatabases;
};

// The one local data module, set while it exists.
extern TDModLocalData* DModLocalData;
