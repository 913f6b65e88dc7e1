#include "data/folderstreecut.h"

#include "data/basedataclient.h"
#include "data/folderstree.h"
#include "data/folderstreeclipboard.h"
#include "data/regdataclients.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"

#include <QSet>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <vector>

namespace {
struct TCutItem {
    std::unique_ptr<TNTreeNode> Node;  // out of every tree, with its subtree
    qint32 ParentID = 0;               // the folder it was cut from; 0 the book's root
};

struct TCutHold {
    TBaseDataClient* Book = nullptr;
    QString BookGUID;
    QString BookName;
    std::vector<TCutItem> Items;
};

TCutHold Cut;

QString JoinedCaptions(const QStringList& captions)
{
    if (captions.size() <= 2)
        return captions.join(QStringLiteral(", "));
    return captions.first() + QStringLiteral(", ") + captions.at(1) + QStringLiteral(", ...");
}

// The folder node of that ID below Root (Root itself for 0), or none.
TNTreeNode* FindFolder(TNTreeNode* root, qint32 id)
{
    if (id == 0)
        return root;
    QList<TNTreeNode*> folders;
    GetDescendantsOfKinds(root, nksFolders, &folders);
    for (TNTreeNode* folder : std::as_const(folders))
        if (folder->ID == id)
            return folder;
    return nullptr;
}

TNTreeNode* FindBookRoot(const QString& guid)
{
    QTreeWidget* tree = FoldersTreeState->FolderTree;
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i) {
        TNTreeNode* root = TNTreeNode::From(tree->topLevelItem(i));
        if (root && root->Kind == nkDatabase && root->DatabaseGUID == guid)
            return root;
    }
    return nullptr;
}

TNTreeNode* FindChild(const QTreeWidgetItem* parent, TNodeKind kind, qint32 id)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        TNTreeNode* child = TNTreeNode::From(parent->child(i));
        if (child && child->Kind == kind && child->ID == id)
            return child;
    }
    return nullptr;
}

// Deletes the rows of Node and its subtree; Node stands in folder ParentID.
void DeleteHeldRows(const TNTreeNode* node, qint32 parentID)
{
    DeleteNodeRow(node->Database, node->Kind, node->ID, parentID, false);
    for (int i = 0; i < node->childCount(); ++i)
        if (const TNTreeNode* child = node->ChildNode(i))
            DeleteHeldRows(child, node->ID);
}

// Removes the nodes of the record below Node (not Node itself), deleting
// their rows unless RowsGone.
void ForgetBelow(TNTreeNode* node, TNodeKind kind, qint32 id, bool rowsGone)
{
    for (int i = node->childCount() - 1; i >= 0; --i) {
        TNTreeNode* child = node->ChildNode(i);
        if (!child)
            continue;
        if (child->Kind == kind && child->ID == id) {
            if (!rowsGone)
                DeleteHeldRows(child, node->ID);
            delete child;
        } else {
            ForgetBelow(child, kind, id, rowsGone);
        }
    }
}

void ForEachHeldNode(const std::function<void(TNTreeNode*)>& visit)
{
    for (TCutItem& item : Cut.Items) {
        visit(item.Node.get());
        QList<TNTreeNode*> below;
        GetDescendants(item.Node.get(), &below, false);
        for (TNTreeNode* node : std::as_const(below))
            visit(node);
    }
}

void ForEachClipboardNode(const std::function<void(TNTreeNode*)>& visit)
{
    if (TNTreeNode* root = ClipboardRoot(FoldersTreeState->ClipboardTree)) {
        QList<TNTreeNode*> below;
        GetDescendants(root, &below, false);
        for (TNTreeNode* node : std::as_const(below))
            visit(node);
    }
}
}  // namespace

bool CutPending()
{
    return !Cut.Items.empty();
}

QString CutCaption()
{
    QStringList captions;
    for (const TCutItem& item : Cut.Items)
        captions << item.Node->Caption();
    return JoinedCaptions(captions);
}

void HoldCut(const QList<TNTreeNode*>& nodes)
{
    ReleaseCut();
    QSet<const QTreeWidgetItem*> listed(nodes.cbegin(), nodes.cend());
    for (TNTreeNode* node : nodes) {
        TNTreeNode* parent = node->ParentNode();
        if (!parent || node->Kind == nkDatabase)
            continue;
        // A node below another cut node goes with that one.
        bool below = false;
        for (const QTreeWidgetItem* up = parent; up && !below; up = up->parent())
            below = listed.contains(up);
        if (below)
            continue;
        if (Cut.Items.empty()) {
            Cut.Book = node->Database;
            Cut.BookGUID = node->Database ? node->Database->GUID() : QString();
            Cut.BookName = node->Database ? node->Database->Name() : QString();
        }
        node->setSelected(false);
        FoldersTreeState->ForgetNode(node);
        parent->takeChild(parent->indexOfChild(node));
        Cut.Items.push_back({std::unique_ptr<TNTreeNode>(node), parent->ID});
    }
}

void ReleaseCut()
{
    std::vector<TCutItem> items;
    items.swap(Cut.Items);
    QSet<QTreeWidgetItem*> parents;
    TNTreeNode* root = FindBookRoot(Cut.BookGUID);
    for (TCutItem& item : items) {
        TNTreeNode* parent = root ? FindFolder(root, item.ParentID) : nullptr;
        if (!parent)
            continue;
        // Back as it was: its rows never went, so nothing is written.
        parent->addChild(item.Node.release());
        parents.insert(parent);
    }
    for (QTreeWidgetItem* parent : std::as_const(parents))
        SortChildNodes(parent, false);
    Cut.Book = nullptr;
}

