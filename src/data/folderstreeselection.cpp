#include "data/folderstreeselection.h"

#include "data/folderstree.h"
#include "data/recipients.h"
#include "foundation/actionstate.h"

#include <QAction>
#include <QTreeWidget>
#include <algorithm>

QList<TNTreeNode*> SelectedNodes(const QTreeWidget* tree)
{
    QList<TNTreeNode*> nodes;
    if (!tree)
        return nodes;
    for (QTreeWidgetItem* item : tree->selectedItems())
        if (TNTreeNode* node = TNTreeNode::From(item))
            nodes.append(node);
    return nodes;
}

TNTreeNode* SelectedNode(const QTreeWidget* tree)
{
    if (!tree)
        return nullptr;
    QTreeWidgetItem* current = tree->currentItem();
    if (current && current->isSelected())
        return TNTreeNode::From(current);
    const QList<TNTreeNode*> nodes = SelectedNodes(tree);
    return nodes.isEmpty() ? nullptr : nodes.first();
}

bool SelectionHasRecipients(const QTreeWidget* tree, bool includeFolders)
{
    for (const TNTreeNode* node : SelectedNodes(tree)) {
        if (node->Kind == nkContact || node->Kind == nkGroup)
            return true;
        if (includeFolders && GetDescendantsOfKinds(node, nksContacts | nksGroups, nullptr) > 0)
            return true;
    }
    return false;
}

bool SelectionInOneDatabase(const QTreeWidget* tree)
{
    const QList<TNTreeNode*> nodes = SelectedNodes(tree);
    for (const TNTreeNode* node : nodes)
        if (node->Database != nodes.first()->Database)
            return false;
    return true;
}

bool SelectionContainsAncestorOf(const QTreeWidget* tree, const QTreeWidgetItem* node)
{
    if (!node)
        return false;
    for (const QTreeWidgetItem* up = node->parent(); up; up = up->parent())
        if (up->isSelected() && up->treeWidget() == tree)
            return true;
    return false;
}

bool IsNodeSelected(const QTreeWidget* tree, const QTreeWidgetItem* node)
{
    return node && node->treeWidget() == tree && node->isSelected();
}

namespace {
TNRecipientNode RecipientNodeOf(const TNTreeNode* node)
{
    TNRecipientNode item;
    item.Kind = node->Kind;
    item.ID = node->ID;
    item.Database = node->Database;
    item.Caption = node->Caption();
    item.ImageIndex = node->ImageIndex();
    item.Node = node;
    return item;
}
}  // namespace

void AddNodesToRecipients(const QList<const TNTreeNode*>& nodes, bool clearListSelection)
{
    if (!RecipientList)
        return;
    if (clearListSelection)
        RecipientList->ClearSelection();
    // The nodes are read first and all at once: answering a duplicate
    // question runs the event loop, and the tree must not change under the
    // walk; the list takes them in one go.
    QList<TNRecipientNode> items;
    for (const TNTreeNode* node : nodes) {
        if (node->Kind == nkContact || node->Kind == nkGroup) {
            items << RecipientNodeOf(node);
        } else if (node->Kind == nkFolder) {
            QList<TNTreeNode*> below;
            GetDescendantsOfKinds(node, nksContacts | nksGroups, &below);
            items.reserve(items.size() + below.size());
            for (const TNTreeNode* n : std::as_const(below))
                items << RecipientNodeOf(n);
        }
    }
    if (!items.isEmpty())
        RecipientList->AddNodes(items);
}

void AddSelectedToRecipients(const QTreeWidget* tree, bool clearListSelection)
{
    const QList<TNTreeNode*> selected = SelectedNodes(tree);
    AddNodesToRecipients(QList<const TNTreeNode*>(selected.cbegin(), selected.cend()), clearListSelection);
}

void ClearTreeSelection(QTreeWidget* tree)
{
    if (!tree)
        return;
    tree->clearSelection();
    TNTreeNode* editing = FoldersTreeState->EditingNode;
    // An open in-place editor cancels itself on Esc; the node it edits stays
    // selected.
    if (editing && editing->treeWidget() == tree)
        editing->setSelected(true);
    FoldersTreeState->EditingNode = nullptr;
}

void HideTrailingSeparators(const QList<QAction*>& actions, QList<bool>& shown)
{
    for (qsizetype i = std::min(actions.size(), shown.size()) - 1; i >= 0; --i) {
        if (!shown.at(i))
            continue;
        if (!actions.at(i)->isSeparator())
            return;
        shown[i] = false;
    }
}

void HideTrailingSeparators(const QList<QAction*>& actions)
{
    QList<bool> shown;
    for (const QAction* action : actions)
        shown << action->isVisible();
    HideTrailingSeparators(actions, shown);
    for (qsizetype i = 0; i < actions.size(); ++i)
        SetActionVisible(actions.at(i), shown.at(i));
}
