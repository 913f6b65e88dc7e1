#include "data/folderstreeload.h"

#include "data/basedataclient.h"
#include "data/datakinds.h"
#include "data/folderstreerows.h"
#include "db/dataset.h"

#include <algorithm>
#include <vector>

namespace {
void ReadFolders(TNDataSet* dataSet, TNBookRows& rows)
{
    TNDataSetStateGuard guard(dataSet);
    const TNField* id = dataSet->FieldByName(QStringLiteral("ID"));
    const TNField* name = dataSet->FieldByName(QStringLiteral("Name"));
    const TNField* parentID = dataSet->FieldByName(QStringLiteral("ParentID"));
    const int count = dataSet->RecordCount();
    for (int row = 0; row < count; ++row) {
        const qint32 folder = dataSet->RowValue(row, id).toInt();
        const qint32 parent = dataSet->RowValue(row, parentID).toInt();
        // ID 0 is the book's root and no folder is its own parent: such a
        // row (a damaged or foreign book) would make the folder its own
        // descendant and the load would never end. It is left out.
        if (folder == 0 || folder == parent)
            continue;
        rows.FoldersByParent[parent].append({folder, dataSet->RowValue(row, name).toString()});
    }
}

void ReadAssigns(TNDataSet* dataSet, TNodeKinds kinds, TNBookRows& rows)
{
    TNDataSetStateGuard guard(dataSet);
    const TNField* folderID = dataSet->FieldByName(QStringLiteral("FolderID"));
    const TNField* contactID = dataSet->FieldByName(QStringLiteral("ContactID"));
    const TNField* groupID = dataSet->FieldByName(QStringLiteral("GroupID"));
    const TNField* contactName = dataSet->FieldByName(QStringLiteral("FLContacts_Name"));
    const TNField* groupName = dataSet->FieldByName(QStringLiteral("FLGroups_Name"));
    const int count = dataSet->RecordCount();
    for (int row = 0; row < count; ++row) {
        const qint32 folder = dataSet->RowValue(row, folderID).toInt();
        if (kinds & nksContacts) {
            const QVariant contact = dataSet->RowValue(row, contactID);
            if (!contact.isNull() && contact.toInt() != NoneID)
                rows.ContactsByFolder[folder].append({contact.toInt(), dataSet->RowValue(row, contactName).toString()});
        }
        if (kinds & nksGroups) {
            const QVariant group = dataSet->RowValue(row, groupID);
            if (!group.isNull() && group.toInt() != NoneID)
                rows.GroupsByFolder[folder].append({group.toInt(), dataSet->RowValue(row, groupName).toString()});
        }
    }
}

// Nodes of one kind under one parent, sorted by caption (stable: equal
// captions keep the dataset's order).
void AppendSorted(std::vector<QTreeWidgetItem*>& out, TBaseDataClient* client, TNodeKind kind,
                  const QList<TNBookRow>* rows)
{
    if (!rows)
        return;
    const size_t first = out.size();
    for (const TNBookRow& row : *rows) {
        auto* node = new TNTreeNode(client, kind, row.ID);
        node->SetCaption(row.Name);
        out.push_back(node);
    }
    std::stable_sort(out.begin() + qsizetype(first), out.end(),
                     [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return *a < *b; });
}

const QList<TNBookRow>* Find(const QHash<qint32, QList<TNBookRow>>& hash, qint32 key)
{
    auto it = hash.constFind(key);
    return it == hash.constEnd() ? nullptr : &*it;
}
}  // namespace

TNBookRows ReadBookRows(TBaseDataClient* client, TNodeKinds kinds)
{
    TNBookRows rows;
    if (!client)
        return rows;
    ReadFolders(client->GetDataSet(dkFolders), rows);
    if (kinds & (nksContacts | nksGroups))
        ReadAssigns(client->GetDataSet(dkFolderAssigns), kinds, rows);
    return rows;
}

void AddLoadedChildren(TNTreeNode* node, const TNBookRows& rows, TNodeKinds kinds, bool recursive)
{
    // An explicit stack: deep nesting does not deepen the call stack. A
    // folder reached from the root cannot be its own ancestor (each row has
    // one parent), so the walk ends.
    std::vector<TNTreeNode*> pending{node};
    while (!pending.empty()) {
        TNTreeNode* parent = pending.back();
        pending.pop_back();
        std::vector<QTreeWidgetItem*> children;
        if (kinds & nksFolders)
            AppendSorted(children, parent->Database, nkFolder, Find(rows.FoldersByParent, parent->ID));
        const size_t folderCount = children.size();
        if (kinds & nksGroups)
            AppendSorted(children, parent->Database, nkGroup, Find(rows.GroupsByFolder, parent->ID));
        if (kinds & nksContacts)
            AppendSorted(children, parent->Database, nkContact, Find(rows.ContactsByFolder, parent->ID));
        parent->addChildren(QList<QTreeWidgetItem*>(children.begin(), children.end()));
        if (recursive)
            for (size_t i = 0; i < folderCount; ++i)
                pending.push_back(static_cast<TNTreeNode*>(children[i]));
    }
}
