#pragma once
// The folder tree's model: loading every address book into the folder tree,
// the rows that nodes added to and deleted from the tree write and delete,
// the expanded folders kept in the local database's FoldersOpen table, and
// FoldersTreeState, the object whose methods the folder-tree pane hooks to
// its tree.
//
// Adding and deleting nodes of the folder tree goes through AddChildNode and
// DeleteNode, never through plain addChild/delete: those two run the row
// writes before the node joins or leaves the tree. Nodes of any other tree
// (the clipboard tree) and detached nodes never touch the database.
//
// Main thread only: the tree, its handlers and the datasets they use belong
// to the GUI thread.

#include "data/folderstreenode.h"
#include "data/folderstreerows.h"

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>

class QTreeWidget;
class QWidget;
class TNImageList;
class TSCGTreeView;

class TDummyObject : public QObject {
    Q_OBJECT
public:
    TDummyObject();
    ~TDummyObject() override;

    TNTreeNode* NodeUnderMouse = nullptr;
    TNTreeNode* EditingNode = nullptr;
    // While set, deleted nodes keep their rows.
    bool Reloading = false;
    // Set when the pane goes: deleted nodes touch neither children nor rows.
    bool Destroying = false;
    // While set, added nodes write no rows.
    bool Loading = false;
    bool EditAllowed = false;
    QPointer<TSCGTreeView> FolderTree;
    QPointer<QTreeWidget> ClipboardTree;
    // The snapshot of a drag, from its start to its end: a hidden tree of
    // the clipboard's form, made with the drag's first start (a child of
    // FolderTree, so it goes with it). A drag never uses the clipboard.
    QPointer<QTreeWidget> DragTree;
    QTreeWidget* EnsureDragTree();
    bool Dragging = false;
    TNTreeNode* DragSourceParent = nullptr;

    // Hooks the folder tree's double-click and mouse-down to the handlers
    // below and makes FolderTree and ClipboardTree the pane's trees. A new
    // pane starts with Destroying cleared.
    void AttachToForm(QWidget* form, TSCGTreeView* folderTree, QTreeWidget* clipboardTree);
    // The pane was shown: the tree is loaded anew.
    void FormShow();
    // The pane goes: the expanded folders are stored.
    void FormDestroy();

    // Sort order of two nodes (see TreeCompareNodes).
    static int TreeCompare(const TNTreeNode* node1, const TNTreeNode* node2);
    // A node entered the tree: unless Loading, a node of the folder tree
    // writes its row.
    void TreeAddition(TNTreeNode* node);
    void TreeMouseDown(const QPoint& viewportPos);
    // A double-click on a contact or group adds the selection to the
    // recipients.
    void TreeDblClick();

    // In-place editing (folderstreeedit.cpp). An edit request is allowed
    // only while EditAllowed is set (the commands that open an edit set it);
    // EditingNode remembers the node.
    void TreeEditing(TNTreeNode* node, bool& allowEdit);
    // An edit of a folder's name ended with S: an empty name or one a
    // sibling folder has is refused (S becomes the old caption, with a
    // warning for the sibling's name); a new name is written to the
    // Folders row, the caption set and the siblings sorted. Other nodes are
    // left alone. Raises the dataset's errors.
    void TreeEdited(TNTreeNode* node, QString& s);

    // Dragging folder-tree nodes (folderstreedrag.cpp). Start: the selection
    // goes to DragTree and the drag image is composed; false when the drag
    // carries nothing (nothing selected, or an address book).
    bool TreeStartDrag(QPixmap* image, QPoint* hotSpot);
    // Whether Target accepts the drop now: a folder or root of the dragged
    // nodes' book, not their own parent, not inside nor among them, and the
    // administrator role.
    bool TreeDragOver(const TNTreeNode* target) const;
    // The drop: the dragged snapshot is copied under Target in one
    // transaction, contacts and groups that no longer exist left out and
    // named in one warning; without Ctrl the dragged nodes whose copies
    // were kept are deleted (a move). Raises the dataset's errors (the tree
    // is reloaded then).
    void TreeDragDrop(TNTreeNode* target, bool ctrlDown);
    // After any drop or a cancelled drag: the drag's snapshot is emptied;
    // the clipboard keeps what it holds.
    void TreeEndDrag();
    // The node the mouse is over during an accepted drag (drawn
    // highlighted), or none.
    const TNTreeNode* DropTarget = nullptr;

