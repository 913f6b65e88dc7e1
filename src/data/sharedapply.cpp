#include "data/sharedapply.h"

#include "data/dmlocaldata.h"
#include "data/remotedataconnection.h"
#include "data/sharedaccessclient.h"
#include "db/dberror.h"

#include <QSet>
#include <QSqlQuery>

namespace {
TReconcileHandler& ReconcileHandler()
{
    static TReconcileHandler handler;
    return handler;
}

TTempIdHook& TempIdHook()
{
    static TTempIdHook hook;
    return hook;
}

// The fields that hold IDs of another kind's rows, by the kind referred to.
struct TReference {
    TDataKind Kind;
    const char* Field;
};
QList<TReference> ReferencesTo(TDataKind kind)
{
    switch (kind) {
        case dkCarriers:
            return {{dkContacts, "CarrierID"}};
        case dkContacts:
            return {{dkGroupAssigns, "ContactID"}, {dkFolderAssigns, "ContactID"}};
        case dkGroups:
            return {{dkGroupAssigns, "GroupID"}, {dkFolderAssigns, "GroupID"}};
        case dkFolders:
            return {{dkFolders, "ParentID"}, {dkFolderAssigns, "FolderID"}};
        case dkTemplates:
            return {{dkTemplates, "ParentID"}};
        default:
            return {};
    }
}

int DefIndex(const TNClientDataSet& dataSet, const QString& name)
{
    const std::vector<TNFieldDef>& defs = dataSet.FieldDefs();
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QVariantMap ValueMap(const TNClientDataSet& dataSet, const std::vector<QVariant>& values)
{
    QVariantMap map;
    const std::vector<TNFieldDef>& defs = dataSet.FieldDefs();
    for (size_t i = 0; i < defs.size() && i < values.size(); ++i)
        map.insert(defs[i].Name, values[i]);
    return map;
}

std::vector<QVariant> ValueRow(const TNClientDataSet& dataSet, const QVariantMap& map)
{
    std::vector<QVariant> row;
    for (const TNFieldDef& def : dataSet.FieldDefs())
        row.push_back(map.value(def.Name));
    return row;
}

bool Same(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b || a.toString() == b.toString();
}

// What goes to the server for one net change; false when nothing is left
// to send (a row edited back to what it was).
bool ToRemote(const TNClientDataSet& dataSet, const TNRowChange& change, TRemoteChange* remote)
{
    const std::vector<TNFieldDef>& defs = dataSet.FieldDefs();
    const int id = DefIndex(dataSet, QStringLiteral("ID"));
    switch (change.Kind) {
        case TUpdateKind::ukInsert:
            remote->kind = TRemoteChange::TKind::Insert;
            remote->id = change.NewValues[size_t(id)].toLongLong();
            for (size_t i = 0; i < defs.size(); ++i)
                if (int(i) != id && !change.NewValues[i].isNull())
                    remote->values.insert(defs[i].Name, change.NewValues[i]);
            return true;
        case TUpdateKind::ukModify:
            remote->kind = TRemoteChange::TKind::Modify;
            remote->id = change.OldValues[size_t(id)].toLongLong();
            for (size_t i = 0; i < defs.size(); ++i) {
                if (int(i) == id || Same(change.OldValues[i], change.NewValues[i]))
                    continue;
                remote->values.insert(defs[i].Name, change.NewValues[i]);
                remote->original.insert(defs[i].Name, change.OldValues[i]);
            }
            return !remote->values.isEmpty();
        case TUpdateKind::ukDelete:
            remote->kind = TRemoteChange::TKind::Delete;
            remote->id = change.OldValues[size_t(id)].toLongLong();
            for (size_t i = 0; i < defs.size(); ++i)
                if (int(i) != id)
                    remote->original.insert(defs[i].Name, change.OldValues[i]);
            return true;
    }
    return false;
}

// Sets Values on the row whose ID is Id through the cursor, so that the
// change is logged like an edit of the operator's.
void EditRow(TNClientDataSet& dataSet, qint64 id, const QVariantMap& values)
{
    TNDataSetPosition keep(dataSet);
    if (!dataSet.Locate(QStringLiteral("ID"), id))
        return;
    dataSet.Edit();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key().compare(QStringLiteral("ID"), Qt::CaseInsensitive) != 0)
            dataSet.FieldByName(it.key())->SetValue(it.value());
    dataSet.Post();
}

void DeleteRow(TNClientDataSet& dataSet, qint64 id)
{
    TNDataSetPosition keep(dataSet);
    if (dataSet.Locate(QStringLiteral("ID"), id))
        dataSet.Delete();
}

// The row keys of the changes the server stored.
QList<qint64> KeysOf(const QList<TNRowChange>& batch, const QList<TRemoteApplyResult>& answers)
{
    QList<qint64> keys;
    for (int i = 0; i < batch.size(); ++i)
        if (answers[i].ok)
            keys.append(batch[i].RowKey);
    return keys;
}

class TApplier {
public:
    TApplier(TSharedAccessClient& client, TRemoteDataConnection& connection, TApplyResult& result)
        : m_client(client), m_connection(connection), m_result(result)
    {
    }

