#include "ui/admin/clientdatasetops.h"

#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "db/clientdataset.h"
#include "platform/messagedlg.h"

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
            count += client->ChangeCount();
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
    const TApplyResult result = ApplySharedUpdates(*shared);
    // A good apply whose cache could not be saved afterwards is told too.
    if (!result.ErrorText.isEmpty())
        MessageDlg(result.ErrorText, TMsgDlgType::mtError, mbOK);
}

void ClientRefresh(TBaseDataClient* book, TDataKind kind, TNDataSet* dataSet)
{
    if (auto* shared = qobject_cast<TSharedAccessClient*>(book)) {
        QString error;
        if (!RefreshSharedDataSet(*shared, kind, &error))
            MessageDlg(error, TMsgDlgType::mtWarning, mbOK);
        return;
    }
    if (dataSet)
        dataSet->Refresh();
}
