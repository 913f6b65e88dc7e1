#pragma once
// TNTreeNode: one node of the folder tree. A root node stands for an address
// book, a folder node for a Folders row, a contact or group node for one
// FolderAssigns row (a contact in three folders is three nodes).
//
// Nodes are QTreeWidgetItems; the tree widget owns them. A node in the
// folder tree mirrors a row: adding it through AddChildNode writes the row
// and DeleteNode deletes it (folderstree.h). Both are explicit operations
// that run before the node joins or leaves the tree; the destructor itself
// never touches the database. Main thread only.

#include "data/nodekind.h"

#include <QList>
#include <QString>
#include <QTreeWidgetItem>

class TBaseDataClient;
class QTreeWidget;

// A set of node kinds as a bit mask: bit 0 contacts, bit 1 groups, bit 2
// folders.
using TNodeKinds = quint8;
constexpr TNodeKinds nksContacts = 0x1;
constexpr TNodeKinds nksGroups = 0x2;
constexpr TNodeKinds nksFolders = 0x4;
constexpr TNodeKinds nksAll = 0x7;
inline bool KindInSet(TNodeKind kind, TNodeKinds kinds)
{
    return kind <= nkFolder && (kinds & (1u << kind)) != 0;
}

// "Contact", "Group", "Folder", "Database"; any other value "No such kind".
QString NodeKindToStr(int kind);

// The tree's order of two siblings: a higher kind first (address book,
// folder, group, contact), then captions compared without regard to the
// case of the letters A to Z (other characters by their code), a prefix
// before the longer text. Negative, 0 or positive.
int TreeCompareNodes(TNodeKind kind1, const QString& caption1, TNodeKind kind2, const QString& caption2);

class TNTreeNode : public QTreeWidgetItem {
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;

    // Own fields zero, false or empty: a contact node of no address book.
    TNTreeNode();
    // A node of the kind with the kind's images and default caption ("New
    // Contact", "New Group", "New Folder"); a root takes the client's name
    // and GUID and image 6 (the built-in "Local Database") or 7.
    TNTreeNode(TBaseDataClient* database, TNodeKind kind, qint32 id);

    // The node behind an item of a folder tree (nullptr for anything else).
    static TNTreeNode* From(QTreeWidgetItem* item);
    static const TNTreeNode* From(const QTreeWidgetItem* item);

    qint32 ID = 0;
    TNodeKind Kind = nkContact;
    bool Copied = false;
    TNTreeNode* Source = nullptr;         // the node this one was copied from; not owned
    TBaseDataClient* Database = nullptr;  // not owned
    QString DatabaseGUID;                 // root nodes only

    // Same ID, kind and address book: two placements of one item.
    bool IsSameItem(const TNTreeNode* other) const;
    // Caption, images and ID, kind and address book of Source; Source := it.
    void Assign(const TNTreeNode& source);

    QString Caption() const { return text(0); }
    void SetCaption(const QString& caption) { setText(0, caption); }
    int ImageIndex() const { return m_imageIndex; }
    int SelectedIndex() const { return m_selectedIndex; }
    // Sets both indices and the icon from the tree's current image list.
    void SetImages(int imageIndex, int selectedIndex);
    // Shows the icon of the current image list again (after a switch).
    void RefreshIcon();

    TNTreeNode* ParentNode() const { return From(parent()); }
    TNTreeNode* ChildNode(int index) const { return From(child(index)); }

    // Writes the node's row (see TreeAddition): a folder takes the new row's
    // ID. Raises the dataset's errors.
    void SaveToDatabase();
    // Deletes the node's row; raises EDataError "Can' find ... in the
    // database" when there is none.
    void DeleteFromDatabase();
    // The other nodes of the same tree, in the tree's order, for which
    // IsSameItem holds; appended to List when given.
    int FindClones(QList<TNTreeNode*>* list) const;

    // The sibling rule (folderstreeedit.cpp): a contact or group may stand
    // once in a folder; a folder may share its name with no sibling. A
    // folder of a taken name is numbered "Name (1)", "Name (2)"... instead
    // (its Folders row takes the new name too); anything else refused gets
    // a warning box. Callers pass false.
    bool CheckUnique(bool recursing);
    // Every other placement of the same item takes this node's caption, and
    // the children of its parent are sorted again.
    void RenameClones();

    // The tree's sort order (TreeCompareNodes).
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    int m_imageIndex = -1;
    int m_selectedIndex = -1;
};

// Deletes the row of a node of this kind and ID standing in folder ParentID
// (a folder: its Folders row), through the operation's delete batch when
// one is open. A row that is not there raises EDataError when MustExist,
// else it is passed over.
void DeleteNodeRow(TBaseDataClient* book, TNodeKind kind, qint32 id, qint32 parentID, bool mustExist);
// The row of such a node takes NewParentID as its folder (a folder: as its
// ParentID); a row that is not there is passed over.
void MoveNodeRow(TBaseDataClient* book, TNodeKind kind, qint32 id, qint32 parentID, qint32 newParentID);

// Every node of a tree in pre-order (each node, then its subtree).
QList<TNTreeNode*> AllNodes(const QTreeWidget* tree);
