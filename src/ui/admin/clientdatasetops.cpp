#include "ui/admin/clientdatasetops.h"

#include "data/doorexchange.h"
#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "db/clientdataset.h"
#include "platform/messagedlg.h"
#include "ui/admin/doorexchangehold.h"

namespace {
TNClientDataSet* ClientOf(TNDataSet* dataSet)
{
    return IsClientDataSet(dataSet) ? static_cast<TNClientDataSet*>(dataSet) : nullptr;
}
}  // namespace

bool IsClientDataSet(const TNDataSet* dataSet)
{
    return dataSet && dataSet->Kind() == TDataSetKind::dkClient;
}

bool BookKeepsServers(const TBaseDataClient* book)
{
    return book && !qobject_cast<const TBaseSharedClient*>(book);
}

int ClientChangeCount(TNDataSet* dataSet)
{
    TNClientDataSet* client = ClientOf(dataSet);
    return client ? client->ChangeCount() : 0;
}

int BookChangeCount(TBaseDataClient* book)
{
    auto* shared = qobject_cast<TBaseSharedClient*>(book);
    int count = 0;
    for (int kind = 0; shared && kind < DataKindCount; ++kind)
        if (const TNClientDataSet* client = shared->ClientDataSet(TDataKind(kind)))
            count += client->ChangeCount() + (client->HasPendingApply() ? 1 : 0);
    return count;
}

int ClientSavePoint(TNDataSet* dataSet)
{
    TNClientDataSet* client = ClientOf(dataSet);
    return client ? client->SavePoint() : 0;
}

void ClientRevertToSavePoint(TNDataSet* dataSet, int savePoint)
{
    if (TNClientDataSet* client = ClientOf(dataSet))
        client->SetSavePoint(std::min(savePoint, client->SavePoint()));
}

void ClientCancelUpdates(TNDataSet* dataSet)
{
    if (TNClientDataSet* client = ClientOf(dataSet))
        client->CancelUpdates();
}

void ClientApplyUpdates(TBaseDataClient* book, TDataKind kind)
{
    auto* shared = qobject_cast<TSharedAccessClient*>(book);
    if (!shared)
        return;
    // The whole book goes, in the order its references need: a new contact
    // applied without its new carrier would name a temporary ID on the
    // server, and the tree's folders have no list of their own.
    Q_UNUSED(kind);
    TDoorExchange* exchange = BeginDoorExchange(
        QStringLiteral("Applying the changes of the address book \"%1\" to its server...").arg(shared->Name()));
    if (!exchange)
        return;
    StartSharedApply(*shared, {}, *exchange, [exchange](const TApplyResult& result) {
        const bool cancelled = exchange->IsCancelled();
        EndDoorExchange(exchange);
        // A good apply whose cache could not be saved afterwards is told too.
        if (!result.ErrorText.isEmpty() && !cancelled)
            MessageDlg(result.ErrorText, TMsgDlgType::mtError, mbOK);
    });
}

void ClientRefresh(TBaseDataClient* book, const QList<TDataKind>& kinds, TNDataSet* dataSet)
{
    if (auto* shared = qobject_cast<TSharedAccessClient*>(book)) {
        QStringList tables;
        for (TDataKind kind : kinds)
            tables.append(RemoteData::ProviderTable(RemoteData::ProviderNames().value(kind)));
        TDoorExchange* exchange =
            BeginDoorExchange(QStringLiteral("Fetching the %1 of the address book \"%2\" from its server...")
                                  .arg(tables.join(QStringLiteral(" and ")), shared->Name()));
        if (!exchange)
            return;
        StartSharedRefresh(*shared, kinds, *exchange, [exchange](const QString& error) {
            const bool cancelled = exchange->IsCancelled();
            EndDoorExchange(exchange);
            if (!error.isEmpty() && !cancelled)
                MessageDlg(error, TMsgDlgType::mtWarning, mbOK);
        });
        return;
    }
    if (dataSet)
        dataSet->Refresh();
}