    // False when the apply must stop (the server failed, or an abort).
    bool ApplyKind(TDataKind kind)
    {
        TNClientDataSet* dataSet = m_client.ClientDataSet(kind);
        if (!dataSet || !dataSet->Active())
            return true;
        dataSet->CheckBrowseMode();
        const QString provider = RemoteData::ProviderNames().value(kind);
        const int parent = kind == dkFolders ? DefIndex(*dataSet, QStringLiteral("ParentID")) : -1;
        QSet<qint64> refused;  // rows left in the log by this apply
        QSet<qint64> waiting;  // new folders whose new parent has no real ID yet
        for (;;) {
            QList<TNRowChange> batch;
            QList<TRemoteChange> remote;
            for (const TNRowChange& change : dataSet->Delta()) {
                if (refused.contains(change.RowKey))
                    continue;
                // A new folder waits until its new parent has its real ID.
                if (parent >= 0 && change.Kind != TUpdateKind::ukDelete &&
                    change.NewValues[size_t(parent)].toLongLong() < 0) {
                    waiting.insert(change.RowKey);
                    continue;
                }
                TRemoteChange wire;
                if (!ToRemote(*dataSet, change, &wire)) {
                    dataSet->MergeRowChanges(change.RowKey);
                    continue;
                }
                batch.append(change);
                remote.append(wire);
            }
            if (batch.isEmpty())
                return true;
            QList<TRemoteApplyResult> answers;
            if (!m_connection.Apply(provider, remote, &answers)) {
                m_result.ErrorText = m_connection.ErrorText();
                return false;
            }
            QHash<qint64, qint64> newIds;
            for (int i = 0; i < batch.size(); ++i) {
                if (answers[i].ok) {
                    ++m_result.Applied;
                    if (batch[i].Kind == TUpdateKind::ukInsert && answers[i].newId != remote[i].id)
                        newIds.insert(remote[i].id, answers[i].newId);
                }
            }
            dataSet->MergeRowChanges(KeysOf(batch, answers));
            ReplaceIds(kind, newIds);
            const bool placedFolder = kind == dkFolders && !newIds.isEmpty();
            for (int i = 0; i < batch.size(); ++i) {
                if (answers[i].ok)
                    continue;
                ++m_result.Refused;
                refused.insert(batch[i].RowKey);
                if (!Reconcile(kind, *dataSet, batch[i], remote[i], answers[i])) {
                    m_result.Aborted = true;
                    return false;
                }
            }
            // Folders go round again for the children of the new parents.
            if (!placedFolder || waiting.isEmpty())
                return true;
            waiting.clear();
        }
    }

private:
    // Puts the server's IDs of one batch of new rows in place of their
    // temporary ones: in the rows, in the rows naming them, in FoldersOpen.
    void ReplaceIds(TDataKind kind, const QHash<qint64, qint64>& ids)
    {
        if (ids.isEmpty())
            return;
        m_client.ClientDataSet(kind)->ReplaceFieldValues(QStringLiteral("ID"), ids);
        for (const TReference& ref : ReferencesTo(kind))
            if (TNClientDataSet* other = m_client.ClientDataSet(ref.Kind))
                other->ReplaceFieldValues(QString::fromLatin1(ref.Field), ids);
        for (auto it = ids.cbegin(); it != ids.cend(); ++it) {
            if (kind == dkFolders && DModLocalData) {
                QSqlQuery update(DModLocalData->Connection());
                update.prepare(
                    QStringLiteral("update FoldersOpen set FolderID = :New "
                                   "where DatabaseGUID = :GUID and FolderID = :Old"));
                update.bindValue(QStringLiteral(":New"), it.value());
                update.bindValue(QStringLiteral(":GUID"), m_client.GUID());
                update.bindValue(QStringLiteral(":Old"), it.key());
                update.exec();
            }
            if (TempIdHook())
                TempIdHook()(&m_client, kind, qint32(it.key()), qint32(it.value()));
        }
    }

