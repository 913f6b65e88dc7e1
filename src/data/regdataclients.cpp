#include "data/regdataclients.h"

#include "data/basedataclient.h"
#include "data/dataerror.h"

TDataClientClassesList DataClientClasses;
TDataClientsList DataClients;

void TDataClientClassesList::Add(qint32 typeNo, TDataClientClass clientClass)
{
    if (FindClass(typeNo))
        throw EDataError(QStringLiteral("Error (TDataClientClassesList.Add()): TypeNo= %1 already exists").arg(typeNo));
    m_records.append({typeNo, clientClass});
}

TDataClientClass TDataClientClassesList::FindClass(qint32 typeNo) const
{
    for (const TDataClientClassRec& rec : m_records)
        if (rec.TypeNo == typeNo)
            return rec.ClientClass;
    return nullptr;
}

void RegisterDataClientClass(qint32 typeNo, TDataClientClass clientClass)
{
    DataClientClasses.Add(typeNo, clientClass);
}

TDataClientClass FindDataClientClass(qint32 typeNo)
{
    return DataClientClasses.FindClass(typeNo);
}

TDataClientsList::TReadScope::TReadScope(const TDataClientsList& list) : m_list(list)
{
    // The writing thread already excludes every reader.
    if (!m_list.HoldsWriteLock()) {
        m_list.m_lock.BeginRead();
        m_locked = true;
    }
}

TDataClientsList::TReadScope::~TReadScope()
{
    if (m_locked)
        m_list.m_lock.EndRead();
}

void TDataClientsList::BeginWrite()
{
    if (HoldsWriteLock()) {
        ++m_writeDepth;
        return;
    }
    m_lock.BeginWrite();
    m_writer.store(std::this_thread::get_id());
    m_writeDepth = 1;
}

void TDataClientsList::EndWrite()
{
    if (--m_writeDepth > 0)
        return;
    m_writer.store(std::thread::id());
    m_lock.EndWrite();
}

void TDataClientsList::Add(TBaseDataClient* client)
{
    BeginWrite();
    m_items.append(client);
    EndWrite();
}

void TDataClientsList::Remove(TBaseDataClient* client)
{
    BeginWrite();
    m_items.removeOne(client);
    EndWrite();
}

int TDataClientsList::Count() const
{
    TReadScope scope(*this);
    return m_items.size();
}

TBaseDataClient* TDataClientsList::Items(int index) const
{
    TReadScope scope(*this);
    return m_items.value(index, nullptr);
}

int TDataClientsList::IndexOf(const TBaseDataClient* client) const
{
    TReadScope scope(*this);
    return m_items.indexOf(const_cast<TBaseDataClient*>(client));
}

int TDataClientsList::FillStrings(TDataClientEntries& strings) const
{
    TReadScope scope(*this);
    strings.clear();
    for (TBaseDataClient* client : m_items)
        strings.append({client->Name(), client});
    return strings.size();
}

TBaseDataClient* TDataClientsList::FindUnlocked(const QString& guid) const
{
    for (TBaseDataClient* client : m_items)
        if (client->GUID() == guid)
            return client;
    return nullptr;
}

TBaseDataClient* TDataClientsList::FindByGUID(const QString& guid) const
{
    TReadScope scope(*this);
    return FindUnlocked(guid);
}

bool TDataClientsList::IsLive(const TBaseDataClient* client, const QString& guid) const
{
    TReadScope scope(*this);
    return client && m_items.contains(const_cast<TBaseDataClient*>(client)) && client->GUID() == guid;
}

TDataClientsWriteScope::TDataClientsWriteScope(TDataClientsList& list) : m_list(list)
{
    m_list.BeginWrite();
}

TDataClientsWriteScope::~TDataClientsWriteScope()
{
    m_list.EndWrite();
}
