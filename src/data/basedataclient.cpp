#include "data/basedataclient.h"

#include "data/dataerror.h"
#include "data/datasetstate.h"
#include "db/clientdataset.h"
#include "db/dataset.h"
#include "db/transaction.h"
#include "platform/messagedlg.h"

#include <QHash>
#include <memory>

namespace {
const QString LocalDatabaseName = QStringLiteral("Local Database");

QString UnusableClientText(const QString& name)
{
    return QStringLiteral("Can't work with the database: \"%1\". Please check its settings.").arg(name);
}
}  // namespace

TBaseDataClient* CreateDataClient(TDataClientClass clientClass, const QString& name, const QString& guid,
                                  const QString& data, QObject* owner, TDataClientWarnings* deferred)
{
    std::unique_ptr<TBaseDataClient> client(clientClass());
    for (TNDataSet* dataSet : client->DataSets()) {
        RegisterDataSet(dataSet);
        dataSet->SetOwnerObject(client.get());
        client->m_registered.append(dataSet);
    }
    client->m_name = name;
    client->m_guid = guid;
    client->m_connected = client->InitConnection(data);
    QStringList texts;
    if (!client->InitWarning().isEmpty())
        texts.append(client->InitWarning());
    const auto tell = [&] {
        for (const QString& text : std::as_const(texts)) {
            if (deferred)
                deferred->append(text);
            else
                MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
        }
    };
    if (client->m_connected) {
        // A usable book may still have had to drop part of what it loaded.
        tell();
        client->setParent(owner);
        DataClients.Add(client.get());
        return client.release();
    }
    texts.append(UnusableClientText(name));
    if (const QString lost = client->SaveBeforeDestroy(); !lost.isEmpty())
        texts.append(lost);
    tell();
    return nullptr;  // the unique_ptr destroys the client
}

void ShowDataClientWarnings(const TDataClientWarnings& warnings)
{
    for (const QString& text : warnings)
        MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
}

TBaseDataClient::~TBaseDataClient()
{
    ReleaseClient();
}

void TBaseDataClient::ReleaseClient() noexcept
{
    if (m_released)
        return;
    m_released = true;
    try {
        DataClients.Remove(this);
    } catch (...) {
    }
    for (TNDataSet* dataSet : m_registered) {
        // Only pointers are compared: a dataset someone else already
        // unregistered is skipped without being looked at.
        if (NDataSetsList.IndexOf(dataSet) >= 0)
            NDataSetsList.Remove(dataSet);
    }
    m_registered.clear();
}

void TBaseDataClient::AbstractError(const char* operation) const
{
    throw EDataError(QStringLiteral("From %1.%2() - Abstract Error")
                         .arg(QString::fromLatin1(metaObject()->className()), QString::fromLatin1(operation)));
}

TNDataSource* TBaseDataClient::GetDataSource(TDataKind)
{
    AbstractError("GetDataSource");
}

std::unique_ptr<TNTransaction> TBaseDataClient::BeginTransaction()
{
    return nullptr;
}

qint32 TBaseDataClient::CalcNewTempID(TNDataSet*)
{
    return -1;
}

qint32 TBaseDataClient::GetNextTempID(TNDataSet*)
{
    return -1;
}

bool TBaseDataClient::GetServerByContactID(qint32, TNServerEndpoint&)
{
    AbstractError("GetServerByContactID");
}

bool TBaseDataClient::GetServerByContactID(qint32 contactID, qint32& serverTypeNo, QString& ipAddress, qint32& portNo,
                                           QString& hostName)
{
    TNServerEndpoint endpoint;
    if (!GetServerByContactID(contactID, endpoint))
        return false;
    serverTypeNo = endpoint.ServerTypeNo;
    ipAddress = endpoint.IpAddress;
    portNo = endpoint.PortNo;
    hostName = endpoint.HostName;
    return true;
}

QString TBaseDataClient::WhyNoServer(qint32)
{
    return QStringLiteral("no server could be found for it");
}

