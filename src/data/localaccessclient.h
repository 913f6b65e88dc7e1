#pragma once
// TLocalAccessClient: the data client of a local address book (type 1), the
// file "Tovix2Database.mdb" in the folder that item 0 of the book's settings
// text names. It owns one table dataset per TDataKind (all nine), opened on
// demand on the main thread's connection, with the lookup fields and display
// handlers the windows use.
//
// Thread rules: the datasets belong to the main thread. The query operations
// read the book's file through the calling thread's own connection and never
// touch the datasets, so a send thread may call them (inside
// DataClients.WithClientByGUID) while the main thread edits the datasets.

#include "data/basedataclient.h"
#include "db/connection.h"
#include "db/datasource.h"

#include <array>
#include <memory>

// The common base of the clients that open their book from a file.
class TBaseLocalClient : public TBaseDataClient {
    Q_OBJECT
protected:
    TBaseLocalClient() = default;
};

class TLocalAccessClient : public TBaseLocalClient {
    Q_OBJECT
public:
    TLocalAccessClient();
    ~TLocalAccessClient() override;

    // Item 0 of the settings text is the folder (a trailing "/" or "\" is
    // optional); true when its "Tovix2Database.mdb" exists and is a database
    // holding the nine tables of an address book.
    bool InitConnection(const QString& data) override;
    // Kinds 0 to 8; any other raises "From "TLocalAccessClient.GetDataSet()"
    // - Unknown dataKind".
    TNDataSet* GetDataSet(TDataKind kind) override;
    // dsCarrierTypes ... dsServers for kinds 0 to 8; any other raises "From
    // "TLocalAccessClient.GetDataSource()" - Unknown dataKind".
    TNDataSource* GetDataSource(TDataKind kind) override;
    QList<TNDataSet*> DataSets() override;
    // A transaction on the datasets' connection.
    std::unique_ptr<TNTransaction> BeginTransaction() override;

    bool GetServerByContactID(qint32 contactID, TNServerEndpoint& endpoint) override;
    using TBaseDataClient::GetServerByContactID;
    QString WhyNoServer(qint32 contactID) override;
    void GetServersOfGroup(qint32 groupID, QHash<qint32, TNServerEndpoint>& servers) override;
    void GetContactIDsNamesOfGroup(qint32 groupID, QList<qint32>& ids, QStringList& names) override;
    void GetContactsOfGroup(qint32 groupID, QList<qint32>& ids) override;
    bool ServerNameExists(const QString& name) override;
    // dkCarriers and dkServers are counted; any other kind gives -1.
    qint32 GetRecordCount(TDataKind kind) override;
    QSet<qint32> GetRecordIDs(TDataKind kind) override;
    bool GetContactCarrier(qint32 contactID, TNContactCarrier& carrier) override;
    // In one transaction on the book's file; an open group-assignment
    // dataset is read again afterwards.
    void SaveGroupMembers(qint32 groupID, const QList<qint32>& contactIDs) override;

    // The book's file; fixed once the client is made.
    QString DatabasePath() const { return m_path; }
    // The main thread's connection of the datasets.
    TNConnection& Connection() { return m_connection; }

private:
    QSqlDatabase QueryDatabase() const;
    void CreateDataSets();
    bool HoldsAddressBook();

    QString m_path;
    TNConnection m_connection;
    // Destroyed from the last kind to the first, so a dataset goes before the
    // datasets its lookup fields read.
    std::array<std::unique_ptr<TNDataSet>, DataKindCount> m_tables;
    std::array<TNDataSource, DataKindCount> m_sources;
};
