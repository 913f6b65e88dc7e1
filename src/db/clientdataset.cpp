#include "db/clientdataset.h"

#include <QDebug>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>

bool SameStoredValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b || a.toString() == b.toString();
}

namespace {
bool SameValues(const std::vector<QVariant>& a, const std::vector<QVariant>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameStoredValue(a[i], b[i]))
            return false;
    return true;
}
// One count for every client dataset, so that a point in time names the
// state of all of them; 0 is before any change.
std::atomic<qint64> LastStamp{0};
// The units open on this thread and the stamp of the outer one, taken by
// its first change (0: none yet), so that a unit that changed nothing
// leaves the count as it was.
thread_local int UnitDepth = 0;
thread_local qint64 UnitStamp = 0;
}  // namespace

TNChangeUnit::TNChangeUnit()
{
    ++UnitDepth;
}

TNChangeUnit::~TNChangeUnit()
{
    if (--UnitDepth == 0)
        UnitStamp = 0;
}

qint64 TNClientDataSet::NextStamp()
{
    if (UnitDepth == 0)
        return ++LastStamp;
    if (UnitStamp == 0)
        UnitStamp = ++LastStamp;
    return UnitStamp;
}

qint64 TNClientDataSet::SavePoint()
{
    return LastStamp;
}

void TNClientDataSet::SetFieldDefs(std::vector<TNFieldDef> defs)
{
    Close();
    m_defs = std::move(defs);
    m_store.clear();
    m_log.clear();
    ClearPendingApply();
    m_sourceId.clear();
    // Fields outlive a change of definitions; they take the new settings.
    for (const TNFieldDef& def : m_defs) {
        TNField* field = FindField(def.Name);
        if (field && field->FieldClass() == TFieldClass::fcData)
            field->SetReadOnly(def.ReadOnly);
    }
}

void TNClientDataSet::AddFieldDef(const QString& name, TFieldKind kind, int size, bool readOnly)
{
    std::vector<TNFieldDef> defs = m_defs;
    defs.push_back({name, kind, size, readOnly});
    SetFieldDefs(std::move(defs));
}

