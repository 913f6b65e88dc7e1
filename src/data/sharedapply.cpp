#include "data/sharedapply.h"

#include "data/dmlocaldata.h"
#include "data/remotedataconnection.h"
#include "data/sharedaccessclient.h"
#include "db/dberror.h"

#include <QSet>
#include <QSqlQuery>
#include <QUuid>

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

// The columns of Kind's rows that hold IDs of other rows (of any kind).
QList<int> ReferenceColumns(const TNClientDataSet& dataSet, TDataKind kind)
{
    QList<int> columns;
    for (int other = 0; other < DataKindCount; ++other)
        for (const TReference& ref : ReferencesTo(TDataKind(other)))
            if (ref.Kind == kind) {
                const int column = DefIndex(dataSet, QString::fromLatin1(ref.Field));
                if (column >= 0 && !columns.contains(column))
                    columns.append(column);
            }
    return columns;
}

// Whether the values name a row by its temporary ID.
bool NamesTemporaryId(const std::vector<QVariant>& values, const QList<int>& columns)
{
    for (int column : columns)
        if (size_t(column) < values.size() && !values[size_t(column)].isNull() &&
            RemoteData::IsTemporaryId(values[size_t(column)].toLongLong()))
            return true;
    return false;
}

// The net change of every row with one, by row key.
QHash<qint64, TNRowChange> ChangesByRow(const TNClientDataSet& dataSet)
{
    QHash<qint64, TNRowChange> changes;
    for (TNRowChange& change : dataSet.Delta())
        changes.insert(change.RowKey, std::move(change));
    return changes;
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
        const QList<int> references = ReferenceColumns(*dataSet, kind);
        QSet<qint64> refused;  // rows left in the log by this apply
        // The changes of an apply whose answer never came go first, as they
        // were sent and under the same ID: the server answers with what it
        // stored for them, or applies them now when they never reached it.
        bool placed = false;
        if (dataSet->HasPendingApply() && !Send(kind, *dataSet, refused, &placed))
            return false;
        for (;;) {
            std::vector<TNRowChange> batch;
            bool waiting = false;
            for (const TNRowChange& change : dataSet->Delta()) {
                if (refused.contains(change.RowKey))
                    continue;
                // A row naming a record not yet applied waits for it: it goes
                // once the record has its real ID (a folder under a new
                // folder in the next round, a membership of a contact the
                // server refused in a later apply), never before.
                if (change.Kind != TUpdateKind::ukDelete && NamesTemporaryId(change.NewValues, references)) {
                    waiting = true;
                    continue;
                }
                TRemoteChange wire;
                if (!ToRemote(*dataSet, change, &wire)) {
                    dataSet->MergeRowChanges(change.RowKey);
                    continue;
                }
                batch.push_back(change);
            }
            if (batch.empty())
                return true;
            dataSet->SetPendingApply(QUuid::createUuid().toString(QUuid::WithoutBraces), std::move(batch));
            // The apply ID is in the cache file before the changes leave, so
            // that a restart after a lost answer asks again under it.
            try {
                m_client.SaveClientDataSetToFile(kind);
            } catch (const std::exception& e) {
                dataSet->ClearPendingApply();
                m_result.ErrorText = QString::fromUtf8(e.what());
                return false;
            }
            if (!Send(kind, *dataSet, refused, &placed))
                return false;
            // Rows naming the new rows go in another round.
            if (!placed || !waiting)
                return true;
        }
    }