void DropCut()
{
    Cut.Items.clear();
    Cut.Book = nullptr;
}

void DeleteCutRows()
{
    for (const TCutItem& item : Cut.Items)
        DeleteHeldRows(item.Node.get(), item.ParentID);
}

void CutPasted()
{
    DropCut();
}

void HideCutNodes(TNTreeNode* root)
{
    if (!CutPending() || !root || root->DatabaseGUID != Cut.BookGUID)
        return;
    for (const TCutItem& item : Cut.Items) {
        TNTreeNode* parent = FindFolder(root, item.ParentID);
        TNTreeNode* loaded = parent ? FindChild(parent, item.Node->Kind, item.Node->ID) : nullptr;
        if (!loaded)
            continue;
        FoldersTreeState->ForgetNode(loaded);
        delete loaded;
    }
}

void CutParentFolderDeleted(const TNTreeNode* folder)
{
    if (!CutPending() || !folder || folder->Kind != nkFolder || folder->Database != Cut.Book)
        return;
    const TNTreeNode* up = folder->ParentNode();
    const qint32 newParentID = up ? up->ID : 0;
    for (TCutItem& item : Cut.Items) {
        if (item.ParentID != folder->ID)
            continue;
        // Its rows would otherwise name a folder that is gone, and the cut
        // would be lost if the program ended before the paste.
        MoveNodeRow(Cut.Book, item.Node->Kind, item.Node->ID, item.ParentID, newParentID);
        item.ParentID = newParentID;
    }
}

void ForgetRecordInClipboard(TNodeKind kind, qint32 id, TBaseDataClient* book, bool rowsGone)
{
    if (CutPending() && book == Cut.Book) {
        for (auto it = Cut.Items.begin(); it != Cut.Items.end();) {
            TNTreeNode* node = it->Node.get();
            if (node->Kind == kind && node->ID == id) {
                if (!rowsGone)
                    DeleteHeldRows(node, it->ParentID);
                it = Cut.Items.erase(it);
                continue;
            }
            ForgetBelow(node, kind, id, rowsGone);
            ++it;
        }
    }
    // Clipboard folders carry IDs of their own; only records match.
    TNTreeNode* root = ClipboardRoot(FoldersTreeState->ClipboardTree);
    if (!root || (kind != nkContact && kind != nkGroup))
        return;
    QList<TNTreeNode*> gone;
    ForEachClipboardNode([&](TNTreeNode* node) {
        if (node->Kind == kind && node->ID == id && node->Database == book)
            gone.append(node);
    });
    for (TNTreeNode* node : std::as_const(gone))
        delete node;
    if (root->childCount() == 0)
        EmptyClipboard(FoldersTreeState->ClipboardTree);
}

void CutTempIdReplaced(TBaseDataClient* book, TNodeKind kind, qint32 tempId, qint32 newId)
{
    if (!CutPending() || book != Cut.Book)
        return;
    ForEachHeldNode([&](TNTreeNode* node) {
        if (node->Kind == kind && node->ID == tempId)
            node->ID = newId;
    });
    if (kind == nkFolder)
        for (TCutItem& item : Cut.Items)
            if (item.ParentID == tempId)
                item.ParentID = newId;
}

QHash<TBaseDataClient*, QString> ClipboardBookGuids()
{
    QHash<TBaseDataClient*, QString> guids;
    const auto note = [&guids](TNTreeNode* node) {
        if (node->Database && !guids.contains(node->Database))
            guids.insert(node->Database, node->Database->GUID());
    };
    ForEachClipboardNode(note);
    ForEachHeldNode(note);
    return guids;
}

void RebindClipboardBooks(const QHash<TBaseDataClient*, QString>& guids)
{
    bool lost = false;
    const auto rebind = [&](TNTreeNode* node) {
        if (!node->Database)
            return;
        TBaseDataClient* now = DataClients.FindByGUID(guids.value(node->Database));
        lost = lost || !now;
        node->Database = now;
    };
    // The cut first: emptying the clipboard would put it back.
    if (CutPending()) {
        Cut.Book = DataClients.FindByGUID(Cut.BookGUID);
        if (Cut.Book) {
            ForEachHeldNode(rebind);
        } else {
            // Nothing of it was deleted: it is still where it was in that book.
            const QString caption = CutCaption();
            const QString bookName = Cut.BookName;
            DropCut();
            MessageDlg(QStringLiteral("The cut \"%1\" was not pasted, and its address book \"%2\" is no longer "
                                      "open. It stays where it was cut from in that address book.")
                           .arg(caption, bookName),
                       TMsgDlgType::mtInformation, mbOK);
        }
    }
    lost = false;
    ForEachClipboardNode(rebind);
    if (lost)
        EmptyClipboard(FoldersTreeState->ClipboardTree);
}

bool MayCloseWithCut()
{
    if (!CutPending())
        return true;
    TMessageRequest request;
    request.Text = QStringLiteral(
                       "The cut \"%1\" has not been pasted. When Tovix 2 closes, it stays where it was cut "
                       "from in the address book \"%2\".\r\rClose anyway?")
                       .arg(CutCaption(), Cut.BookName);
    request.Type = TMsgDlgType::mtConfirmation;
    request.Buttons = mbOK | mbCancel;
    request.DefaultButton = mbCancel;
    request.Caption = QStringLiteral("  Cut Not Pasted");
    return ShowMessageRequest(request) == mbOK;
}