int TNClientDataSet::FieldDefIndex(const QString& name) const
{
    for (size_t i = 0; i < m_defs.size(); ++i)
        if (m_defs[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

std::vector<TNFieldDef> TNClientDataSet::FieldDefsOf(const TNDataSet& source)
{
    std::vector<TNFieldDef> defs;
    for (int i = 0; i < source.FieldCount(); ++i) {
        const TNField* f = source.Field(i);
        if (f->FieldClass() == TFieldClass::fcData)
            defs.push_back({f->FieldName(), f->Kind(), f->Size(), f->ReadOnly()});
    }
    return defs;
}

void TNClientDataSet::CreateDataSet()
{
    Close();
    m_store.clear();
    m_log.clear();
    ClearPendingApply();
    m_sourceId.clear();
    Open();
}

void TNClientDataSet::LoadFromDataSet(const TNDataSet& source)
{
    std::vector<TNFieldDef> defs = FieldDefsOf(source);
    std::vector<const TNField*> fields;
    for (const TNFieldDef& def : defs)
        fields.push_back(source.FindField(def.Name));
    SetFieldDefs(std::move(defs));
    for (int row = 0; row < source.RecordCount(); ++row) {
        std::vector<QVariant> values;
        values.reserve(fields.size());
        for (const TNField* f : fields)
            values.push_back(source.RowValue(row, f));
        m_store.emplace(m_nextKey++, MakeRowValues(std::move(values)));
    }
    Open();
}

void TNClientDataSet::EmptyDataSet()
{
    Cancel();
    m_store.clear();
    m_log.clear();
    ClearPendingApply();
    m_sourceId.clear();
    Reload();
}

std::vector<TNColumnInfo> TNClientDataSet::LoadRows(std::vector<std::unique_ptr<TNRow>>& rows)
{
    if (m_defs.empty())
        Error(QStringLiteral("Cannot open a client dataset without field definitions"));
    std::vector<TNColumnInfo> columns;
    for (const TNFieldDef& def : m_defs)
        columns.push_back({def.Name, def.Kind, def.Size, def.ReadOnly});
    rows.reserve(m_store.size());
    for (const auto& [key, values] : m_store) {
        auto row = std::make_unique<TNRow>();
        row->Key = key;
        row->Values = values;  // shared, not copied
        rows.push_back(std::move(row));
    }
    return columns;
}

void TNClientDataSet::StoreInsert(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>&)
{
    const qint64 key = m_nextKey++;
    row.Key = key;
    row.Values = MakeRowValues(values);
    m_store[key] = row.Values;
    m_log.push_back({TUpdateKind::ukInsert, key, nullptr, NextStamp()});
}

void TNClientDataSet::StoreUpdate(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>&)
{
    const qint64 key = row.Key.toLongLong();
    TNRowValues& stored = m_store[key];
    m_log.push_back({TUpdateKind::ukModify, key, stored ? stored : MakeRowValues({}), NextStamp()});
    row.Values = MakeRowValues(values);
    stored = row.Values;
}

void TNClientDataSet::StoreDelete(const TNRow& row)
{
    const qint64 key = row.Key.toLongLong();
    auto it = m_store.find(key);
    if (it == m_store.end())
        return;
    m_log.push_back({TUpdateKind::ukDelete, key, std::move(it->second), NextStamp()});
    m_store.erase(it);
}

void TNClientDataSet::Reload()
{
    if (m_reloadsHeld > 0) {
        m_reloadDue = true;
        return;
    }
    if (Active())
        Refresh();
}

TNClientDataSet::TNSavedState TNClientDataSet::SaveState() const
{
    return {m_store, m_log, m_nextKey, m_applyId, m_applying};
}

void TNClientDataSet::RestoreState(TNSavedState state)
{
    if (Active())
        Cancel();
    m_store = std::move(state.Store);
    m_log = std::move(state.Log);
    m_nextKey = state.NextKey;
    m_applyId = std::move(state.ApplyId);
    m_applying = std::move(state.Applying);
    Reload();
}

TNClientDataSet::TNStoredRowBatch::TNStoredRowBatch(TNClientDataSet& dataSet) : m_dataSet(dataSet)
{
    ++m_dataSet.m_reloadsHeld;
}

TNClientDataSet::TNStoredRowBatch::~TNStoredRowBatch()
{
    if (--m_dataSet.m_reloadsHeld > 0 || !m_dataSet.m_reloadDue)
        return;
    m_dataSet.m_reloadDue = false;
    try {
        m_dataSet.Reload();
    } catch (const std::exception& e) {
        // A destructor never throws; the rows shown stay as they were until
        // the next re-read.
        qWarning("TNStoredRowBatch: %s", e.what());
    }
}

void TNClientDataSet::UndoEntry(TLogEntry& entry)
{
    if (entry.Kind == TUpdateKind::ukInsert)
        m_store.erase(entry.Key);
    else
        m_store[entry.Key] = std::move(entry.Before);
}

void TNClientDataSet::SetSavePoint(qint64 point)
{
    if (point < 0 || point > LastStamp)
        Error(QStringLiteral("Invalid save point %1").arg(point));
    UndoWhere([point](qint64 stamp) { return stamp > point; });
}

void TNClientDataSet::UndoStamps(const QSet<qint64>& stamps)
{
    UndoWhere([&stamps](qint64 stamp) { return stamps.contains(stamp); });
}

void TNClientDataSet::UndoWhere(const std::function<bool(qint64 stamp)>& undo)
{
    Cancel();
    // Stamps grow along the log, except where an apply's answer put a row's
    // remaining change at the end: every later change of that row is in
    // that one entry, so undoing newest first by position stays right.
    bool undone = false;
    for (auto it = m_log.end(); it != m_log.begin();) {
        --it;
        if (!undo(it->Stamp))
            continue;
        UndoEntry(*it);
        it = m_log.erase(it);
        undone = true;
    }
    if (undone)
        Reload();
}

void TNClientDataSet::ForEachLogStamp(const std::function<void(qint64 key, qint64 stamp)>& visit) const
{
    for (const TLogEntry& entry : m_log)
        visit(entry.Key, entry.Stamp);
}

const std::vector<QVariant>* TNClientDataSet::LoadedValues(qint64 key) const
{
    for (const TLogEntry& entry : m_log)
        if (entry.Key == key)
            return entry.Kind == TUpdateKind::ukInsert || !entry.Before ? nullptr : entry.Before.get();
    return nullptr;
}

bool TNClientDataSet::RevertValueToLoaded(qint64 key, int column, bool logged)
{
    CheckBrowseMode();
    const std::vector<QVariant>* loaded = LoadedValues(key);
    const auto now = m_store.find(key);
    if (!loaded || now == m_store.end() || column < 0 || size_t(column) >= loaded->size() ||
        size_t(column) >= now->second->size())
        return false;
    const QVariant was = (*now->second)[size_t(column)];
    const QVariant value = (*loaded)[size_t(column)];
    if (SameStoredValue(was, value))
        return false;
    std::vector<QVariant> values = *now->second;
    values[size_t(column)] = value;
    if (logged) {
        m_log.push_back({TUpdateKind::ukModify, key, now->second, NextStamp()});
        now->second = MakeRowValues(std::move(values));
        Reload();
        return true;
    }
    const bool unchanged = SameValues(values, *loaded);
    now->second = MakeRowValues(std::move(values));
    for (TLogEntry& entry : m_log) {
        if (entry.Key != key || !entry.Before || size_t(column) >= entry.Before->size() ||
            !SameStoredValue((*entry.Before)[size_t(column)], was))
            continue;
        std::vector<QVariant> before = *entry.Before;
        before[size_t(column)] = value;
        entry.Before = MakeRowValues(std::move(before));
    }
    if (unchanged)
        MergeRowChanges(key);
    Reload();
    return true;
}

void TNClientDataSet::MergeChangeLog()
{
    m_log.clear();
}

std::vector<TNRowChange> TNClientDataSet::Delta() const
{
    // Per row: the first entry tells what the row was as loaded, the store
    // what it is now.
    std::vector<TNRowChange> changes;
    QSet<qint64> seen;
    for (const TLogEntry& entry : m_log) {
        if (seen.contains(entry.Key))
            continue;
        seen.insert(entry.Key);
        const auto now = m_store.find(entry.Key);
        const bool exists = now != m_store.end();
        TNRowChange change;
        change.RowKey = entry.Key;
        if (entry.Kind == TUpdateKind::ukInsert) {
            if (!exists)
                continue;  // inserted and deleted again
            change.Kind = TUpdateKind::ukInsert;
            change.NewValues = *now->second;
        } else {
            change.Kind = exists ? TUpdateKind::ukModify : TUpdateKind::ukDelete;
            change.OldValues = *entry.Before;
            if (exists)
                change.NewValues = *now->second;
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

void TNClientDataSet::SetPendingApply(QString id, std::vector<TNRowChange> changes)
{
    m_applyId = std::move(id);
    m_applying = std::move(changes);
    for (TNRowChange& change : m_applying) {
        if (!change.OldValues.empty())
            change.OldValues.resize(m_defs.size());
        if (!change.NewValues.empty())
            change.NewValues.resize(m_defs.size());
    }
}

void TNClientDataSet::ClearPendingApply()
{
    m_applyId.clear();
    m_applying.clear();
}

int TNClientDataSet::ChangeCount() const
{
    QHash<qint64, bool> rows;  // key -> counts
    for (const TLogEntry& entry : m_log) {
        if (!rows.contains(entry.Key))
            rows.insert(entry.Key, entry.Kind != TUpdateKind::ukInsert || m_store.count(entry.Key) > 0);
    }
    int count = 0;
    for (bool counts : std::as_const(rows))
        count += counts ? 1 : 0;
    return count;
}

void TNClientDataSet::ForEachStoredRowByKey(
    const std::function<void(qint64 key, const std::vector<QVariant>& values)>& visit) const
{
    for (const auto& [key, values] : m_store)
        visit(key, *values);
}

void TNClientDataSet::ForEachLogEntry(
    const std::function<void(TUpdateKind kind, qint64 key, const std::vector<QVariant>& before)>& visit) const
{
    static const std::vector<QVariant> none;
    for (const TLogEntry& entry : m_log)
        visit(entry.Kind, entry.Key, entry.Before ? *entry.Before : none);
}

void TNClientDataSet::LoadPacket(TNClientPacket packet)
{
    SetFieldDefs(std::move(packet.Defs));
    for (auto& [key, values] : packet.Rows) {
        values.resize(m_defs.size());
        m_store.emplace(key, MakeRowValues(std::move(values)));
    }
    // What a cache kept was done before anything of this run: one unit.
    const qint64 stamp = packet.Log.empty() ? 0 : NextStamp();
    for (TNClientPacket::TLogEntry& entry : packet.Log)
        m_log.push_back({entry.Kind, entry.Key,
                         entry.Kind == TUpdateKind::ukInsert ? nullptr : MakeRowValues(std::move(entry.Before)),
                         stamp});
    m_nextKey = std::max<qint64>(packet.NextKey, m_store.empty() ? 1 : m_store.rbegin()->first + 1);
    for (const TLogEntry& entry : m_log)
        m_nextKey = std::max(m_nextKey, entry.Key + 1);
    if (!packet.ApplyId.isEmpty())
        SetPendingApply(std::move(packet.ApplyId), std::move(packet.Applying));
    m_sourceId = std::move(packet.SourceId);
    m_tempIdFloor = packet.TempIdFloor;
    Open();
}

void TNClientDataSet::LoadData(std::vector<std::vector<QVariant>> rows)
{
    if (Active())
        Cancel();
    Close();
    m_store.clear();
    m_log.clear();
    ClearPendingApply();
    m_sourceId.clear();
    for (std::vector<QVariant>& values : rows) {
        values.resize(m_defs.size());
        m_store.emplace(m_nextKey++, MakeRowValues(std::move(values)));
    }
    // The emptied list goes before the dataset's rows are made.
    std::vector<std::vector<QVariant>>().swap(rows);
    Open();
}

void TNClientDataSet::ForEachStoredRow(const std::function<void(const std::vector<QVariant>&)>& visit) const
{
    for (const auto& entry : m_store)
        visit(*entry.second);
}

int TNClientDataSet::ReplaceFieldValue(const QString& field, const QVariant& from, const QVariant& to)
{
    return ReplaceFieldValues(field, {{from.toLongLong(), to.toLongLong()}});
}

int TNClientDataSet::ReplaceFieldValues(const QString& field, const QHash<qint64, qint64>& replacements)
{
    size_t index = m_defs.size();
    for (size_t i = 0; i < m_defs.size(); ++i)
        if (m_defs[i].Name.compare(field, Qt::CaseInsensitive) == 0)
            index = i;
    if (index == m_defs.size())
        Error(QStringLiteral("Field '%1' not found").arg(field));
    CheckBrowseMode();
    // Copy on write: the dataset's rows keep the old values until Reload.
    const auto replace = [&](TNRowValues& values) {
        if (!values || index >= values->size() || (*values)[index].isNull())
            return false;
        const auto found = replacements.constFind((*values)[index].toLongLong());
        if (found == replacements.constEnd())
            return false;
        std::vector<QVariant> changed = *values;
        changed[index] = QVariant::fromValue<qint64>(found.value());
        values = MakeRowValues(std::move(changed));
        return true;
    };
    int changed = 0;
    for (auto& entry : m_store)
        changed += replace(entry.second) ? 1 : 0;
    for (TLogEntry& entry : m_log)
        replace(entry.Before);
    if (changed > 0)
        Reload();
    return changed;
}

bool TNClientDataSet::FillEmptyValue(qint64 key, int column, const QVariant& value)
{
    if (column < 0 || size_t(column) >= m_defs.size())
        Error(QStringLiteral("No field %1").arg(column));
    CheckBrowseMode();
    // Copy on write: the dataset's rows keep the old values until Reload.
    const auto fill = [&](TNRowValues& values) {
        if (!values || size_t(column) >= values->size() || !(*values)[size_t(column)].isNull())
            return false;
        std::vector<QVariant> filled = *values;
        filled[size_t(column)] = value;
        values = MakeRowValues(std::move(filled));
        return true;
    };
    bool changed = false;
    if (const auto row = m_store.find(key); row != m_store.end())
        changed = fill(row->second);
    for (TLogEntry& entry : m_log)
        if (entry.Key == key && entry.Kind != TUpdateKind::ukInsert)
            changed = fill(entry.Before) || changed;
    for (TNRowChange& change : m_applying) {
        if (change.RowKey != key)
            continue;
        for (std::vector<QVariant>* values : {&change.OldValues, &change.NewValues})
            if (size_t(column) < values->size() && (*values)[size_t(column)].isNull()) {
                (*values)[size_t(column)] = value;
                changed = true;
            }
    }
    if (changed)
        Reload();
    return changed;
}

void TNClientDataSet::MergeRowChanges(qint64 key)
{
    CheckBrowseMode();
    m_log.erase(std::remove_if(m_log.begin(), m_log.end(), [key](const TLogEntry& e) { return e.Key == key; }),
                m_log.end());
}

void TNClientDataSet::MergeRowChanges(const QList<qint64>& keys)
{
    CheckBrowseMode();
    const QSet<qint64> merged(keys.cbegin(), keys.cend());
    m_log.erase(std::remove_if(m_log.begin(), m_log.end(), [&](const TLogEntry& e) { return merged.contains(e.Key); }),
                m_log.end());
}

void TNClientDataSet::RevertRow(qint64 key)
{
    CheckBrowseMode();
    for (auto it = m_log.rbegin(); it != m_log.rend(); ++it) {
        if (it->Key != key)
            continue;
        if (it->Kind == TUpdateKind::ukInsert)
            m_store.erase(key);
        else
            m_store[key] = it->Before;
    }
    MergeRowChanges(key);
    Reload();
}

void TNClientDataSet::RevertRowLogged(qint64 key)
{
    CheckBrowseMode();
    const auto first = std::find_if(m_log.cbegin(), m_log.cend(), [key](const TLogEntry& e) { return e.Key == key; });
    const auto now = m_store.find(key);
    if (first == m_log.cend() || now == m_store.end())
        return;
    if (first->Kind == TUpdateKind::ukInsert) {
        m_log.push_back({TUpdateKind::ukDelete, key, std::move(now->second), NextStamp()});
        m_store.erase(now);
    } else {
        const TNRowValues loaded = first->Before;
        m_log.push_back({TUpdateKind::ukModify, key, std::move(now->second), NextStamp()});
        now->second = loaded;
    }
    Reload();
}

void TNClientDataSet::SetStoredRow(qint64 key, std::vector<QVariant> values)
{
    CheckBrowseMode();
    values.resize(m_defs.size());
    m_store[key] = MakeRowValues(std::move(values));
    MergeRowChanges(key);
    Reload();
}

void TNClientDataSet::RemoveStoredRow(qint64 key)
{
    CheckBrowseMode();
    m_store.erase(key);
    MergeRowChanges(key);
    Reload();
}

void TNClientDataSet::RebaseRow(qint64 key, const std::vector<QVariant>* stored)
{
    CheckBrowseMode();
    // What is left of the row's changes is its latest change: a way back
    // to a point before that takes it back.
    qint64 stamp = 0;
    for (const TLogEntry& e : m_log)
        if (e.Key == key)
            stamp = std::max(stamp, e.Stamp);
    if (stamp == 0)
        stamp = NextStamp();
    m_log.erase(std::remove_if(m_log.begin(), m_log.end(), [key](const TLogEntry& e) { return e.Key == key; }),
                m_log.end());
    const auto now = m_store.find(key);
    if (!stored) {
        if (now != m_store.end())
            m_log.push_back({TUpdateKind::ukInsert, key, {}, stamp});
        return;
    }
    std::vector<QVariant> before = *stored;
    before.resize(m_defs.size());
    if (now == m_store.end())
        m_log.push_back({TUpdateKind::ukDelete, key, MakeRowValues(std::move(before)), stamp});
    else if (!SameValues(*now->second, before))
        m_log.push_back({TUpdateKind::ukModify, key, MakeRowValues(std::move(before)), stamp});
}
