#pragma once
// A cut waits for its paste. Cut takes the selected nodes out of the folder
// tree at once, but their Folders and FolderAssigns rows stay in the book
// until the cut is pasted: the paste writes the copies and deletes those
// rows in one transaction. So a program that ends before the paste, however
// it ends, loses nothing: the next start shows the cut nodes where they
// were.
//
// The cut nodes are held here, out of every tree, with the folder each was
// cut from, while the clipboard holds the snapshot that is pasted. The cut
// ends:
// - pasted (CutPasted): the held nodes are forgotten; the clipboard stays as
//   an ordinary copy;
// - replaced by another Cut or Copy, or the clipboard emptied (ReleaseCut):
//   the nodes go back where they were, nothing is written.
// Until then every load of the cut's book leaves its nodes out again
// (HideCutNodes), a folder a cut came from that is removed hands it on to
// its own parent (CutParentFolderDeleted), and a contact or group that is
// deleted leaves the clipboard and the cut with its held rows
// (ForgetRecordInClipboard).
// Main thread only.

#include "data/folderstreenode.h"

#include <QHash>
#include <QList>
#include <QString>

class QTreeWidget;

// The clipboard holds a cut that was not pasted yet.
bool CutPending();
// The names of the cut nodes: "Sales", "Sales, Ops" or "Sales, Ops, ...".
QString CutCaption();

// Takes the nodes (siblings or nested, of one book) out of the folder tree
// without touching their rows, and holds them as the cut. A cut held
// before is released first.
void HoldCut(const QList<TNTreeNode*>& nodes);
// The cut ends unpasted: each held node goes back under the folder it was
// cut from (sorted in), or, where that folder is not in the tree, is only
// forgotten (its rows are where they were).
void ReleaseCut();
// The cut is forgotten without going back (the tree is not there any more).
void DropCut();
// Inside the paste's writes: deletes the held nodes' rows; rows no longer
// there are passed over.
void DeleteCutRows();
// The paste succeeded: the held nodes are forgotten.
void CutPasted();

// A root of the cut's book was loaded (not in a tree yet, or in one): the
// cut's nodes among its loaded children leave again, writing nothing.
void HideCutNodes(TNTreeNode* root);
// Folder (still in the tree) is being deleted: a cut node that was cut from
// it now belongs to Folder's parent, in its row too.
void CutParentFolderDeleted(const TNTreeNode* folder);
// A contact, group or folder of the book is gone: its nodes leave the
// clipboard (contacts and groups) and the cut, the cut's row of it deleted
// unless RowsGone.
void ForgetRecordInClipboard(TNodeKind kind, qint32 id, TBaseDataClient* book, bool rowsGone);
// A temporary ID of a shared book became NewID: the held nodes follow.
void CutTempIdReplaced(TBaseDataClient* book, TNodeKind kind, qint32 tempId, qint32 newId);

// The address books that the clipboard's and the cut's nodes name, by GUID,
// taken before the books' clients are made anew.
QHash<TBaseDataClient*, QString> ClipboardBookGuids();
// After the clients were made anew: the clipboard and the cut name the new
// client of the same GUID. When a book is gone, the clipboard is emptied;
// a cut of it is dropped (its rows stay where they were in that book's
// file), and the operator is told so.
void RebindClipboardBooks(const QHash<TBaseDataClient*, QString>& guids);

// Whether the program may close now: with a cut pending the operator is
// asked first, naming it; Cancel keeps the program and the cut.
bool MayCloseWithCut();
