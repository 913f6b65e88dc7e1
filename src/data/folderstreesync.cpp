#include "data/folderstreesync.h"

#include "data/folderstree.h"
#include "data/folderstreecut.h"
#include "data/folderstreeload.h"
#include "foundation/scgtreeview.h"

#include <QTreeWidget>

#include <QHash>
#include <vector>

namespace {
// Sets a flag of the tree state for a scope, on every path.
class TStateFlag {
public:
    TStateFlag(bool& flag) : m_flag(flag), m_previous(flag) { m_flag = true; }
    ~TStateFlag() { m_flag = m_previous; }
    TStateFlag(const TStateFlag&) = delete;
    TStateFlag& operator=(const TStateFlag&) = delete;

private:
    bool& m_flag;
    bool m_previous;
};

using TItemKey = QPair<int, qint32>;  // node kind, record ID

// The children Rows give Folder: kind, ID and caption, in no order.
std::vector<std::pair<TItemKey, QString>> RowChildren(const TNBookRows& rows, qint32 folder)
{
    std::vector<std::pair<TItemKey, QString>> children;
    for (const auto& [kind, byFolder] :
         {std::pair{nkFolder, &rows.FoldersByParent}, std::pair{nkGroup, &rows.GroupsByFolder},
          std::pair{nkContact, &rows.ContactsByFolder}})
        for (const TNBookRow& row : byFolder->value(folder))
            children.push_back({{int(kind), row.ID}, row.Name});
    return children;
}

void SyncChildren(TNTreeNode* node, const TNBookRows& rows)
{
    QHash<TItemKey, QList<QString>> wanted;  // as many captions as rows
    for (const auto& [key, caption] : RowChildren(rows, node->ID))
        wanted[key].append(caption);
    bool changed = false;
    std::vector<TNTreeNode*> kept;
    for (int i = node->childCount() - 1; i >= 0; --i) {
        TNTreeNode* child = node->ChildNode(i);
        if (!child)
            continue;
        QList<QString>& captions = wanted[{int(child->Kind), child->ID}];
        if (captions.isEmpty()) {
            DeleteNode(child);  // Reloading: its rows are gone already
            changed = true;
            continue;
        }
        const QString caption = captions.takeLast();
        if (!caption.isEmpty() && child->Caption() != caption) {
            child->SetCaption(caption);
            changed = true;
        }
        kept.push_back(child);
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        for (const QString& caption : it.value()) {
            auto* child = new TNTreeNode(node->Database, TNodeKind(it.key().first), it.key().second);
            child->SetCaption(caption);
            AddChildNode(node, child);  // Loading: no row written
            if (child->Kind == nkFolder)
                AddLoadedChildren(child, rows, nksAll, true);
            changed = true;
        }
    if (changed)
        SortChildNodes(node, false);
    for (TNTreeNode* child : kept)
        if (child->Kind == nkFolder)
            SyncChildren(child, rows);
}
}  // namespace

void SyncBookNodesWithRows(TBaseDataClient* book)
{
    QTreeWidget* tree = FoldersTreeState->FolderTree;
    if (!book || !tree)
        return;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        TNTreeNode* root = TNTreeNode::From(tree->topLevelItem(i));
        if (!root || root->Kind != nkDatabase || root->Database != book)
            continue;
        const TNBookRows rows = ReadBookRows(book, nksAll);
        TStateFlag loading(FoldersTreeState->Loading);
        TStateFlag reloading(FoldersTreeState->Reloading);
        SyncChildren(root, rows);
        // A cut waiting for its paste keeps its rows but not its nodes.
        HideCutNodes(root);
    }
}