    // A drag's items and the nodes they were copied from: a source node
    // that is deleted leaves its item with no Source. Whoever empties the
    // drag's tree forgets its items first (EmptyClipboard).
    void NoteClipboardItem(TNTreeNode* item);
    void ForgetClipboardItems();

    // The folder tree's image list: imglFoldersLarge or imglFoldersSmall
    // (indent 19 pixels); every node's icon follows.
    void SetLargeIcons();
    void SetSmallIcons();
    bool LargeIcons() const { return m_largeIcons; }
    // The icon of a node with these images in the current list (the
    // selected picture for the selected state); empty without image module.
    QIcon NodeIcon(int imageIndex, int selectedIndex);

    // Drops every reference to Node and the nodes below it (before it is
    // freed).
    void ForgetNode(const QTreeWidgetItem* node);
    void ForgetAllNodes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyImageList();

    bool m_largeIcons = false;
    const void* m_iconsOf = nullptr;      // the image module the cached icons came from
    const QObject* m_viewport = nullptr;  // the folder tree's viewport; compared, never followed
    QHash<int, QIcon> m_icons;            // by imageIndex * 256 + selectedIndex
    QHash<const QTreeWidgetItem*, TNTreeNode*> m_clipboardItemBySource;
};

// The one tree-state object, from program start to program end.
extern TDummyObject* const FoldersTreeState;

// --- loading and persistence
// Loads every address book of DataClients as a root node (sorted, expanded
// folders restored). Loading is set and the tree's painting suspended for
// the whole load and restored on every path; a dataset error propagates and
// the rest of the tree is not loaded.
void LoadFoldersTree(QTreeWidget* tree);
// Adds one address book's root node with its whole subtree.
TNTreeNode* LoadDatabaseNode(TBaseDataClient* client, QTreeWidget* tree);
// Adds the children of the kinds under Node (and, when Recursive, theirs),
// sorted. Loaded children write no rows.
void LoadChildNodes(TNTreeNode* node, TNodeKinds kinds, bool recursive);
// With Reloading set, removes every node (rows stay) and loads again; the
// clipboard keeps what it holds (its books' clients are the same), and a
// cut stays out of the tree (folderstreecut.h).
void ReloadFoldersTree(QTreeWidget* tree);
void RestoreExpandedFolders(TNTreeNode* root);
// Replaces every FoldersOpen row: per root the expanded folders of the
// folder tree (an expanded folder inside a collapsed one counts), and 0 when
// the root is expanded.
void SaveExpandedFolders();

// --- adding and deleting nodes of a tree
// Adds Node as the last child of Parent (or as a top-level node of Tree when
// Parent is null) and then runs TreeAddition. When writing the row fails,
// the node is taken out again and freed, and the error propagates.
TNTreeNode* AddChildNode(QTreeWidgetItem* parent, TNTreeNode* node, QTreeWidget* tree = nullptr);
// Deletes Node: unless Destroying, a node of the folder tree first deletes
// its children (last to first) and then, unless Reloading, its own row. When
// a row cannot be deleted the error propagates and Node stays in the tree.
void DeleteNode(TNTreeNode* node);
// Sorts the children of Node by TreeCompare, recursively when asked.
void SortChildNodes(QTreeWidgetItem* node, bool recursive);

// --- queries
// Descendants of Node in pre-order; with ExcludeFolders folders are skipped
// (their descendants are not). Appended to List when given; 0 for no node.
int GetDescendants(const TNTreeNode* node, QList<TNTreeNode*>* list, bool excludeFolders);
int GetDescendantsOfKinds(const TNTreeNode* node, TNodeKinds kinds, QList<TNTreeNode*>* list);

// Deletes every contact (group) node of the folder tree with this ID and
// address book, with its row, scanning from the last node to the first;
// the record also leaves the clipboard and a cut, with the cut's row.
void RemoveContactNodesFromTree(qint32 contactID, TBaseDataClient* client);
void RemoveGroupNodesFromTree(qint32 groupID, TBaseDataClient* client);
// The same for a record whose rows are gone already (placements included):
// the nodes leave the tree, the clipboard and a cut, and no row is written.
void ForgetItemNodesInTree(TNodeKind kind, qint32 id, TBaseDataClient* client);

// --- drawing
// The colours of a node: a selected root has white text; an unselected root
// that is not the drop target has DatabaseCaptionColor (0x00BBGGRR).
// Invalid colours mean the tree's own.
struct TNodeColors {
    QColor Text;
};
TNodeColors TreeCustomDrawItem(const TNTreeNode* node, bool selected, bool dropTarget);
QColor ColorFromBGR(quint32 bgr);
