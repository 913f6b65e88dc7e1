#pragma once
// The folder tree's clipboard: a hidden tree (the pane's tvClipBoardTree,
// FoldersTreeState->ClipboardTree) that holds one root, "My RootNode", whose
// children are snapshots of the nodes that were copied, cut or dragged, each
// with its whole subtree. Nodes of the clipboard never touch the database;
// pasting or dropping rebuilds the snapshot under a folder or root of the
// same address book, writing new rows (folders get new IDs) and refusing
// duplicates by the sibling rule (TNTreeNode::CheckUnique).
// Main thread only.

#include "data/folderstreenode.h"

#include <QList>
#include <QString>

class QTreeWidget;

// What the clipboard holds, worked out from its nodes in pre-order.
enum TClipboardContentKind : int {
    ckNothing = 0,
    ckOneFolder = 1,
    ckOneContact = 2,
    ckContactsAndGroups = 3,  // several contacts and groups, or one group
    ckFolders = 4,            // several folders, no contact or group
    ckFoldersAndItems = 5,    // folders together with contacts or groups
};

// The clipboard's root, or none when it is empty.
TNTreeNode* ClipboardRoot(const QTreeWidget* clipboard);
// Empties the clipboard (its items forgotten by the tree state first).
void EmptyClipboard(QTreeWidget* clipboard);

// Of the tree state's clipboard:
int GetClipboardContentKind();
// The image in imglForDragging of a content kind; -1 for nothing or any
// other value.
int ClipboardKindToImageIndex(int kind);
// "No Selection", the first item's caption, "a, b" or "a, b, ...".
void GetClipboardCaption(QString& text);
// The book common to every node below the root; none when the clipboard is
// empty or its nodes come from different books.
TBaseDataClient* GetClipboardDatabase();

// The selection of Tree (nothing selected: nothing happens) replaces the
// clipboard's content.
void CopySelectionToClipboard(QTreeWidget* tree, QTreeWidget* clipboard);
// Copies the children of Source, recursively, under Target (in the folder
// tree this writes their rows). A copy refused by the sibling rule is
// deleted again and its original's Copied cleared; a kept one sets it.
// Kept copies of Source's own children are appended to Kept when given.
void CopyNodes(TNTreeNode* source, TNTreeNode* target, bool flag, QList<TNTreeNode*>* kept = nullptr);
// Pastes the clipboard under the one selected folder or root of Tree, in
// one transaction, the kept copies selected afterwards. False (nothing
// done) unless the clipboard holds something, exactly one node is selected
// and it is a folder or root of the clipboard's book.
bool PasteFromClipboard(QTreeWidget* clipboard, QTreeWidget* tree);
// Copies the selection to the clipboard and removes it from the tree (no
// question), in one transaction.
void CutSelectionToClipboard(QTreeWidget* tree, QTreeWidget* clipboard);
// Deletes, in item order, the node each clipboard item was copied from
// (with OnlyCopied only where the item's copy was kept). A node that went
// already, with an earlier one holding it, is skipped.
void DeleteMovedOriginals(QTreeWidget* clipboard, bool onlyCopied);
// The Ctrl key is down at this moment.
bool IsCtrlDown();
