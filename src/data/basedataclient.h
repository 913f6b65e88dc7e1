#pragma once
// TBaseDataClient: the common base of the data clients. A data client serves
// one address book: it owns the book's datasets (one per TDataKind it
// serves, handed out as the same object for the whole run) and answers the
// few queries that the rest of the program puts to an address book.
//
// Creation goes through CreateDataClient, which runs the construction steps
// that need the derived class (InitConnection, dataset registration) and the
// after-construction step (warn and destroy an unusable client).
//
// Thread rules: created, used and destroyed on the main thread. The query
// operations (GetServerByContactID, the group queries, ServerNameExists,
// GetRecordCount, GetContactCarrier) never touch the datasets' cursors: a
// local client answers them from its book's file through the calling
// thread's own connection, so a worker thread may call them while it holds
// DataClients' read lock (DataClients.WithClientByGUID).

#include "data/datakinds.h"
#include "data/regdataclients.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

class TNDataSet;
class TNDataSource;
class TNTransaction;

// The endpoint of the server that serves a contact's carrier.
struct TNServerEndpoint {
    qint32 ServerTypeNo = 0;
    QString IpAddress;
    qint32 PortNo = 0;
    QString HostName;
};

// What the send path needs to address one contact: the contact's settings
// text and its carrier's type number and settings text.
struct TNContactCarrier {
    qint32 CarrierID = 0;
    QString ContactData;
    qint32 CarrierTypeNo = 0;
    QString CarrierData;
    // The contact's name, where the book tells it (also when the carrier is
    // gone); empty otherwise.
    QString ContactName;
};

// Warnings of clients that could not be used, collected while DataClients is
// write-locked and shown once it is released (ShowDataClientWarnings).
using TDataClientWarnings = QStringList;

class TBaseDataClient;
// Creates a client of the class with (Name, GUID, Data), owned by Owner:
// registers its datasets, sets Name and GUID, Connected := InitConnection;
// a connected client joins DataClients and is returned. An unusable one
// warns "Can't work with the database: "<Name>". Please check its settings."
// (or, with Deferred, adds the text there for the caller to show later), is
// destroyed, and nullptr is returned.
TBaseDataClient* CreateDataClient(TDataClientClass clientClass, const QString& name, const QString& guid,
                                  const QString& data, QObject* owner = nullptr,
                                  TDataClientWarnings* deferred = nullptr);
// Shows the collected warnings, one warning box each.
void ShowDataClientWarnings(const TDataClientWarnings& warnings);

class TBaseDataClient : public QObject {
    Q_OBJECT
public:
    ~TBaseDataClient() override;

    QString Name() const { return m_name; }
    QString GUID() const { return m_guid; }
    // The settings were usable (not: a connection is open).
    bool Connected() const { return m_connected; }

    // Reads the address book's settings text and configures the connection
    // without opening it; true when the settings are usable.
    virtual bool InitConnection(const QString& data) = 0;
    // The kind's dataset; a kind the client does not serve raises EDataError.
    virtual TNDataSet* GetDataSet(TDataKind kind) = 0;
    // The data source bound to the kind's dataset (grids bind to it). The
    // base raises the abstract error.
    virtual TNDataSource* GetDataSource(TDataKind kind);
    // Every dataset of the client in component order (for the dataset-state
    // registry).
    virtual QList<TNDataSet*> DataSets() = 0;

    // Temporary IDs of new rows; the base has none (-1).
    virtual qint32 CalcNewTempID(TNDataSet* dataSet);
    virtual qint32 GetNextTempID(TNDataSet* dataSet);
    qint32 CalcNewTempIDByKind(TDataKind kind) { return CalcNewTempID(GetDataSet(kind)); }
    qint32 GetNextTempIDByKind(TDataKind kind) { return GetNextTempID(GetDataSet(kind)); }

