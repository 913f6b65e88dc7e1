#include "data/folderstreerows.h"

#include "data/dataerror.h"
#include "data/datasetstate.h"
#include "db/dataset.h"

TNDataSetStateGuard::TNDataSetStateGuard(TNDataSet* dataSet) : m_dataSet(dataSet)
{
    SaveDataSetState(m_dataSet, true);
}

TNDataSetStateGuard::~TNDataSetStateGuard()
{
    try {
        if (m_dataSet->State() == TDataSetState::dsInsert || m_dataSet->State() == TDataSetState::dsEdit)
            m_dataSet->Cancel();
        RestoreDataSetState(m_dataSet);
    } catch (...) {
        // Nothing more can be done for the dataset here; the routine's own
        // error (if any) is the one the caller sees.
    }
}

namespace {
// The key is written only where the caller numbers rows itself (a shared
// book's temporary IDs); a database-numbered key is read-only.
void SetKey(TNDataSet* dataSet, qint32 id)
{
    TNField* key = dataSet->FieldByName(QStringLiteral("ID"));
    if (!key->ReadOnly())
        key->SetAsInteger(id);
}
}  // namespace

qint32 AppendFolderRecord(TNDataSet* dataSet, qint32 id, const QString& name, qint32 parentID)
{
    TNDataSetStateGuard guard(dataSet);
    dataSet->Append();
    SetKey(dataSet, id);
    dataSet->FieldByName(QStringLiteral("Name"))->SetAsString(name);
    dataSet->FieldByName(QStringLiteral("ParentID"))->SetAsInteger(parentID);
    dataSet->Post();
    return dataSet->FieldByName(QStringLiteral("ID"))->AsInteger();
}

void AppendFolderAssignRecord(TNDataSet* dataSet, qint32 id, qint32 folderID, qint32 groupID, qint32 contactID)
{
    TNDataSetStateGuard guard(dataSet);
    dataSet->Append();
    SetKey(dataSet, id);
    dataSet->FieldByName(QStringLiteral("FolderID"))->SetAsInteger(folderID);
    dataSet->FieldByName(QStringLiteral("GroupID"))->SetAsInteger(groupID);
    dataSet->FieldByName(QStringLiteral("ContactID"))->SetAsInteger(contactID);
    dataSet->Post();
}

bool DeleteLocatedRow(TNDataSet* dataSet, const QString& keyFields, const QVariant& keys)
{
    TNDataSetStateGuard guard(dataSet);
    if (!dataSet->Locate(keyFields, keys))
        return false;
    dataSet->Delete();
    return true;
}

bool RenameFolderRecord(TNDataSet* dataSet, qint32 id, const QString& name)
{
    return SetLocatedRowField(dataSet, QStringLiteral("ID"), id, QStringLiteral("Name"), name);
}

bool SetLocatedRowField(TNDataSet* dataSet, const QString& keyFields, const QVariant& keys, const QString& field,
                        const QVariant& value)
{
    TNDataSetStateGuard guard(dataSet);
    if (!dataSet->Locate(keyFields, keys))
        return false;
    dataSet->Edit();
    dataSet->FieldByName(field)->SetValue(value);
    dataSet->Post();
    return true;
}

namespace {
TNRowDeleteBatch* OpenBatch = nullptr;

quint64 PairKey(qint32 key1, qint32 key2)
{
    return (quint64(quint32(key1)) << 32) | quint32(key2);
}
}  // namespace

void TNRowDeleteBatch::Add(TNDataSet* dataSet, const QString& keyFields, qint32 key1, qint32 key2,
                           const QString& missingText)
{
    TSet* set = nullptr;
    for (TSet& s : m_sets)
        if (s.DataSet == dataSet && s.KeyFields == keyFields)
            set = &s;
    if (!set) {
        m_sets.append(TSet{dataSet, keyFields, {}, 0});
        set = &m_sets.last();
    }
    TKeyCount& count = set->Keys[PairKey(key1, key2)];
    ++count.Count;
    count.MissingText = missingText;
    ++set->Remaining;
}

void TNRowDeleteBatch::Flush()
{
    // Emptied first: a failure leaves nothing to delete twice.
    QList<TSet> sets;
    sets.swap(m_sets);
    for (TSet& set : sets)
        DeleteRows(set);
}

void TNRowDeleteBatch::DeleteRows(TSet& set)
{
    TNDataSet* dataSet = set.DataSet;
    TNDataSetStateGuard guard(dataSet);
    const QStringList names = set.KeyFields.split(QLatin1Char(';'));
    TNField* field1 = dataSet->FieldByName(names.value(0));
    TNField* field2 = names.size() > 1 ? dataSet->FieldByName(names.value(1)) : nullptr;
    // The rows are picked in one walk and deleted together.
    std::vector<TBookmark> picked;
    picked.reserve(size_t(set.Remaining));
    dataSet->DisableControls();
    try {
        for (dataSet->First(); !dataSet->Eof() && set.Remaining > 0; dataSet->Next()) {
            auto found = set.Keys.find(PairKey(field1->AsInteger(), field2 ? field2->AsInteger() : 0));
            if (found == set.Keys.end() || found->Count == 0)
                continue;
            --found->Count;
            --set.Remaining;
            picked.push_back(dataSet->GetBookmark());
        }
        dataSet->DeleteBookmarks(picked);
    } catch (...) {
        dataSet->EnableControls();
        throw;
    }
    dataSet->EnableControls();
    for (const TKeyCount& count : std::as_const(set.Keys))
        if (count.Count > 0 && !count.MissingText.isEmpty())
            throw EDataError(count.MissingText);
}

TNRowDeleteBatch* CurrentRowDeleteBatch()
{
    return OpenBatch;
}

TNRowDeleteBatchScope::TNRowDeleteBatchScope() : m_previous(OpenBatch)
{
    OpenBatch = &m_batch;
}

TNRowDeleteBatchScope::~TNRowDeleteBatchScope()
{
    OpenBatch = m_previous;
}
