#include "data/folderstreerows.h"

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
    TNDataSetStateGuard guard(dataSet);
    if (!dataSet->Locate(QStringLiteral("ID"), id))
        return false;
    dataSet->Edit();
    dataSet->FieldByName(QStringLiteral("Name"))->SetAsString(name);
    dataSet->Post();
    return true;
}
