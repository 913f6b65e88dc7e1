#pragma once
// The folder tree's selection and what is done with it: the selected nodes,
// whether they hold recipients, adding them to the recipient list, clearing
// the selection, and tidying a pop-up menu's separators.
// Main thread only.

#include "data/folderstreenode.h"

#include <QList>

class QAction;
class QTreeWidget;

// The selected nodes of the tree, in the tree's selection order.
QList<TNTreeNode*> SelectedNodes(const QTreeWidget* tree);
// The primary selected node: the current node when it is selected, else the
// first selected one; nullptr when nothing is selected.
TNTreeNode* SelectedNode(const QTreeWidget* tree);

// True when a selected node is a contact or group, or (with
// IncludeFolders) a selected folder or address book holds one at any depth.
bool SelectionHasRecipients(const QTreeWidget* tree, bool includeFolders);
// True when at most one node is selected or all have the first one's book.
bool SelectionInOneDatabase(const QTreeWidget* tree);
// Some selected node is an ancestor of Node.
bool SelectionContainsAncestorOf(const QTreeWidget* tree, const QTreeWidgetItem* node);
bool IsNodeSelected(const QTreeWidget* tree, const QTreeWidgetItem* node);
// Adds the selected contacts and groups, and every contact and group below a
// selected folder (pre-order), to RecipientList, which asks before adding a
// duplicate; with ClearListSelection the list's selection is cleared first.
// Address-book nodes contribute nothing. No list: nothing happens. The
// list takes them all in one go (TNRecipientList::AddNodes).
void AddSelectedToRecipients(const QTreeWidget* tree, bool clearListSelection);
// The same for the given nodes, in their order.
void AddNodesToRecipients(const QList<const TNTreeNode*>& nodes, bool clearListSelection);
// Clears the selection; a node being edited in place gets its edit
// cancelled and is selected again.
void ClearTreeSelection(QTreeWidget* tree);

// Hides the visible separators at the end of a menu (walking from the last
// entry back to the first visible entry that is not a separator).
void HideTrailingSeparators(const QList<QAction*>& actions);
// The same on shown states worked out beforehand: Shown holds one flag per
// entry of Actions and is cleared for the trailing separators.
void HideTrailingSeparators(const QList<QAction*>& actions, QList<bool>& shown);
