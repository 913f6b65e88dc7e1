#pragma once
// Changing the folder tree by hand: sibling names, new folders, in-place
// renames and removing nodes. Every change writes or deletes rows through
// the node rules of folderstree.h (AddChildNode, DeleteNode); the contacts
// and groups themselves stay in their book, only their placements change.
// Main thread only.

#include "data/folderstreenode.h"

#include <QList>
#include <QString>

class QTreeWidget;

// The first child of Parent of that kind whose caption equals Name, both
// with blanks and control characters trimmed (letter case counts).
TNTreeNode* FindChildByName(const TNTreeNode* parent, const QString& name, TNodeKind kind);
// "New Folder1", "New Folder2", ...: the first one no folder child of
// Parent has.
QString MakeNewFolderName(const TNTreeNode* parent);
// Adds a folder with a new name under Parent (writing its Folders row),
// sorts Parent's children and makes it visible. The pane then opens its
// name for editing.
TNTreeNode* AddNewFolder(TNTreeNode* parent);
// Expands Node's ancestors and scrolls the tree to it.
void MakeNodeVisible(TNTreeNode* node);
// Opens Node's caption for in-place editing in Tree, as a command does:
// EditAllowed is set around the request. False when the edit was refused.
bool StartEditingNode(QTreeWidget* tree, TNTreeNode* node);

// Delete the node with its subtree and rows.
void RemoveFolderNode(TNTreeNode* node);
void RemoveContactNode(TNTreeNode* node);
void RemoveGroupNode(TNTreeNode* node);
// Nodes listed without those below another listed node, whose deletion
// takes them already; address-book nodes are left out.
QList<TNTreeNode*> TopmostRemovableNodes(const QList<TNTreeNode*>& nodes);
// Removes the selected contacts, groups and folders (never a book), after
// "  Remove from Tree Confirmation" when Confirm is set; all in one
// transaction per book. A node whose ancestor is selected too goes once.
void RemoveSelectedNodes(QTreeWidget* tree, bool confirm);
// The books of the nodes, each once.
QList<TBaseDataClient*> BooksOf(const QList<TNTreeNode*>& nodes);