private:
    // Sends the dataset's pending apply and takes in the answer: the stored
    // rows become what this client loaded (changes made since the apply was
    // sent stay in the log), the refused ones go to the reconcile handler.
    // Placed tells whether new rows got their IDs.
    bool Send(TDataKind kind, TNClientDataSet& dataSet, QSet<qint64>& refused, bool* placed)
    {
        const std::vector<TNRowChange> batch = dataSet.PendingApply();
        QList<TRemoteChange> remote;
        for (const TNRowChange& change : batch) {
            TRemoteChange wire;
            ToRemote(dataSet, change, &wire);
            remote.append(wire);
        }
        QList<TRemoteApplyResult> answers;
        if (!m_connection.Apply(RemoteData::ProviderNames().value(kind), dataSet.PendingApplyId(), remote, &answers) ||
            answers.size() != remote.size()) {
            // The apply stays pending under its ID: the next one asks again.
            m_result.ErrorText = m_connection.ErrorText();
            return false;
        }
        const int id = DefIndex(dataSet, QStringLiteral("ID"));
        const QHash<qint64, TNRowChange> now = ChangesByRow(dataSet);
        QHash<qint64, qint64> newIds;
        for (size_t i = 0; i < batch.size(); ++i) {
            if (!answers[int(i)].ok)
                continue;
            ++m_result.Applied;
            // A new row deleted here meanwhile keeps its temporary ID out of
            // the other rows: another new row may hold it by now.
            if (batch[i].Kind == TUpdateKind::ukInsert && now.contains(batch[i].RowKey) &&
                answers[int(i)].newId != remote[int(i)].id)
                newIds.insert(remote[int(i)].id, answers[int(i)].newId);
        }
        *placed = !newIds.isEmpty();
        ReplaceIds(kind, newIds);
        for (size_t i = 0; i < batch.size(); ++i) {
            if (!answers[int(i)].ok)
                continue;
            if (batch[i].Kind == TUpdateKind::ukDelete) {
                dataSet.RebaseRow(batch[i].RowKey, nullptr);
                continue;
            }
            std::vector<QVariant> stored = batch[i].NewValues;
            if (batch[i].Kind == TUpdateKind::ukInsert)
                stored[size_t(id)] = QVariant::fromValue<qint64>(answers[int(i)].newId);
            dataSet.RebaseRow(batch[i].RowKey, &stored);
        }
        dataSet.ClearPendingApply();
        for (size_t i = 0; i < batch.size(); ++i) {
            if (answers[int(i)].ok)
                continue;
            ++m_result.Refused;
            refused.insert(batch[i].RowKey);
            // The row as it stands now: it may have changed since it was sent.
            const TNRowChange change = ChangesByRow(dataSet).value(batch[i].RowKey);
            if (change.RowKey == 0)
                continue;  // undone here meanwhile
            if (!Reconcile(kind, dataSet, change, answers[int(i)], refused)) {
                m_result.Aborted = true;
                return false;
            }
        }
        return true;
    }

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

    // False for an abort. Every answer leaves the row as the server has it,
    // or with a change in the log that makes it so.
    bool Reconcile(TDataKind kind, TNClientDataSet& dataSet, const TNRowChange& change,
                   const TRemoteApplyResult& answer, QSet<qint64>& refused)
    {
        TRemoteChange mine;
        ToRemote(dataSet, change, &mine);
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
            case TReconcileAction::raRefresh:
                // Undone here is as the server has the row: a new row goes,
                // with the rows that name it; another takes the server's row,
                // or goes when the server has none.
                TakeServerRow(kind, dataSet, change, answer);
                return true;
            case TReconcileAction::raMerge:
            case TReconcileAction::raCorrect:
                break;
        }
        const QVariantMap values = action == TReconcileAction::raCorrect ? corrected : mine.values;
        if (change.Kind == TUpdateKind::ukInsert) {
            if (action == TReconcileAction::raCorrect)
                EditRow(dataSet, mine.id, values);
            return true;
        }
        if (!answer.hasCurrent) {
            // The row is gone from the server: a delete is done; an edit is
            // kept as a new row (the dialog says so).
            if (change.Kind == TUpdateKind::ukDelete)
                dataSet.RemoveStoredRow(change.RowKey);
            else
                refused.insert(AddAsNewRow(dataSet, change, values));
            return true;
        }
        // The server's row becomes the original; the change goes again.
        dataSet.SetStoredRow(change.RowKey, ValueRow(dataSet, answer.current));
        if (change.Kind == TUpdateKind::ukDelete)
            DeleteRow(dataSet, mine.id);
        else
            EditRow(dataSet, mine.id, values);
        return true;
    }

    // Puts the row's values, Values set over them, in a new row with a
    // temporary ID in place of the row; returns the new row's key.
    qint64 AddAsNewRow(TNClientDataSet& dataSet, const TNRowChange& change, const QVariantMap& values)
    {
        const qint64 tempId = m_client.GetNextTempID(&dataSet);
        QVariantMap row = ValueMap(dataSet, change.NewValues);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            row.insert(it.key(), it.value());
        row.insert(QStringLiteral("ID"), tempId);
        dataSet.RemoveStoredRow(change.RowKey);
        TNDataSetPosition keep(dataSet);
        dataSet.Append();
        for (const TNFieldDef& def : dataSet.FieldDefs())
            dataSet.FieldByName(def.Name)->SetValue(row.value(def.Name));
        dataSet.Post();
        for (const TNRowChange& added : dataSet.Delta())
            if (added.Kind == TUpdateKind::ukInsert &&
                added.NewValues[size_t(DefIndex(dataSet, QStringLiteral("ID")))].toLongLong() == tempId)
                return added.RowKey;
        return 0;
    }

    void TakeServerRow(TDataKind kind, TNClientDataSet& dataSet, const TNRowChange& change,
                       const TRemoteApplyResult& answer)
    {
        if (change.Kind == TUpdateKind::ukInsert) {
            const qint64 tempId = change.NewValues[size_t(DefIndex(dataSet, QStringLiteral("ID")))].toLongLong();
            dataSet.RevertRow(change.RowKey);
            RevertRowsNaming(kind, tempId);
        } else if (answer.hasCurrent) {
            dataSet.SetStoredRow(change.RowKey, ValueRow(dataSet, answer.current));
        } else {
            dataSet.RemoveStoredRow(change.RowKey);
        }
    }

    // Undoes the changes of the rows that name a new row undone here (its
    // memberships, the folders under it), and of the rows naming those.
    void RevertRowsNaming(TDataKind kind, qint64 tempId)
    {
        for (const TReference& ref : ReferencesTo(kind)) {
            TNClientDataSet* other = m_client.ClientDataSet(ref.Kind);
            if (!other)
                continue;
            const int column = DefIndex(*other, QString::fromLatin1(ref.Field));
            const int id = DefIndex(*other, QStringLiteral("ID"));
            for (const TNRowChange& change : other->Delta()) {
                if (change.Kind == TUpdateKind::ukDelete || column < 0 ||
                    change.NewValues[size_t(column)].toLongLong() != tempId)
                    continue;
                other->RevertRow(change.RowKey);
                if (change.Kind == TUpdateKind::ukInsert)
                    RevertRowsNaming(ref.Kind, change.NewValues[size_t(id)].toLongLong());
            }
        }
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
        // Reported even after a good apply: a cache that still lists the
        // stored rows as changes would send them again at the next start.
        result.ErrorText +=
            (result.ErrorText.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromUtf8(e.what());
    }
    return result;
}

bool RefreshSharedDataSet(TSharedAccessClient& client, TDataKind kind, QString* errorText)
{
    TNClientDataSet* dataSet = client.ClientDataSet(kind);
    if (!dataSet)
        return false;
    dataSet->CheckBrowseMode();
    if (dataSet->ChangeCount() > 0 || dataSet->HasPendingApply()) {
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
