#pragma once
// The registry of data-client classes by address-book type number, and
// DataClients, the program-wide list of live data clients.
//
// Thread rules: the registry is filled on the main thread before the first
// window and only read afterwards. DataClients is changed on the main thread
// only (a client adds itself when it is created connected and removes itself
// when it is destroyed; the client-list rebuild holds a TDataClientsWriteScope
// around its whole work). Any thread may read it: a thread that is not
// holding the write scope takes the list's read lock for each read. A worker
// thread must not keep a client pointer beyond WithClientByGUID's callback,
// and must not wait for the main thread inside that callback.

#include "platform/threads.h"

#include <QList>
#include <QPair>
#include <QString>
#include <atomic>
#include <thread>

class TBaseDataClient;

// A "class reference": makes an unconnected client object of one class.
// CreateDataClient (basedataclient.h) runs the construction steps on it.
using TDataClientClass = TBaseDataClient* (*)();

template <class T>
TBaseDataClient* DataClientClassOf()
{
    return new T();
}

struct TDataClientClassRec {
    qint32 TypeNo = 0;
    TDataClientClass ClientClass = nullptr;
};

class TDataClientClassesList {
public:
    // Raises EDataError "Error (TDataClientClassesList.Add()): TypeNo= %d
    // already exists" for a number already registered; nothing is added.
    void Add(qint32 typeNo, TDataClientClass clientClass);
    // The class of the first record with this number, or nullptr.
    TDataClientClass FindClass(qint32 typeNo) const;
    void Clear() { m_records.clear(); }
    int Count() const { return m_records.size(); }

private:
    QList<TDataClientClassRec> m_records;
};

// Name and client of every live client, for address-book choosers.
using TDataClientEntries = QList<QPair<QString, TBaseDataClient*>>;

class TDataClientsList {
public:
    void Add(TBaseDataClient* client);
    // Removes the first reference; a client not in the list is ignored.
    void Remove(TBaseDataClient* client);

    int Count() const;
    TBaseDataClient* Items(int index) const;
    int IndexOf(const TBaseDataClient* client) const;
    // Empties Strings, then appends every client's name with the client, in
    // list order; returns the number of entries.
    int FillStrings(TDataClientEntries& strings) const;
    // The first client, in list order, whose GUID equals the text exactly
    // (case-sensitive); nullptr when none. Main thread (the owner of the
    // clients); other threads use WithClientByGUID.
    TBaseDataClient* FindByGUID(const QString& guid) const;
    // True when the client is still listed and still has this GUID: a
    // liveness check for a client reference kept across a rebuild.
    bool IsLive(const TBaseDataClient* client, const QString& guid) const;

    // Any thread: finds the client by GUID and, holding the read lock so
    // that the client cannot be destroyed meanwhile, calls f(client). Returns
    // false (without calling f) when no client has the GUID.
    template <class F>
    bool WithClientByGUID(const QString& guid, F&& f) const
    {
        TReadScope scope(*this);
        TBaseDataClient* client = FindUnlocked(guid);
        if (!client)
            return false;
        f(*client);
        return true;
    }

private:
    friend class TDataClientsWriteScope;
    class TReadScope {
    public:
        explicit TReadScope(const TDataClientsList& list);
        ~TReadScope();
        TReadScope(const TReadScope&) = delete;
        TReadScope& operator=(const TReadScope&) = delete;

    private:
        const TDataClientsList& m_list;
        bool m_locked = false;
    };
    TBaseDataClient* FindUnlocked(const QString& guid) const;
    bool HoldsWriteLock() const { return m_writer.load() == std::this_thread::get_id(); }
    void BeginWrite();
    void EndWrite();

    QList<TBaseDataClient*> m_items;
    mutable TNMultiReadExclusiveWriteSynchronizer m_lock;
    std::atomic<std::thread::id> m_writer{};
    int m_writeDepth = 0;  // touched by the writing thread only
};

// Holds DataClients' write lock for a whole rebuild (destroy every client,
// create them anew), so that readers on other threads see either the old
// list or the new one. Nested scopes and the clients' own Add/Remove on the
// same thread do not lock again.
class TDataClientsWriteScope {
public:
    explicit TDataClientsWriteScope(TDataClientsList& list);
    ~TDataClientsWriteScope();
    TDataClientsWriteScope(const TDataClientsWriteScope&) = delete;
    TDataClientsWriteScope& operator=(const TDataClientsWriteScope&) = delete;

private:
    TDataClientsList& m_list;
};

extern TDataClientClassesList DataClientClasses;
extern TDataClientsList DataClients;

void RegisterDataClientClass(qint32 typeNo, TDataClientClass clientClass);
TDataClientClass FindDataClientClass(qint32 typeNo);
