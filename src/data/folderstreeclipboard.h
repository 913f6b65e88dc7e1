#pragma once
// The folder tree's clipboard: a hidden tree (the pane's tvClipBoardTree,
// FoldersTreeState->ClipboardTree) that holds one root, "My RootNode", whose
// children are snapshots of the nodes that were copied or cut, each with its
// whole subtree. A drag takes its snapshot in a tree of its own
// (FoldersTreeState->DragTree) of the same form, so it never touches what
// the clipboard holds. Nodes of either never touch the database;
// pasting or dropping rebuilds the snapshot under a folder or root of the
// same address book, writing new rows (folders get new IDs) and refusing
// duplicates by the sibling rule (TNTreeNode::CheckUnique).
// Main thread only.

#include "data/folderstreenode.h"

#include <QList>
#include <QString>
#include <QStringList>

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

// Of the tree state's clipboard (and, ...Of, of another such tree: a drag's):
int GetClipboardContentKind();
int ContentKindOf(const QTreeWidget* clipboard);
// The image in imglForDragging of a content kind; -1 for nothing or any
// other value.
int ClipboardKindToImageIndex(int kind);
// "No Selection", the first item's caption, "a, b" or "a, b, ...".
void GetClipboardCaption(QString& text);
void CaptionOf(const QTreeWidget* clipboard, QString& text);
// The book common to every node below the root; none when the clipboard is
// empty or its nodes come from different books.
TBaseDataClient* GetClipboardDatabase();
TBaseDataClient* DatabaseOf(const QTreeWidget* clipboard);

// The selection of Tree (nothing selected: nothing happens) replaces the
// clipboard's content (a cut it held goes back, folderstreecut.h).
void CopySelectionToClipboard(QTreeWidget* tree, QTreeWidget* clipboard);
// Copies the children of Source, recursively, under Target (in the folder
// tree this writes their rows). A copy refused by the sibling rule is
// deleted again and its original's Copied cleared; a kept one sets it.
// Kept copies of Source's own children are appended to Kept when given.
void CopyNodes(TNTreeNode* source, TNTreeNode* target, bool flag, QList<TNTreeNode*>* kept = nullptr);
// Pastes the clipboard under the one selected folder or root of Tree, in
// one transaction, the kept copies selected afterwards; a cut's rows are
// deleted in the same transaction. Contacts and groups that no longer exist
// leave the clipboard and are named in one warning. False (nothing done)
// unless the clipboard holds something, exactly one node is selected and
// it is a folder or root; a root or folder of another book than the
// clipboard's is refused with a warning saying why. On an error the book
// is as it was and the clipboard (a cut too) is kept, for another try.
bool PasteFromClipboard(QTreeWidget* clipboard, QTreeWidget* tree);
// Removes the contacts and groups below Root whose records are no longer
// in their books' datasets; their descriptions ("Contact "Bob"") in order.
QStringList DropGoneRecords(TNTreeNode* root);
// One warning naming the records that were not pasted (Verb) because they
// no longer exist; nothing when there are none.
void TellGoneRecords(const QStringList& gone, const TBaseDataClient* book, const QString& verb);
// Copies the selection to the clipboard and takes it out of the tree (no
// question); its rows stay until it is pasted (folderstreecut.h).
void CutSelectionToClipboard(QTreeWidget* tree, QTreeWidget* clipboard);
// Deletes, in item order, the node each clipboard item was copied from
// (with OnlyCopied only where the item's copy was kept). A node that went
// already, with an earlier one holding it, is skipped.
void DeleteMovedOriginals(QTreeWidget* clipboard, bool onlyCopied);
// The Ctrl key is down at this moment.
bool IsCtrlDown();
