#include "data/sharedapply.h"

#include "data/dmlocaldata.h"
#include "data/doorexchange.h"
#include "data/remotedataconnection.h"
#include "data/remotefetch.h"
#include "data/sharedaccessclient.h"
#include "data/sharedfetched.h"
#include "data/sharedmissingids.h"
#include "data/sharedreferences.h"
#include "db/dberror.h"
#include "platform/memorytrim.h"

#include <QPointer>
#include <QSet>
#include <QSqlQuery>
#include <QUuid>
#include <memory>

namespace {
// How long one fetch or apply may take, from its request to the end of its
// answer, whatever the server sends meanwhile.
constexpr int kDataRequestMs = 30000;

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

int DefIndex(const TNClientDataSet& dataSet, const QString& name)
{
    return dataSet.FieldDefIndex(name);
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
    return SameStoredValue(a, b);
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
        for (const TSharedReference& ref : SharedReferencesTo(TDataKind(other)))
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

// Whether Value (as RemoteValuesFromJson reads it) fits a field of Kind.
bool FitsKind(TFieldKind kind, const QVariant& value)
{
    if (value.isNull())
        return true;
    switch (kind) {
        case TFieldKind::fkInteger:
        case TFieldKind::fkSmallInt:
        case TFieldKind::fkAutoInc:
            return value.typeId() == QMetaType::LongLong && WholeNumberFitsField(kind, value.toLongLong());
        case TFieldKind::fkBoolean:
            return value.typeId() == QMetaType::Bool;
        case TFieldKind::fkString:
        case TFieldKind::fkMemo:
            return value.typeId() == QMetaType::QString;
        default:
            return true;
    }
}

// What is wrong with an apply answer to Batch, before anything of it is
// stored; empty when nothing is.
QString AnswerFault(const TNClientDataSet& dataSet, const std::vector<TNRowChange>& batch,
                    const QList<TRemoteChange>& sent, const QList<TRemoteApplyResult>& answers)
{
    const int id = DefIndex(dataSet, QStringLiteral("ID"));
    const TFieldKind idKind = dataSet.FieldDefs()[size_t(id)].Kind;
    QHash<qint64, qint64> newIds;  // new ID -> temporary ID
    QSet<qint64> inserted;         // the keys of the rows sent as new
    for (int i = 0; i < sent.size(); ++i) {
        const TRemoteApplyResult& answer = answers[i];
        if (answer.ok && sent[i].kind == TRemoteChange::TKind::Insert) {
            inserted.insert(batch[size_t(i)].RowKey);
            if (answer.newId <= 0)
                return QStringLiteral("the server gave the new row %1 no valid ID").arg(sent[i].id);
            if (!WholeNumberFitsField(idKind, answer.newId))
                return QStringLiteral("the server gave the new row %1 the ID %2, which does not fit its field")
                    .arg(sent[i].id)
                    .arg(answer.newId);
            if (newIds.contains(answer.newId))
                return QStringLiteral("the server gave the new rows %1 and %2 the same ID %3")
                    .arg(newIds.value(answer.newId))
                    .arg(sent[i].id)
                    .arg(answer.newId);
            newIds.insert(answer.newId, sent[i].id);
        } else if (answer.ok && answer.newId != 0 && answer.newId != sent[i].id) {
            return QStringLiteral("the server answered the change of row %1 with the ID %2")
                .arg(sent[i].id)
                .arg(answer.newId);
        }
        if (answer.hasCurrent) {
            // A stored new row comes back under its new ID; another row's
            // server row under its own.
            const QVariant id = answer.current.value(QStringLiteral("ID"));
            const bool insert = sent[i].kind == TRemoteChange::TKind::Insert;
            const qint64 expected = insert ? answer.newId : sent[i].id;
            if ((!insert || answer.ok) && id.toLongLong() != expected)
                return QStringLiteral("the server's row for row %1 has the ID %2").arg(sent[i].id).arg(id.toString());
            for (const TNFieldDef& def : dataSet.FieldDefs())
                if (!FitsKind(def.Kind, answer.current.value(def.Name)))
                    return QStringLiteral("the server's row for row %1 has %2 \"%3\", which does not fit its field")
                        .arg(sent[i].id)
                        .arg(def.Name, answer.current.value(def.Name).toString());
        }
    }
    if (newIds.isEmpty())
        return QString();
    // A new ID must be no other row's already (one pass over the rows): a
    // row sent again as new may keep its own.
    qint64 taken = 0;
    dataSet.ForEachStoredRowByKey([&](qint64 key, const std::vector<QVariant>& values) {
        const qint64 value = values[size_t(id)].toLongLong();
        if (taken == 0 && value > 0 && newIds.contains(value) && !inserted.contains(key))
            taken = value;
    });
    if (taken != 0)
        return QStringLiteral("the server gave the new row %1 the ID %2 of a row already there")
            .arg(newIds.value(taken))
            .arg(taken);
    return QString();
}

// Fetches the rows of Kind's provider in the fields Defs; false with a text
// that names the book, its server and the table. The worker's side of a talk.
bool FetchRows(TRemoteDataConnection& connection, const TDoorAddress& address, TDataKind kind,
               const std::vector<TNFieldDef>& defs, std::vector<std::vector<QVariant>>* rows, QString* errorText)
{
    const QString provider = RemoteData::ProviderNames().value(kind);
    QByteArray answer;
    QString error;
    if (!connection.FetchAnswer(provider, &answer))
        error = connection.ErrorText();
    else if (!ReadFetchAnswer(answer, defs, rows, &error))
        error = QStringLiteral("the server sent rows that cannot be kept: %1").arg(error);
    if (error.isEmpty())
        return true;
    *errorText =
        address.Fault(QStringLiteral("could not fetch its %1 from").arg(RemoteData::ProviderTable(provider)), error);
    return false;
}

// Applying a book's change logs, one talk per batch. Owned by the lambdas
// of its talks (shared); the worker sees only copies of what it sends.
class TApplier : public std::enable_shared_from_this<TApplier> {
public:
    TApplier(TSharedAccessClient& client, const QList<TDataKind>& kinds, TDoorExchange& exchange,
             std::function<void(const TApplyResult&)> done)
        : m_client(&client), m_address(client.DoorAddress()), m_exchange(exchange), m_done(std::move(done))
    {
        // References first: a row's new ID is known before the rows naming it
        // go. The deletes go in a second pass, the other way round.
        for (TDataKind kind : {dkCarrierTypes, dkCarriers, dkContacts, dkTemplates, dkGroups, dkFolders, dkGroupAssigns,
                               dkFolderAssigns})
            if (kinds.isEmpty() || kinds.contains(kind))
                m_kinds.append(kind);
    }

    void Start()
    {
        // Rows left naming a new record that went are never sent: they
        // would name whichever new record takes its ID.
        const TSettled settled = SettleRowsNamingGoneRecords(*m_client, false);
        m_dropped = settled.Lines;
        m_result.GoneNew.append(settled.GoneNew);
        auto self = shared_from_this();
        auto opened = std::make_shared<bool>(false);
        auto port = std::make_shared<quint16>(0);
        auto error = std::make_shared<QString>();
        m_exchange.Talk(
            [address = m_address, opened, port, error](TRemoteDataConnection& connection) {
                *opened = OpenDoor(connection, address, error.get());
                *port = connection.TcpDoorPort();
                connection.SetTimeout(kDataRequestMs);
            },
            [self, opened, port, error] {
                if (!self->m_client) {
                    self->m_result.ErrorText = QStringLiteral("The address book is no longer open");
                    return self->Report();
                }
                if (!*opened) {
                    self->m_result.ErrorText = *error;
                    return self->Report();
                }
                self->m_portError = self->m_client->RememberTcpDoorPort(*port);
                self->m_opened = true;
                self->m_result.Ok = true;
                self->EnterKind();
            });
    }

private:
    TNClientDataSet* DataSet() const
    {
        TNClientDataSet* dataSet = m_client ? m_client->ClientDataSet(Kind()) : nullptr;
        return dataSet && dataSet->Active() ? dataSet : nullptr;
    }

    // The kinds are passed twice: first references first with the inserts
    // and edits (a row naming a new record goes once that record has its
    // real ID), then the other way round with the deletes, so that a record
    // goes after the rows that named it were changed or deleted (the
    // memberships and placements before their contacts and groups, the
    // contacts before their carrier, the carriers before their type): a
    // server that refuses to delete a row other rows name takes it in the
    // same apply.
    bool Deleting() const { return m_step >= m_kinds.size(); }
    TDataKind Kind() const { return m_kinds[Deleting() ? 2 * m_kinds.size() - 1 - m_step : m_step]; }
    // The rows of the kind at hand left in the log by this apply: not sent
    // again in it, in either pass.
    QSet<qint64>& Refused() { return m_refused[int(Kind())]; }

    // The changes of an apply whose answer never came go first, as they
    // were sent and under the same ID, in the first pass, whatever they
    // hold: the server answers with what it stored for them, or applies
    // them now when they never reached it (every batch sent before them
    // has its answer).
    void EnterKind()
    {
        for (; m_step < 2 * m_kinds.size(); ++m_step) {
            TNClientDataSet* dataSet = DataSet();
            if (!dataSet)
                continue;
            dataSet->CheckBrowseMode();
            if (dataSet->HasPendingApply()) {
                m_resending = true;
                return Send(*dataSet);
            }
            if (NextBatch())
                return;
        }
        Finish();
    }

    // Sends the next batch of the kind at hand; false when it has none.
    bool NextBatch()
    {
        TNClientDataSet* dataSet = DataSet();
        if (!dataSet)
            return false;
        const TDataKind kind = Kind();
        // Rows an earlier version kept without the ID the server stored
        // them under take it first: a change of one would name no row.
        if (!m_idsLookedAt.contains(kind)) {
            m_idsLookedAt.insert(kind);
            if (HoldsRowsWithoutId(*dataSet)) {
                FetchIds(*dataSet);
                return true;
            }
        }
        const QList<int> references = ReferenceColumns(*dataSet, kind);
        std::vector<TNRowChange> batch;
        m_waiting = false;
        m_resending = false;
        for (const TNRowChange& change : dataSet->Delta()) {
            if (Refused().contains(change.RowKey) || (change.Kind == TUpdateKind::ukDelete) != Deleting())
                continue;
            // A row naming a record not yet applied waits for it: it goes
            // once the record has its real ID (a folder under a new
            // folder in the next round, a membership of a contact the
            // server refused in a later apply), never before.
            if (change.Kind != TUpdateKind::ukDelete && NamesTemporaryId(change.NewValues, references)) {
                m_waiting = true;
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
            return false;
        dataSet->SetPendingApply(QUuid::createUuid().toString(QUuid::WithoutBraces), std::move(batch));
        // The apply ID is in the cache file before the changes leave, so
        // that a restart after a lost answer asks again under it.
        try {
            m_client->SaveClientDataSetToFile(kind);
        } catch (const std::exception& e) {
            dataSet->ClearPendingApply();
            m_result.Ok = false;
            m_result.ErrorText = QString::fromUtf8(e.what());
            Finish();
            return true;
        }
        Send(*dataSet);
        return true;
    }

    // Fetches the rows of the kind at hand, gives the rows here without an
    // ID the server's IDs, then goes on with the kind's changes.
    void FetchIds(const TNClientDataSet& dataSet)
    {
        auto self = shared_from_this();
        auto rows = std::make_shared<std::vector<std::vector<QVariant>>>();
        auto error = std::make_shared<QString>();
        m_exchange.Talk(
            [address = m_address, kind = Kind(), defs = dataSet.FieldDefs(), rows,
             error](TRemoteDataConnection& connection) {
                FetchRows(connection, address, kind, defs, rows.get(), error.get());
            },
            [self, rows, error] {
                TNClientDataSet* dataSet = self->DataSet();
                if (!dataSet || !error->isEmpty()) {
                    self->m_result.Ok = false;
                    self->m_result.ErrorText = dataSet ? *error : QStringLiteral("The address book is no longer open");
                    return self->Finish();
                }
                self->Guarded([&] {
                    const TDataKind kind = self->Kind();
                    self->m_goneWithoutId << TakeIdsFromServer(
                        *dataSet, *rows, RemoteData::ProviderTable(RemoteData::ProviderNames().value(kind)));
                    if (self->NextBatch())
                        return true;
                    ++self->m_step;
                    self->EnterKind();
                    return true;
                });
            });
    }

    // Sends the dataset's pending apply; Answered takes in the answer.
    void Send(TNClientDataSet& dataSet)
    {
        m_sent.clear();
        for (const TNRowChange& change : dataSet.PendingApply()) {
            TRemoteChange wire;
            ToRemote(dataSet, change, &wire);
            m_sent.append(wire);
        }
        auto self = shared_from_this();
        auto answers = std::make_shared<QList<TRemoteApplyResult>>();
        auto error = std::make_shared<QString>();
        m_exchange.Talk(
            [provider = RemoteData::ProviderNames().value(Kind()), applyId = dataSet.PendingApplyId(), remote = m_sent,
             answers, error](TRemoteDataConnection& connection) {
                if (!connection.Apply(provider, applyId, remote, answers.get()) || answers->size() != remote.size())
                    *error =
                        connection.ErrorText().isEmpty() ? QStringLiteral("The apply failed") : connection.ErrorText();
            },
            [self, answers, error] { self->Answered(*answers, *error); });
    }

    // Takes in the answer: the stored rows become what this client loaded
    // (changes made since the apply was sent stay in the log), the refused
    // ones go to the reconcile handler. An answer that cannot be trusted
    // changes nothing: the apply stays pending under its ID.
    void Answered(const QList<TRemoteApplyResult>& answers, QString error)
    {
        TNClientDataSet* dataSet = DataSet();
        if (!dataSet)
            error = QStringLiteral("The address book is no longer open");
        const TDataKind kind = Kind();
        if (error.isEmpty())
            error = AnswerFault(*dataSet, dataSet->PendingApply(), m_sent, answers);
        if (!error.isEmpty()) {
            m_result.Ok = false;
            m_result.ErrorText =
                m_address.Fault(QStringLiteral("could not apply its changes of %1 to")
                                    .arg(RemoteData::ProviderTable(RemoteData::ProviderNames().value(kind))),
                                error);
            return Finish();
        }
        bool again = false;
        if (!Guarded([&] { return TakeInAnswer(kind, *dataSet, answers, &again); }))
            return;
        // After a batch sent again, the kind's other changes; rows naming
        // the new rows go in another round.
        Guarded([&] {
            if (again && NextBatch())
                return true;
            ++m_step;
            EnterKind();
            return true;
        });
    }

    // Runs Step; a failure of it (a value the field cannot take, a dataset
    // that refuses a change) ends the apply with a text that names the book
    // and the fault. False when the apply is over.
    bool Guarded(const std::function<bool()>& step)
    {
        try {
            return step();
        } catch (const std::exception& e) {
            m_result.Ok = false;
            m_result.ErrorText = QStringLiteral(
                                     "The address book \"%1\" could not take in the answer to its changes of %2: %3\n"
                                     "The changes not taken in stay to be applied.")
                                     .arg(m_client ? m_client->Name() : QString(),
                                          RemoteData::ProviderTable(RemoteData::ProviderNames().value(Kind())),
                                          QString::fromUtf8(e.what()));
            // A talk already on its way ends the apply by itself.
            if (!m_exchange.HasTalk())
                Finish();
            return false;
        }
    }

    // The datasets of the kinds as they stand, to undo a step that fails
    // halfway.
    using TSavedBook = std::vector<std::pair<TNClientDataSet*, TNClientDataSet::TNSavedState>>;
    TSavedBook SaveBook(TDataKind kind) const
    {
        TSavedBook saved;
        QList<TDataKind> kinds{kind};
        for (const TSharedReference& ref : SharedReferencesTo(kind))
            if (!kinds.contains(ref.Kind))
                kinds.append(ref.Kind);
        for (TDataKind each : kinds)
            if (TNClientDataSet* dataSet = m_client->ClientDataSet(each))
                saved.emplace_back(dataSet, dataSet->SaveState());
        return saved;
    }
    static void RestoreBook(TSavedBook& saved)
    {
        for (auto& [dataSet, state] : saved)
            dataSet->RestoreState(std::move(state));
    }

    // The answer's stored rows, then its refused ones; false when the apply
    // ends here (an abort, a failure). Again: the kind has another batch to
    // send now.
    bool TakeInAnswer(TDataKind kind, TNClientDataSet& dataSet, const QList<TRemoteApplyResult>& answers, bool* again)
    {
        const std::vector<TNRowChange> batch = dataSet.PendingApply();
        const int id = DefIndex(dataSet, QStringLiteral("ID"));
        const QHash<qint64, TNRowChange> now = ChangesByRow(dataSet);
        QHash<qint64, qint64> newIds;
        int applied = 0;
        for (size_t i = 0; i < batch.size(); ++i) {
            if (!answers[int(i)].ok)
                continue;
            ++applied;
            // A new row deleted here meanwhile keeps its temporary ID out of
            // the other rows: another new row may hold it by now.
            if (batch[i].Kind == TUpdateKind::ukInsert && now.contains(batch[i].RowKey) &&
                answers[int(i)].newId != m_sent[int(i)].id)
                newIds.insert(m_sent[int(i)].id, answers[int(i)].newId);
        }
        const bool placed = !newIds.isEmpty();
        bool relinked = false;
        // All or nothing: a failure halfway leaves the rows and the apply
        // pending as they were, to be asked again under the same ID.
        TSavedBook saved = placed ? SaveBook(kind) : TSavedBook{{&dataSet, dataSet.SaveState()}};
        try {
            relinked = ReplaceIds(kind, newIds);
            const QHash<qint64, TNRowChange> here = placed ? ChangesByRow(dataSet) : now;
            // The rows shown are re-read once for the whole batch.
            const TNClientDataSet::TNStoredRowBatch oneReread(dataSet);
            for (size_t i = 0; i < batch.size(); ++i) {
                if (!answers[int(i)].ok)
                    continue;
                if (batch[i].Kind == TUpdateKind::ukDelete) {
                    dataSet.RebaseRow(batch[i].RowKey, nullptr);
                    if (kind == dkGroupAssigns || kind == dkFolderAssigns)
                        m_storedDeletes[int(kind)].push_back(batch[i].OldValues);
                    continue;
                }
                std::vector<QVariant> stored = batch[i].NewValues;
                if (batch[i].Kind == TUpdateKind::ukInsert)
                    stored[size_t(id)] = QVariant::fromValue<qint64>(answers[int(i)].newId);
                if (batch[i].Kind == TUpdateKind::ukInsert && answers[int(i)].hasCurrent)
                    TakeStoredNewRow(dataSet, here.value(batch[i].RowKey), answers[int(i)].current, &stored);
                dataSet.RebaseRow(batch[i].RowKey, &stored);
            }
            dataSet.ClearPendingApply();
        } catch (...) {
            RestoreBook(saved);
            throw;
        }
        saved.clear();
        m_result.Applied += applied;
        AnnounceIds(kind, newIds);
        for (size_t i = 0; i < batch.size(); ++i) {
            if (answers[int(i)].ok)
                continue;
            // A change an earlier version sent without the row's ID named no
            // row: the refusal is not the row's. It stays in the log and
            // goes again once the row has the server's ID.
            if (batch[i].Kind != TUpdateKind::ukInsert && m_sent[int(i)].id == 0)
                continue;
            ++m_result.Refused;
            Refused().insert(batch[i].RowKey);
            if (batch[i].Kind == TUpdateKind::ukInsert)
                m_refusedNew.insert({kind, m_sent[int(i)].id});
            // The row as it stands now: it may have changed since it was sent.
            const TNRowChange change = ChangesByRow(dataSet).value(batch[i].RowKey);
            if (change.RowKey == 0)
                continue;  // undone here meanwhile
            if (!Reconcile(kind, dataSet, change, answers[int(i)], Refused())) {
                m_result.Aborted = true;
                Finish();
                return false;
            }
        }
        *again = m_resending || (placed && (m_waiting || relinked));
        return true;
    }

    // A new row as the server stored it (with the defaults it filled in)
    // becomes Stored, what this client loaded; the fields of the row here
    // that the operator has not changed since it was sent take the server's
    // values too, so that a later change or delete names the row as stored.
    static void TakeStoredNewRow(TNClientDataSet& dataSet, const TNRowChange& change, const QVariantMap& server,
                                 std::vector<QVariant>* stored)
    {
        const std::vector<QVariant> sent = *stored;
        const std::vector<TNFieldDef>& defs = dataSet.FieldDefs();
        for (size_t f = 0; f < defs.size() && f < stored->size(); ++f)
            if (server.contains(defs[f].Name))
                (*stored)[f] = server.value(defs[f].Name);
        if (change.RowKey == 0 || change.Kind != TUpdateKind::ukInsert)
            return;  // gone here meanwhile: the delete goes with the stored values
        std::vector<QVariant> values = change.NewValues;
        bool differs = false;
        for (size_t f = 0; f < values.size() && f < stored->size(); ++f)
            if (Same(values[f], sent[f]) && !Same(values[f], (*stored)[f])) {
                values[f] = (*stored)[f];
                differs = true;
            }
        if (differs)
            dataSet.SetStoredRow(change.RowKey, std::move(values));
    }

    void Finish()
    {
        auto self = shared_from_this();
        m_exchange.Talk([](TRemoteDataConnection& connection) { connection.Close(); }, [self] { self->Report(); });
    }

    void Report()
    {
        if (m_exchange.IsCancelled()) {
            m_result.Ok = false;
            m_result.ErrorText = QStringLiteral("Cancelled");
        }
        // What the server stored is kept, whatever ended the apply.
        if (m_client && m_opened) {
            try {
                m_client->SaveAllClientDataSetsToFiles();
            } catch (const std::exception& e) {
                // Reported even after a good or a cancelled apply: a cache
                // that still lists the stored rows as changes would send them
                // again at the next start.
                m_result.SaveErrorText = QString::fromUtf8(e.what());
            }
        }
        for (const QString& text : {m_portError, m_result.SaveErrorText})
            if (!text.isEmpty())
                m_result.ErrorText += (m_result.ErrorText.isEmpty() ? QString() : QStringLiteral("\n")) + text;
        if (m_client && m_opened && m_result.Ok && !m_result.Aborted)
            m_result.Notice = Notice();
        if (m_done)
            m_done(m_result);
    }

    // What this apply could not send, and why; empty when it sent all.
    QString Notice() const
    {
        QStringList parts;
        if (!m_dropped.isEmpty())
            parts << QStringLiteral(
                         "These rows of the address book \"%1\" named new records that are no longer in it, "
                         "and changed:\n%2")
                         .arg(m_client->Name(), m_dropped.join(u'\n'));
        if (!m_broughtBack.isEmpty())
            parts << QStringLiteral(
                         "The server deleted these rows of the address book \"%1\" in this apply, before the "
                         "delete of the record they name was given up; they came back here and go to the server "
                         "with the next apply:\n%2")
                         .arg(m_client->Name(), m_broughtBack.join(u'\n'));
        if (!m_goneWithoutId.isEmpty())
            parts << QStringLiteral(
                         "These rows of the address book \"%1\", which an earlier version kept without an ID, are "
                         "no longer on the server; they went here too:\n%2")
                         .arg(m_client->Name(), m_goneWithoutId.join(u'\n'));
        const QList<TWaitingRow> waiting = WaitingRows(*m_client);
        QSet<QPair<int, qint64>> waitingRows;
        for (const TWaitingRow& row : waiting)
            waitingRows.insert({row.Kind, row.Id});
        QStringList lines;
        for (const TWaitingRow& row : waiting) {
            const QPair<int, qint64> named{row.NamedKind, row.NamedId};
            lines << row.Text + (m_refusedNew.contains(named)  ? QStringLiteral(", which the server refused")
                                 : waitingRows.contains(named) ? QStringLiteral(", which waits itself")
                                                               : QStringLiteral(", which is not on the server yet"));
        }
        if (!lines.isEmpty())
            parts << QStringLiteral(
                         "These changes of the address book \"%1\" were not sent, since each names a new record "
                         "the server has not stored; they go with the apply after it is stored:\n%2")
                         .arg(m_client->Name(), lines.join(u'\n'));
        return parts.join(QStringLiteral("\n\n"));
    }

    // Puts the server's IDs of one batch of new rows in place of their
    // temporary ones: in the rows and in the rows naming them. A row sent
    // again as new after the server deleted it (a delete cancelled here
    // while its answer was lost) had a real ID, which the server's rows
    // still name: the rows naming it here change through the log, so that
    // the server's follow. True when rows of Kind itself changed so.
    bool ReplaceIds(TDataKind kind, const QHash<qint64, qint64>& ids)
    {
        if (ids.isEmpty())
            return false;
        m_client->ClientDataSet(kind)->ReplaceFieldValues(QStringLiteral("ID"), ids);
        QHash<qint64, qint64> temporary;
        QHash<qint64, qint64> real;
        for (auto it = ids.cbegin(); it != ids.cend(); ++it)
            (RemoteData::IsTemporaryId(it.key()) ? temporary : real).insert(it.key(), it.value());
        bool relinked = false;
        for (const TSharedReference& ref : SharedReferencesTo(kind)) {
            TNClientDataSet* other = m_client->ClientDataSet(ref.Kind);
            if (!other)
                continue;
            const QString field = QString::fromLatin1(ref.Field);
            if (!temporary.isEmpty())
                other->ReplaceFieldValues(field, temporary);
            if (!real.isEmpty() && RelinkRows(*other, field, real) && ref.Kind == kind)
                relinked = true;
        }
        return relinked;
    }

    // Sets Field from each old ID to its new one in the rows here, as
    // edits of the log; true when any row changed.
    static bool RelinkRows(TNClientDataSet& dataSet, const QString& field, const QHash<qint64, qint64>& ids)
    {
        const int column = DefIndex(dataSet, field);
        const int id = DefIndex(dataSet, QStringLiteral("ID"));
        QList<std::pair<qint64, qint64>> rows;  // row ID -> new value
        dataSet.ForEachStoredRow([&](const std::vector<QVariant>& values) {
            if (values[size_t(column)].isNull())
                return;
            const auto found = ids.constFind(values[size_t(column)].toLongLong());
            if (found != ids.constEnd())
                rows.append({values[size_t(id)].toLongLong(), found.value()});
        });
        for (const auto& [row, value] : rows)
            EditRow(dataSet, row, {{field, value}});
        return !rows.isEmpty();
    }

    // Tells FoldersOpen and the hook (the folder tree) of the IDs replaced.
    void AnnounceIds(TDataKind kind, const QHash<qint64, qint64>& ids)
    {
        for (auto it = ids.cbegin(); it != ids.cend(); ++it) {
            if (kind == dkFolders && DModLocalData) {
                QSqlQuery update(DModLocalData->Connection());
                update.prepare(
                    QStringLiteral("update FoldersOpen set FolderID = :New "
                                   "where DatabaseGUID = :GUID and FolderID = :Old"));
                update.bindValue(QStringLiteral(":New"), it.value());
                update.bindValue(QStringLiteral(":GUID"), m_client->GUID());
                update.bindValue(QStringLiteral(":Old"), it.key());
                update.exec();
            }
            if (TempIdHook())
                TempIdHook()(m_client, kind, qint32(it.key()), qint32(it.value()));
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
        request.BookName = m_client->Name();
        request.Provider = RemoteData::ProviderNames().value(kind);
        request.Kind = change.Kind;
        request.ErrorCode = answer.code;
        request.ErrorText = answer.text;
        request.Local = ValueMap(dataSet, change.NewValues);
        request.HasServerRow = answer.hasCurrent;
        request.ServerRow = answer.current;
        request.Fields = dataSet.FieldDefs();
        QVariantMap corrected = request.Local;
        const TReconcileAction action =
            ReconcileHandler() ? ReconcileHandler()(request, &corrected) : TReconcileAction::raSkip;
        if (action == TReconcileAction::raSkip || action == TReconcileAction::raAbort)
            return action == TReconcileAction::raSkip;
        // A choice that cannot be carried out (a corrected value the field
        // cannot take) leaves the row and its change as they were.
        TSavedBook saved = SaveBook(kind);
        try {
            TakeChoice(kind, dataSet, change, answer, action, mine, corrected, refused);
        } catch (...) {
            RestoreBook(saved);
            throw;
        }
        return true;
    }

    void TakeChoice(TDataKind kind, TNClientDataSet& dataSet, const TNRowChange& change,
                    const TRemoteApplyResult& answer, TReconcileAction action, const TRemoteChange& mine,
                    const QVariantMap& corrected, QSet<qint64>& refused)
    {
        switch (action) {
            case TReconcileAction::raSkip:
            case TReconcileAction::raAbort:
                return;
            case TReconcileAction::raCancel:
            case TReconcileAction::raRefresh:
                // Undone here is as the server has the row: a new row goes,
                // with the rows that name it; another takes the server's row,
                // or goes when the server has none.
                TakeServerRow(kind, dataSet, change, answer);
                return;
            case TReconcileAction::raMerge:
            case TReconcileAction::raCorrect:
                break;
        }
        const QVariantMap values = action == TReconcileAction::raCorrect ? corrected : mine.values;
        if (change.Kind == TUpdateKind::ukInsert) {
            if (action == TReconcileAction::raCorrect)
                EditRow(dataSet, mine.id, values);
            return;
        }
        if (!answer.hasCurrent) {
            // The row is gone from the server: a delete is done; an edit is
            // kept as a new row (the dialog says so).
            if (change.Kind == TUpdateKind::ukDelete)
                dataSet.RemoveStoredRow(change.RowKey);
            else
                refused.insert(AddAsNewRow(dataSet, change, values));
            return;
        }
        // The server's row becomes the original; the change goes again.
        dataSet.SetStoredRow(change.RowKey, ValueRow(dataSet, answer.current));
        if (change.Kind == TUpdateKind::ukDelete)
            DeleteRow(dataSet, mine.id);
        else
            EditRow(dataSet, mine.id, values);
    }

    // Puts the row's values, Values set over them, in a new row with a
    // temporary ID in place of the row; returns the new row's key.
    qint64 AddAsNewRow(TNClientDataSet& dataSet, const TNRowChange& change, const QVariantMap& values)
    {
        const qint64 tempId = m_client->GetNextTempID(&dataSet);
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
            const TNewRecordNames names = NewRecordNames(*m_client);
            dataSet.RevertRow(change.RowKey);
            m_result.GoneNew.append({kind, tempId});
            // The rows naming it settle as at any way back: a row the
            // server has keeps its other changes, a new one goes.
            const TSettled settled = SettleRowsNamingGoneRecords(*m_client, false, &names);
            m_dropped.append(settled.Lines);
            m_result.GoneNew.append(settled.GoneNew);
        } else if (answer.hasCurrent) {
            dataSet.SetStoredRow(change.RowKey, ValueRow(dataSet, answer.current));
            if (change.Kind == TUpdateKind::ukDelete)
                BringBackRowsNaming(kind, answer.current.value(QStringLiteral("ID")));
        } else {
            dataSet.RemoveStoredRow(change.RowKey);
        }
    }

    // A delete given up brings its record back whole: the memberships and
    // placements this apply deleted on the server before it come back here
    // as new rows, which the next apply stores, and the operator is told.
    void BringBackRowsNaming(TDataKind kind, const QVariant& id)
    {
        for (const TSharedReference& ref : SharedReferencesTo(kind)) {
            TNClientDataSet* other = m_client->ClientDataSet(ref.Kind);
            std::vector<std::vector<QVariant>>& deleted = m_storedDeletes[int(ref.Kind)];
            if (!other || deleted.empty())
                continue;
            const int column = DefIndex(*other, QString::fromLatin1(ref.Field));
            const int idColumn = DefIndex(*other, QStringLiteral("ID"));
            for (auto it = deleted.begin(); it != deleted.end();) {
                if (column < 0 || size_t(column) >= it->size() || !SameStoredValue((*it)[size_t(column)], id)) {
                    ++it;
                    continue;
                }
                const std::vector<QVariant> values = *it;
                it = deleted.erase(it);
                TNDataSetPosition keep(*other);
                other->Append();
                for (size_t f = 0; f < values.size() && f < other->FieldDefs().size(); ++f)
                    if (int(f) != idColumn)
                        other->FieldByName(other->FieldDefs()[f].Name)->SetValue(values[f]);
                other->FieldByName(QStringLiteral("ID"))->SetValue(m_client->GetNextTempID(other));
                other->Post();
                m_broughtBack << QStringLiteral("%1 comes back with %2")
                                     .arg(DescribeRow(*m_client, ref.Kind, values),
                                          DescribeRecord(*m_client, kind, id));
            }
        }
    }

    QPointer<TSharedAccessClient> m_client;
    TDoorAddress m_address;
    TDoorExchange& m_exchange;
    std::function<void(const TApplyResult&)> m_done;
    QList<TDataKind> m_kinds;
    int m_step = 0;                         // the kind at hand and its pass (Kind, Deleting)
    QHash<int, QSet<qint64>> m_refused;     // by kind: rows left in the log by this apply
    QSet<QPair<int, qint64>> m_refusedNew;  // new records the server refused: kind, temporary ID
    QStringList m_dropped;                  // rows that named a new record gone here, as told
    QStringList m_broughtBack;              // rows deleted on the server that came back here, as told
    // By kind: the memberships and placements this apply deleted on the server.
    QHash<int, std::vector<std::vector<QVariant>>> m_storedDeletes;
    QSet<TDataKind> m_idsLookedAt;  // kinds whose rows without an ID were looked for
    QStringList m_goneWithoutId;    // rows without an ID the server no longer has, as told
    bool m_waiting = false;         // rows of the kind at hand wait for rows of the batch sent
    bool m_resending = false;       // the batch sent is a pending apply sent again
    QList<TRemoteChange> m_sent;
    TApplyResult m_result;
    bool m_opened = false;
    QString m_portError;  // the TCP door's port could not be kept
};

// What a refresh fetched, handed from its talk to the main thread.
struct TFetched {
    QList<TDataKind> Kinds;
    std::vector<std::vector<TNFieldDef>> Defs;
    std::vector<std::vector<std::vector<QVariant>>> Rows;
    quint16 TcpDoorPort = 0;
    QString ErrorText;
};

QString PendingChangesText()
{
    return QStringLiteral("There are changes not yet applied to the server. Apply or cancel them first.");
}
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

void StartSharedApply(TSharedAccessClient& client, const QList<TDataKind>& kinds, TDoorExchange& exchange,
                      std::function<void(const TApplyResult& result)> done)
{
    std::make_shared<TApplier>(client, kinds, exchange, std::move(done))->Start();
}

TApplyResult ApplySharedUpdates(TSharedAccessClient& client, const QList<TDataKind>& kinds)
{
    TApplyResult result;
    TDoorExchange exchange(TDoorExchange::TMode::Blocking);
    StartSharedApply(client, kinds, exchange, [&](const TApplyResult& r) { result = r; });
    return result;
}

void StartSharedRefresh(TSharedAccessClient& client, const QList<TDataKind>& kinds, TDoorExchange& exchange,
                        std::function<void(const QString& errorText)> done)
{
    auto fetched = std::make_shared<TFetched>();
    for (TDataKind kind : kinds) {
        TNClientDataSet* dataSet = client.ClientDataSet(kind);
        if (!dataSet)
            continue;
        dataSet->CheckBrowseMode();
        if (dataSet->ChangeCount() > 0 || dataSet->HasPendingApply())
            return done(PendingChangesText());
        fetched->Kinds.append(kind);
        fetched->Defs.push_back(dataSet->FieldDefs());
    }
    QPointer<TSharedAccessClient> book(&client);
    exchange.Talk(
        [address = client.DoorAddress(), fetched](TRemoteDataConnection& connection) {
            if (!OpenDoor(connection, address, &fetched->ErrorText))
                return;
            fetched->TcpDoorPort = connection.TcpDoorPort();
            connection.SetTimeout(kDataRequestMs);
            for (int i = 0; i < fetched->Kinds.size(); ++i) {
                std::vector<std::vector<QVariant>> rows;
                if (!FetchRows(connection, address, fetched->Kinds[i], fetched->Defs[size_t(i)], &rows,
                               &fetched->ErrorText)) {
                    fetched->Rows.clear();
                    break;
                }
                fetched->Rows.push_back(std::move(rows));
            }
            connection.Close();
        },
        [book, fetched, done = std::move(done), &exchange] {
            if (exchange.IsCancelled())
                return done(QStringLiteral("Cancelled"));
            if (!book)
                return done(QStringLiteral("The address book is no longer open"));
            if (!fetched->ErrorText.isEmpty())
                return done(fetched->ErrorText);
            const QString portError = book->RememberTcpDoorPort(fetched->TcpDoorPort);
            for (TDataKind kind : fetched->Kinds)
                if (book->ClientDataSet(kind)->ChangeCount() > 0 || book->ClientDataSet(kind)->HasPendingApply())
                    return done(PendingChangesText());
            QString error;
            for (int i = 0; i < fetched->Kinds.size(); ++i) {
                try {
                    book->ClientDataSet(fetched->Kinds[i])->LoadData(std::move(fetched->Rows[size_t(i)]));
                    // Only the cache that holds these rows counts as fetched
                    // (deletes rely on it): the fetch's name goes into the
                    // note and, with the rows, into the cache file.
                    RememberSharedKindFetched(*book, fetched->Kinds[i], &error);
                    book->SaveClientDataSetToFile(fetched->Kinds[i]);
                } catch (const std::exception& e) {
                    // Told, and the exchange still ends.
                    error = QString::fromUtf8(e.what());
                }
            }
            fetched->Rows.clear();
            // The rows replaced and the pieces of the answer are freed by now.
            ReleaseFreedMemory();
            done(portError.isEmpty() || error.isEmpty() ? portError + error : portError + u'\n' + error);
        });
}

bool RefreshSharedDataSet(TSharedAccessClient& client, TDataKind kind, QString* errorText)
{
    if (!client.ClientDataSet(kind))
        return false;
    bool ok = false;
    TDoorExchange exchange(TDoorExchange::TMode::Blocking);
    StartSharedRefresh(client, {kind}, exchange, [&](const QString& error) {
        ok = error.isEmpty();
        *errorText = error;
    });
    return ok;
}
