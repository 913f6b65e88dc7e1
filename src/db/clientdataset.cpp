#include "db/clientdataset.h"

#include <QDebug>
#include <QHash>
#include <QSet>
#include <algorithm>

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
}  // namespace

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
    m_log.push_back({TUpdateKind::ukInsert, key, nullptr});
}

void TNClientDataSet::StoreUpdate(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>&)
{
    const qint64 key = row.Key.toLongLong();
    TNRowValues& stored = m_store[key];
    m_log.push_back({TUpdateKind::ukModify, key, stored ? stored : MakeRowValues({})});
    row.Values = MakeRowValues(values);
    stored = row.Values;
}

void TNClientDataSet::StoreDelete(const TNRow& row)
{
    const qint64 key = row.Key.toLongLong();
    auto it = m_store.find(key);
    if (it == m_store.end())
        return;
    m_log.push_back({TUpdateKind::ukDelete, key, std::move(it->second)});
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

void TNClientDataSet::SetSavePoint(int point)
{
    if (point < 0 || size_t(point) > m_log.size())
        Error(QStringLiteral("Invalid save point %1").arg(point));
    Cancel();
    if (size_t(point) == m_log.size())
        return;
    while (m_log.size() > size_t(point)) {
        TLogEntry& entry = m_log.back();
        if (entry.Kind == TUpdateKind::ukInsert)
            m_store.erase(entry.Key);
        else
            m_store[entry.Key] = std::move(entry.Before);
        m_log.pop_back();
    }
    Reload();
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
    for (TNClientPacket::TLogEntry& entry : packet.Log)
        m_log.push_back({entry.Kind, entry.Key,
                         entry.Kind == TUpdateKind::ukInsert ? nullptr : MakeRowValues(std::move(entry.Before))});
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
        m_log.push_back({TUpdateKind::ukDelete, key, std::move(now->second)});
        m_store.erase(now);
    } else {
        const TNRowValues loaded = first->Before;
        m_log.push_back({TUpdateKind::ukModify, key, std::move(now->second)});
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
    m_log.erase(std::remove_if(m_log.begin(), m_log.end(), [key](const TLogEntry& e) { return e.Key == key; }),
                m_log.end());
    const auto now = m_store.find(key);
    if (!stored) {
        if (now != m_store.end())
            m_log.push_back({TUpdateKind::ukInsert, key, {}});
        return;
    }
    std::vector<QVariant> before = *stored;
    before.resize(m_defs.size());
    if (now == m_store.end())
        m_log.push_back({TUpdateKind::ukDelete, key, MakeRowValues(std::move(before))});
    else if (!SameValues(*now->second, before))
        m_log.push_back({TUpdateKind::ukModify, key, MakeRowValues(std::move(before))});
}
