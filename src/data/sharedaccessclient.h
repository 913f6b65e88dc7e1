#pragma once
// The data client of a shared address book (database type 2): a book that
// lives on the paging server and reaches the client through the server's
// remote data door. The client works on in-memory client datasets, one per
// address-book table except Servers, cached on disk (one file per dataset
// in the book's cache folder), loaded when the client is made and saved when
// it goes, so the book is usable without the server. Rows travel to and from
// the server only when changes are applied or a dataset is refreshed
// (sharedapply.h). New rows take temporary negative IDs until then.
//
// Thread rules: made, used and destroyed on the main thread; the datasets
// belong to it. The query operations answer from a snapshot of the cached
// contacts, carriers and memberships, rebuilt on the main thread after the
// datasets changed, so a send thread may call them inside
// DataClients.WithClientByGUID.

#include "data/basedataclient.h"
#include "db/clientdataset.h"
#include "db/datasource.h"

#include <QHash>
#include <QMutex>
#include <array>
#include <memory>

class TRemoteDataConnection;

// Where a shared book's remote data door is, as values a worker thread may
// hold while it talks to the door.
struct TDoorAddress {
    QString Book;  // the address book's name
    QString Host;
    quint16 Port = 0;
    QString Server;  // the server name the book is kept under

    // "The address book "B" <Doing> its server "S" at host, port N: <Reason>"
    QString Fault(const QString& doing, const QString& reason) const;
};

// Opens Connection to the door and its server name; false with a text that
// names the book, the server name, the host and the port. Any thread.
bool OpenDoor(TRemoteDataConnection& connection, const TDoorAddress& address, QString* errorText);

// The folder name of a book's cache under the shared-data folder: the
// book's name when a file name can hold it as it stands; otherwise the name
// with every unsafe character replaced and a short hash of the whole name
// added, so that no name escapes the shared-data folder and two names never
// share a folder.
QString SharedCacheFolderName(const QString& bookName);

class TBaseSharedClient : public TBaseDataClient {
    Q_OBJECT
public:
    ~TBaseSharedClient() override;

    // The shared-data folder, then the book's folder.
    QString CacheFolder() const;
    // Every dataset that loaded, in component order; a dataset whose file
    // could not be read is never written over. A file that cannot be written
    // keeps its old content and the others are still saved; then EDataError
    // names the book and every file that failed.
    void SaveAllClientDataSetsToFiles();
    // Saves the cache once before the client goes (the destructor then
    // saves nothing more); on failure the text names the book, and first of
    // all says that its unapplied changes are lost when it has any.
    QString SaveBeforeDestroy() noexcept override;
    void LoadAllClientDataSetsFromFiles();
    void SaveClientDataSetToFile(TDataKind kind);
    void LoadClientDataSetFromFile(TDataKind kind);

    // The lowest ID of the dataset (0 at most), less one; the cursor, the
    // state and any pending edit stay as they are.
    qint32 CalcNewTempID(TNDataSet* dataSet) override;
    // The next of one run of temporary IDs for all the book's datasets,
    // starting below every temporary ID the book holds (in the rows, change
    // logs and pending applies of all its datasets, as loaded) and below the
    // lowest its cache files and the IDs set aside (TemporaryIds.txt, a
    // block at a time) keep of earlier runs; never one handed out before, in
    // this run or an earlier one, a run that ended without saving included. A
    // small-integer ID (carrier types, which no row names) runs below its
    // own dataset's lowest ID.
    qint32 GetNextTempID(TNDataSet* dataSet) override;

    QString Host() const { return m_host; }
    quint16 Port() const { return m_port; }
    QString ServerName() const { return m_serverName; }
    TDoorAddress DoorAddress() const { return {Name(), m_host, m_port, m_serverName}; }
    // Keeps the TCP door's port a greeting named (0: none, so the default)
    // in the cache folder; a text naming the book, the file and the reason
    // when it cannot (the file then keeps the port it held).
    QString RememberTcpDoorPort(quint16 port);
    // The port of the paging server's TCP door as last greeted (kept in the
    // cache folder); 215 when never told.
    quint16 TcpDoorPort() const;

    // The client dataset of a kind; nullptr for a kind the book has none of.
    virtual TNClientDataSet* ClientDataSet(TDataKind kind) = 0;
    // "cdsContacts.cds" and so on.
    virtual QString CacheFileName(TDataKind kind) const = 0;

protected:
    TBaseSharedClient() = default;
    // Item 0 the host or address, item 1 the port, item 2 the server name;
    // false (nothing set) with fewer items or a port that is no number in
    // 1..65535.
    bool ReadSettings(const QString& data);
    // Warnings of the caches that could not be read, for CreateDataClient,
    // or what loading had to drop from a cache it could use; then what was
    // found beside the cache files (TakeLeftoversAway).
    QString InitWarning() const override;
    bool CacheUsable() const { return m_initWarning.isEmpty(); }
    void SetLoadNotice(const QString& text) { m_loadNotice = text; }

private:
    // Removes the partial files that saves of the book's files cut short
    // left behind (none a running save still writes) and names the files of
    // the older naming it leaves; returns what to tell the operator.
    QString TakeLeftoversAway() const;

