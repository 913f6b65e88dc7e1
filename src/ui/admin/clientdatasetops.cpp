#include "ui/admin/clientdatasetops.h"

#include "data/doorexchange.h"
#include "data/folderstree.h"
#include "data/folderstreesync.h"
#include "data/recipients.h"
#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "data/sharedreferences.h"
#include "data/sharedtakeback.h"
#include "db/clientdataset.h"
#include "platform/messagedlg.h"
#include "ui/admin/doorexchangehold.h"

#include <QPointer>

namespace {
TNClientDataSet* ClientOf(TNDataSet* dataSet)
{
    return IsClientDataSet(dataSet) ? static_cast<TNClientDataSet*>(dataSet) : nullptr;
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

namespace {
// The views follow a book whose rows a way back changed: new records that
// went leave the recipients list, the tree's nodes follow the rows, and the
// operator hears of every row that changed beyond what was asked for.
void FollowWayBack(TBaseDataClient* book, const TSettled& settled, const QString& wayBack)
{
    if (RecipientList)
        for (const auto& [kind, id] : settled.GoneNew)
            if (kind == dkContacts || kind == dkGroups)
                RecipientList->RemoveItem(kind == dkContacts ? nkContact : nkGroup, qint32(id), book);
    SyncBookNodesWithRows(book);
    if (settled.Any())
        MessageDlg(QStringLiteral("%1 in the address book \"%2\" also changed these rows, since they named new "
                                  "records that are no longer in it:\n%3")
                       .arg(wayBack, book->Name(), settled.Lines.join(u'\n')),
                   TMsgDlgType::mtInformation, mbOK);
}
}  // namespace

void ForgetRowsOfGoneRecords(TBaseDataClient* book)
{
    auto* shared = qobject_cast<TBaseSharedClient*>(book);
    if (!shared)
        return;
    FollowWayBack(book, SettleRowsNamingGoneRecords(*shared, true), QStringLiteral("Delete"));
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

qint64 WayBackPoint()
{
    return TNClientDataSet::SavePoint();
}

void TakeBackSince(TBaseDataClient* book, TNDataSet* dataSet, qint64 point)
{
    if (auto* shared = qobject_cast<TBaseSharedClient*>(book)) {
        FollowWayBack(book, TakeBackSince(*shared, point), QStringLiteral("Cancel"));
    } else if (TNClientDataSet* client = ClientOf(dataSet)) {
        client->SetSavePoint(point);
    }
}

void CancelChangesOf(TBaseDataClient* book, TNDataSet* dataSet, const QList<TDataKind>& kinds)
{
    if (auto* shared = qobject_cast<TBaseSharedClient*>(book)) {
        FollowWayBack(book, TakeBackChangesOf(*shared, kinds), QStringLiteral("Cancel Changes"));
    } else if (TNClientDataSet* client = ClientOf(dataSet)) {
        client->CancelUpdates();
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
        if (open) {
            ForgetGoneNewRecords(open, result.GoneNew);
            // A refused row given up may have brought placements back.
            SyncBookNodesWithRows(open);
        }
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