    // One transaction over the posts of the book's datasets, rolled back
    // unless committed; nullptr when the client has nothing to start (the
    // base). After a rollback the datasets that posted must be refreshed.
    virtual std::unique_ptr<TNTransaction> BeginTransaction();

    // The operations below are abstract in the base: it raises EDataError.
    // The server of the contact's carrier; false (endpoint untouched) when it
    // cannot be found.
    virtual bool GetServerByContactID(qint32 contactID, TNServerEndpoint& endpoint);
    bool GetServerByContactID(qint32 contactID, qint32& serverTypeNo, QString& ipAddress, qint32& portNo,
                              QString& hostName);
    // Why GetServerByContactID answers false for the contact, for the
    // operator's notice ("its carrier no longer exists"). The base gives a
    // general reason.
    virtual QString WhyNoServer(qint32 contactID);
    // The servers of a group's members that have one, by contact ID (what
    // GetServerByContactID answers for each member, in one go).
    virtual void GetServersOfGroup(qint32 groupID, QHash<qint32, TNServerEndpoint>& servers);
    // Members of a group whose contact rows exist, IDs and names in step.
    virtual void GetContactIDsNamesOfGroup(qint32 groupID, QList<qint32>& ids, QStringList& names);
    // Every membership row's contact ID, whether the contact exists or not.
    virtual void GetContactsOfGroup(qint32 groupID, QList<qint32>& ids);
    virtual bool ServerNameExists(const QString& name);
    // Rows of the kind's table; -1 for a kind the client does not count.
    virtual qint32 GetRecordCount(TDataKind kind);
    // The IDs of the kind's records (contacts, groups) as the book holds
    // them now. The base reads the kind's dataset; a book in a file asks the
    // file, where another program may have deleted a record meanwhile.
    virtual QSet<qint32> GetRecordIDs(TDataKind kind);
    // The contact's and its carrier's settings; false when either is missing.
    virtual bool GetContactCarrier(qint32 contactID, TNContactCarrier& carrier);

    // Replaces the group's membership rows with one row per contact, in the
    // order given, as one change: when anything fails the group keeps the
    // rows it had and the error is raised. The base works on the kind's
    // client dataset (a shared book's change log): a member that stays keeps
    // its row, a leaving one's row is deleted, a new one's appended (with
    // the book's next temporary ID); on failure it goes back to its save
    // point. The group-assignment dataset's filter and open state are kept.
    // Main thread.
    virtual void SaveGroupMembers(qint32 groupID, const QList<qint32>& contactIDs);

    // The TypeNo of a carrier, looked up without moving the carriers
    // dataset's cursor (the dataset must be open). False when there is no
    // such row or its TypeNo is empty; TypeNo is then left unchanged.
    bool GetCarrierTypeNo(qint32 carrierID, quint8& typeNo);
    // True for the built-in "Local Database" (exact letter case).
    bool IsLocalDatabase() const;

    // Writes back, just before the client is destroyed, what must outlive
    // it (a shared book's cache). Answers what the operator must be told when
    // that failed, empty otherwise; whoever destroys the client shows it once
    // DataClients is released. The base keeps nothing. Never throws.
    virtual QString SaveBeforeDestroy() noexcept { return QString(); }

protected:
    TBaseDataClient() = default;
    // Why InitConnection failed beyond the settings (a cache that cannot be
    // read); shown before the general warning. For a client that works:
    // what it had to drop while loading, shown too. Empty: nothing to say.
    virtual QString InitWarning() const { return QString(); }
    // The first step of every most-derived destructor (and of this one):
    // leaves DataClients and unregisters the datasets while they still exist.
    // Never throws.
    void ReleaseClient() noexcept;
    [[noreturn]] void AbstractError(const char* operation) const;

private:
    friend TBaseDataClient* CreateDataClient(TDataClientClass, const QString&, const QString&, const QString&, QObject*,
                                             TDataClientWarnings*);
    QString m_name;
    QString m_guid;
    bool m_connected = false;
    bool m_released = false;
    QList<TNDataSet*> m_registered;
};