    QString m_host;
    quint16 m_port = 0;
    QString m_serverName;
    qint64 LowestTemporaryIdHeld();
    // The last temporary ID handed out, or the lowest held (worked out again
    // after a cache file is loaded).
    qint64 LowestTemporaryId();

    std::array<bool, DataKindCount> m_unreadable{};
    QString m_initWarning;
    QString m_loadNotice;
    QString m_leftoverNotice;
    // Sets the next block of temporary IDs aside in the cache folder.
    void ReserveTempIds();
    // The last temporary ID handed out, or the lowest held; it only goes down.
    qint64 m_lowestTempId = 0;
    qint64 m_tempIdsReserved = 0;  // the lowest set aside in the cache folder (0: none)
    bool m_lowestTempIdKnown = false;
    bool m_savedForDestroy = false;
};

// What the send path and the out-box read of a shared book, taken from its
// cached datasets.
struct TSharedBookSnapshot {
    struct TContact {
        qint32 CarrierID = 0;
        QString Name;
        QString Data;
    };
    struct TCarrier {
        qint32 TypeNo = 0;
        QString Data;
    };
    QHash<qint32, TContact> Contacts;
    QHash<qint32, TCarrier> Carriers;
    QHash<qint32, QList<qint32>> Members;  // group ID -> contact IDs, in membership order
};

class TSharedAccessClient : public TBaseSharedClient {
    Q_OBJECT
public:
    TSharedAccessClient();
    ~TSharedAccessClient() override;

    // Items: host or address, port, server name (a fourth, the GUID, is not
    // read); then the cache is loaded (made on first use).
    bool InitConnection(const QString& data) override;
    // Kinds 0 to 7; any other raises "From "TSharedAccessClient.GetDataSet()"
    // - Unknown dataKind".
    TNDataSet* GetDataSet(TDataKind kind) override;
    TNDataSource* GetDataSource(TDataKind kind) override;
    QList<TNDataSet*> DataSets() override;
    TNClientDataSet* ClientDataSet(TDataKind kind) override;
    QString CacheFileName(TDataKind kind) const override;

    // A contact goes through the TCP door of the paging server that serves
    // the book: the book's host resolved to an IPv4 address, and the TCP
    // door's port. False (the contact is not queued; WhyNoServer says why)
    // when the host does not resolve, the contact is not in the book, or its
    // carrier is not in the cache (the carriers list was never refreshed):
    // such a row could never be framed and would stay in the out-box.
    bool GetServerByContactID(qint32 contactID, TNServerEndpoint& endpoint) override;
    using TBaseDataClient::GetServerByContactID;
    QString WhyNoServer(qint32 contactID) override;
    void GetServersOfGroup(qint32 groupID, QHash<qint32, TNServerEndpoint>& servers) override;
    void GetContactIDsNamesOfGroup(qint32 groupID, QList<qint32>& ids, QStringList& names) override;
    void GetContactsOfGroup(qint32 groupID, QList<qint32>& ids) override;
    // A shared book has no servers.
    bool ServerNameExists(const QString& name) override;
    // The cached rows of dkCarriers, dkContacts and the other kinds 0 to 7.
    qint32 GetRecordCount(TDataKind kind) override;
    bool GetContactCarrier(qint32 contactID, TNContactCarrier& carrier) override;

    // The snapshot the queries read (rebuilt first when the datasets changed
    // and the caller is the main thread).
    std::shared_ptr<const TSharedBookSnapshot> Snapshot();

private:
    bool Endpoint(TNServerEndpoint& endpoint);
    static bool CarrierCached(const TSharedBookSnapshot& snapshot, qint32 contactID);

    std::array<std::unique_ptr<TNClientDataSet>, DataKindCount - 1> m_dataSets;
    std::array<TNDataSource, DataKindCount - 1> m_sources;
    mutable QMutex m_snapshotLock;
    std::shared_ptr<const TSharedBookSnapshot> m_snapshot;
    bool m_snapshotStale = true;  // main thread only
    // The book's host as last resolved, for the queueing of one message.
    QString m_resolvedHost;
    qint64 m_resolvedAtMs = -1;
    QString m_routeError;  // why it did not resolve
};