    // False for an abort.
    bool Reconcile(TDataKind kind, TNClientDataSet& dataSet, const TNRowChange& change, const TRemoteChange& sent,
                   const TRemoteApplyResult& answer)
    {
        TReconcileRequest request;
        request.BookName = m_client.Name();
        request.Provider = RemoteData::ProviderNames().value(kind);
        request.Kind = change.Kind;
        request.ErrorCode = answer.code;
        request.ErrorText = answer.text;
        request.Local = ValueMap(dataSet, change.NewValues);
        request.HasServerRow = answer.hasCurrent;
        request.ServerRow = answer.current;
        QVariantMap corrected = request.Local;
        const TReconcileAction action =
            ReconcileHandler() ? ReconcileHandler()(request, &corrected) : TReconcileAction::raSkip;
        switch (action) {
            case TReconcileAction::raSkip:
                return true;
            case TReconcileAction::raAbort:
                return false;
            case TReconcileAction::raCancel:
                dataSet.RevertRow(change.RowKey);
                return true;
            case TReconcileAction::raRefresh:
                TakeServerRow(dataSet, change, answer);
                return true;
            case TReconcileAction::raMerge:
            case TReconcileAction::raCorrect:
                break;
        }
        const QVariantMap mine = action == TReconcileAction::raCorrect ? corrected : sent.values;
        if (change.Kind == TUpdateKind::ukInsert) {
            if (action == TReconcileAction::raCorrect)
                EditRow(dataSet, sent.id, mine);
            return true;
        }
        if (!answer.hasCurrent) {
            // Nothing on the server to merge into: the row is gone there.
            TakeServerRow(dataSet, change, answer);
            return true;
        }
        // The server's row becomes the original; the change goes again.
        dataSet.SetStoredRow(change.RowKey, ValueRow(dataSet, answer.current));
        if (change.Kind == TUpdateKind::ukDelete)
            DeleteRow(dataSet, sent.id);
        else
            EditRow(dataSet, sent.id, mine);
        return true;
    }

    static void TakeServerRow(TNClientDataSet& dataSet, const TNRowChange& change, const TRemoteApplyResult& answer)
    {
        if (change.Kind == TUpdateKind::ukInsert)
            dataSet.RevertRow(change.RowKey);
        else if (answer.hasCurrent)
            dataSet.SetStoredRow(change.RowKey, ValueRow(dataSet, answer.current));
        else
            dataSet.RemoveStoredRow(change.RowKey);
    }

    TSharedAccessClient& m_client;
    TRemoteDataConnection& m_connection;
    TApplyResult& m_result;
};
}  // namespace

TReconcileHandler SetReconcileHandler(TReconcileHandler handler)
{
    TReconcileHandler previous = std::move(ReconcileHandler());
    ReconcileHandler() = std::move(handler);
    return previous;
}

void SetTempIdReplacedHook(TTempIdHook hook)
{
    TempIdHook() = std::move(hook);
}

TApplyResult ApplySharedUpdates(TSharedAccessClient& client, const QList<TDataKind>& kinds)
{
    TApplyResult result;
    TRemoteDataConnection connection;
    if (!client.OpenRemote(connection, &result.ErrorText))
        return result;
    // References first: a row's new ID is known before the rows naming it go.
    const TDataKind order[] = {dkCarrierTypes, dkCarriers, dkContacts,     dkTemplates,
                               dkGroups,       dkFolders,  dkGroupAssigns, dkFolderAssigns};
    TApplier applier(client, connection, result);
    result.Ok = true;
    for (TDataKind kind : order) {
        if (!kinds.isEmpty() && !kinds.contains(kind))
            continue;
        if (!applier.ApplyKind(kind)) {
            result.Ok = result.Aborted;
            break;
        }
    }
    connection.Close();
    try {
        client.SaveAllClientDataSetsToFiles();
    } catch (const std::exception& e) {
        result.ErrorText = QString::fromUtf8(e.what());
    }
    return result;
}

bool RefreshSharedDataSet(TSharedAccessClient& client, TDataKind kind, QString* errorText)
{
    TNClientDataSet* dataSet = client.ClientDataSet(kind);
    if (!dataSet)
        return false;
    dataSet->CheckBrowseMode();
    if (dataSet->ChangeCount() > 0) {
        *errorText = QStringLiteral("There are changes not yet applied to the server. Apply or cancel them first.");
        return false;
    }
    TRemoteDataConnection connection;
    if (!client.OpenRemote(connection, errorText))
        return false;
    TRemotePacket packet;
    const bool fetched = connection.Fetch(RemoteData::ProviderNames().value(kind), &packet);
    if (!fetched)
        *errorText = connection.ErrorText();
    connection.Close();
    if (!fetched)
        return false;
    // The server's columns are taken by name; the cache keeps its own
    // definitions.
    std::vector<int> columns;
    for (const TNFieldDef& def : dataSet->FieldDefs())
        columns.push_back(packet.FieldIndex(def.Name));
    std::vector<std::vector<QVariant>> rows;
    rows.reserve(size_t(packet.rows.size()));
    for (const QVariantList& row : packet.rows) {
        std::vector<QVariant> values;
        values.reserve(columns.size());
        for (int column : columns)
            values.push_back(column >= 0 ? row.at(column) : QVariant());
        rows.push_back(std::move(values));
    }
    dataSet->LoadData(std::move(rows));
    try {
        client.SaveClientDataSetToFile(kind);
    } catch (const std::exception& e) {
        *errorText = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}
