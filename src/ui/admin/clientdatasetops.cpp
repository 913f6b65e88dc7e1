#include "ui/admin/clientdatasetops.h"

#include "data/doorexchange.h"
#include "data/folderstree.h"
#include "data/recipients.h"
#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "data/sharedreferences.h"
#include "db/clientdataset.h"
#include "platform/messagedlg.h"
#include "ui/admin/doorexchangehold.h"

#include <QPointer>

namespace {
TNClientDataSet* ClientOf(TNDataSet* dataSet)
{
    return IsClientDataSet(dataSet) ? static_cast<TNClientDataSet*>(dataSet) : nullptr;
}

TBaseDataClient* BookOf(TNDataSet* dataSet)
{
    return dataSet ? qobject_cast<TBaseDataClient*>(dataSet->OwnerObject()) : nullptr;
}
}  // namespace

void ForgetRecordInViews(TNodeKind kind, qint32 id, TBaseDataClient* book)
{
    if (kind == nkContact)
        RemoveContactNodesFromTree(id, book);
    else
        RemoveGroupNodesFromTree(id, book);
    if (RecipientList)
        RecipientList->RemoveItem(kind, id, book);
}

void ForgetRowsOfGoneRecords(TBaseDataClient* book)
{
    auto* shared = qobject_cast<TBaseSharedClient*>(book);
    if (!shared)
        return;
    // The tree's nodes first: taking them out deletes their placements as
    // the tree does for any node.
    const QHash<int, QSet<qint64>> gone = GoneNewRecords(*shared);
    for (const auto& [dataKind, nodeKind] : {std::pair{dkContacts, nkContact}, std::pair{dkGroups, nkGroup}})
        for (qint64 id : gone.value(dataKind))
            ForgetRecordInViews(nodeKind, qint32(id), book);
    DropRowsNamingGoneRecords(*shared);
}

void ForgetGoneNewRecords(TBaseDataClient* book, const QList<QPair<TDataKind, qint64>>& gone)
{
    for (const auto& [kind, id] : gone) {
        if (kind == dkFolders) {
            ForgetItemNodesInTree(nkFolder, qint32(id), book);
        } else if (kind == dkContacts || kind == dkGroups) {
            const TNodeKind nodeKind = kind == dkContacts ? nkContact : nkGroup;
            ForgetItemNodesInTree(nodeKind, qint32(id), book);
            if (RecipientList)
                RecipientList->RemoveItem(nodeKind, qint32(id), book);
        }
    }
}

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
    if (TNClientDataSet* client = ClientOf(dataSet)) {
        client->SetSavePoint(std::min(savePoint, client->SavePoint()));
        ForgetRowsOfGoneRecords(BookOf(dataSet));
    }
}

QList<int> BookSavePoints(TBaseDataClient* book)
{
    QList<int> points;
    auto* shared = qobject_cast<TBaseSharedClient*>(book);
    for (int kind = 0; shared && kind < DataKindCount; ++kind) {
        const TNClientDataSet* client = shared->ClientDataSet(TDataKind(kind));
        points.append(client ? client->SavePoint() : 0);
    }
    return points;
}

void RevertBookToSavePoints(TBaseDataClient* book, const QList<int>& points)
{
    auto* shared = qobject_cast<TBaseSharedClient*>(book);
    for (int kind = 0; shared && kind < points.size(); ++kind)
        if (TNClientDataSet* client = shared->ClientDataSet(TDataKind(kind)))
            client->SetSavePoint(std::min(points[kind], client->SavePoint()));
    ForgetRowsOfGoneRecords(book);
}

void ClientCancelUpdates(TNDataSet* dataSet)
{
    if (TNClientDataSet* client = ClientOf(dataSet)) {
        client->CancelUpdates();
        ForgetRowsOfGoneRecords(BookOf(dataSet));
    }
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
    const QPointer<TSharedAccessClient> open(shared);
    StartSharedApply(*shared, {}, *exchange, [exchange, open](const TApplyResult& result) {
        const bool cancelled = exchange->IsCancelled();
        EndDoorExchange(exchange);
        if (open)
            ForgetGoneNewRecords(open, result.GoneNew);
        // A good or a cancelled apply whose cache could not be saved
        // afterwards is told too.
        const QString text = cancelled ? result.SaveErrorText : result.ErrorText;
        if (!text.isEmpty())
            MessageDlg(text, TMsgDlgType::mtError, mbOK);
        // So is every change it could not send yet.
        if (!result.Notice.isEmpty() && !cancelled)
            MessageDlg(result.Notice, TMsgDlgType::mtWarning, mbOK);
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