void TBaseDataClient::GetServersOfGroup(qint32 groupID, QHash<qint32, TNServerEndpoint>& servers)
{
    servers.clear();
    QList<qint32> ids;
    GetContactsOfGroup(groupID, ids);
    TNServerEndpoint endpoint;
    for (qint32 id : ids)
        if (!servers.contains(id) && GetServerByContactID(id, endpoint))
            servers.insert(id, endpoint);
}

void TBaseDataClient::GetContactIDsNamesOfGroup(qint32, QList<qint32>&, QStringList&)
{
    AbstractError("GetContactIDsNamesOfGroup");
}

void TBaseDataClient::GetContactsOfGroup(qint32, QList<qint32>&)
{
    AbstractError("GetContactsOfGroup");
}

bool TBaseDataClient::ServerNameExists(const QString&)
{
    AbstractError("ServerNameExists");
}

qint32 TBaseDataClient::GetRecordCount(TDataKind)
{
    AbstractError("GetRecordCount");
}

QSet<qint32> TBaseDataClient::GetRecordIDs(TDataKind kind)
{
    QSet<qint32> ids;
    TNDataSet* dataSet = GetDataSet(kind);
    const TNDataSetScope scope(*dataSet);
    const TNField* id = dataSet->FieldByName(QStringLiteral("ID"));
    const int count = dataSet->RecordCount();
    ids.reserve(count);
    for (int row = 0; row < count; ++row)
        ids.insert(dataSet->RowValue(row, id).toInt());
    return ids;
}

bool TBaseDataClient::GetContactCarrier(qint32, TNContactCarrier&)
{
    AbstractError("GetContactCarrier");
}

bool TBaseDataClient::GetCarrierTypeNo(qint32 carrierID, quint8& typeNo)
{
    const QVariant value = GetDataSet(dkCarriers)->Lookup(QStringLiteral("ID"), carrierID, QStringLiteral("TypeNo"));
    bool ok = false;
    const int number = value.toInt(&ok);
    if (IsNullValue(value) || !ok)
        return false;
    typeNo = static_cast<quint8>(number);
    return true;
}

bool TBaseDataClient::IsLocalDatabase() const
{
    return m_name == LocalDatabaseName;
}

void TBaseDataClient::SaveGroupMembers(qint32 groupID, const QList<qint32>& contactIDs)
{
    TNDataSet* assigns = GetDataSet(dkGroupAssigns);
    auto* client = qobject_cast<TNClientDataSet*>(assigns);
    if (!client)
        AbstractError("SaveGroupMembers");
    const bool wasOpen = client->Active();
    client->Open();
    client->CheckBrowseMode();
    // Undone as a whole on failure, whatever unit of changes this is part of.
    TNClientDataSet::TNSavedState before = client->SaveState();
    TNField* groupField = client->FieldByName(QStringLiteral("GroupID"));
    TNField* contactField = client->FieldByName(QStringLiteral("ContactID"));
    client->DisableControls();
    try {
        // A membership that stays keeps its row (and the ID the server knows
        // it by): rewriting it would send a delete and an insert for nothing.
        QHash<qint32, int> wanted;
        for (qint32 contactID : contactIDs)
            ++wanted[contactID];
        QList<TBookmark> leaving;
        for (int row = 0; row < client->RecordCount(); ++row) {
            if (client->RowValue(row, groupField).toInt() != groupID)
                continue;
            int& count = wanted[client->RowValue(row, contactField).toInt()];
            if (count > 0)
                --count;
            else
                leaving << client->RowBookmark(row);
        }
        for (TBookmark bookmark : std::as_const(leaving))
            if (client->GotoBookmark(bookmark))
                client->Delete();
        // A new row takes its temporary ID from the book as it is appended.
        for (qint32 contactID : contactIDs) {
            if (wanted.value(contactID) <= 0)
                continue;
            --wanted[contactID];
            client->Append();
            groupField->SetValue(groupID);
            contactField->SetValue(contactID);
            client->Post();
        }
    } catch (...) {
        client->RestoreState(std::move(before));
        client->EnableControls();
        client->SetActive(wasOpen);
        throw;
    }
    client->EnableControls();
    client->SetActive(wasOpen);
}
