#include "data/folderstree.h"
#include "data/folderstreesharedids.h"
#include "foundation/updatessuspension.h"

#include "data/basedataclient.h"
#include "data/dmlocaldata.h"
#include "data/folderstreecut.h"
#include "data/folderstreedrag.h"
#include "data/folderstreeload.h"
#include "data/folderstreeselection.h"
#include "data/regdataclients.h"
#include "foundation/dmoptions.h"
#include "foundation/images.h"
#include "foundation/scgtreeview.h"

#include <QMouseEvent>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {
TDummyObject FoldersTreeStateObject;

// Sets a flag for a scope and puts its previous value back on every path.
class TFlagScope {
public:
    TFlagScope(bool& flag, bool value) : m_flag(flag), m_previous(flag) { m_flag = value; }
    ~TFlagScope() { m_flag = m_previous; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& m_flag;
    bool m_previous;
};

// Suspends a tree's painting for a scope (begin-update / end-update).

bool IsInside(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor)
{
    for (; item; item = item->parent())
        if (item == ancestor)
            return true;
    return false;
}

void RemoveNodesOfItem(TNodeKind kind, qint32 id, TBaseDataClient* client)
{
    ForgetRecordInClipboard(kind, id, client, FoldersTreeState->Reloading);
    const QList<TNTreeNode*> nodes = AllNodes(FoldersTreeState->FolderTree);
    for (qsizetype i = nodes.size() - 1; i >= 0; --i) {
        TNTreeNode* node = nodes.at(i);
        if (node->Kind == kind && node->ID == id && node->Database == client)
            DeleteNode(node);
    }
}
}  // namespace

TDummyObject* const FoldersTreeState = &FoldersTreeStateObject;

TDummyObject::TDummyObject() = default;
TDummyObject::~TDummyObject() = default;

void TDummyObject::AttachToForm(QWidget* form, TSCGTreeView* folderTree, QTreeWidget* clipboardTree)
{
    Q_UNUSED(form);
    ForgetAllNodes();
    // A cut of an earlier pane named its books and tree.
    DropCut();
    FollowSharedTempIdsInFolderTree();
    Destroying = false;
    Dragging = false;
    FolderTree = folderTree;
    ClipboardTree = clipboardTree;
    if (DragTree)
        delete DragTree.data();
    if (!folderTree)
        return;
    m_viewport = folderTree->viewport();
    folderTree->viewport()->installEventFilter(this);
    connect(folderTree, &QTreeWidget::itemDoubleClicked, this, [this] { TreeDblClick(); });
    AttachTreeDragAndDrop(folderTree);
    ApplyImageList();
}

QTreeWidget* TDummyObject::EnsureDragTree()
{
    if (!DragTree && FolderTree) {
        DragTree = new QTreeWidget(FolderTree);
        DragTree->setObjectName(QStringLiteral("tvDragTree"));
        DragTree->setVisible(false);
    }
    return DragTree;
}

void TDummyObject::FormShow()
{
    if (FolderTree)
        ReloadFoldersTree(FolderTree);
}

void TDummyObject::FormDestroy()
{
    SaveExpandedFolders();
}

int TDummyObject::TreeCompare(const TNTreeNode* node1, const TNTreeNode* node2)
{
    return TreeCompareNodes(node1->Kind, node1->Caption(), node2->Kind, node2->Caption());
}

void TDummyObject::TreeAddition(TNTreeNode* node)
{
    if (Loading || !node || !FolderTree || node->treeWidget() != FolderTree)
        return;
    node->SaveToDatabase();
}

void TDummyObject::TreeMouseDown(const QPoint& viewportPos)
{
    NodeUnderMouse = FolderTree ? TNTreeNode::From(FolderTree->itemAt(viewportPos)) : nullptr;
}

void TDummyObject::TreeDblClick()
{
    if (NodeUnderMouse && (NodeUnderMouse->Kind == nkContact || NodeUnderMouse->Kind == nkGroup) && FolderTree)
        AddSelectedToRecipients(FolderTree, true);
}

bool TDummyObject::eventFilter(QObject* watched, QEvent* event)
{
    // Only mouse presses are looked at: other events also come while the
    // tree is being destroyed.
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        watched == m_viewport && FolderTree)
        TreeMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QObject::eventFilter(watched, event);
}

void TDummyObject::SetLargeIcons()
{
    m_largeIcons = true;
    ApplyImageList();
}

void TDummyObject::SetSmallIcons()
{
    m_largeIcons = false;
    ApplyImageList();
}

void TDummyObject::ApplyImageList()
{
    m_icons.clear();
    if (!FolderTree)
        return;
    if (!m_largeIcons)
        FolderTree->setIndentation(19);
    if (DataModuleImages)
        FolderTree->setIconSize(m_largeIcons ? DataModuleImages->imglFoldersLarge.IconSize()
                                             : DataModuleImages->imglFoldersSmall.IconSize());
    for (TNTreeNode* node : AllNodes(FolderTree))
        node->RefreshIcon();
}

QIcon TDummyObject::NodeIcon(int imageIndex, int selectedIndex)
{
    if (!DataModuleImages || imageIndex < 0) {
        m_icons.clear();
        return QIcon();
    }
    if (m_iconsOf != DataModuleImages) {
        m_icons.clear();
        m_iconsOf = DataModuleImages;
    }
    const int key = imageIndex * 256 + selectedIndex;
    auto found = m_icons.constFind(key);
    if (found != m_icons.constEnd())
        return *found;
    const TNImageList& list = m_largeIcons ? DataModuleImages->imglFoldersLarge : DataModuleImages->imglFoldersSmall;
    QIcon icon;
    if (selectedIndex < 0 || selectedIndex == imageIndex) {
        icon = list.Icon(imageIndex);
    } else {
        icon.addPixmap(list.Pixmap(imageIndex), QIcon::Normal);
        icon.addPixmap(list.Pixmap(selectedIndex), QIcon::Selected);
    }
    m_icons.insert(key, icon);
    return icon;
}

void TDummyObject::ForgetNode(const QTreeWidgetItem* node)
{
    if (IsInside(NodeUnderMouse, node))
        NodeUnderMouse = nullptr;
    if (IsInside(EditingNode, node))
        EditingNode = nullptr;
    if (IsInside(DragSourceParent, node))
        DragSourceParent = nullptr;
    if (IsInside(DropTarget, node))
        DropTarget = nullptr;
    if (!m_clipboardItemBySource.isEmpty())
        if (TNTreeNode* item = m_clipboardItemBySource.take(node))
            item->Source = nullptr;
}

void TDummyObject::NoteClipboardItem(TNTreeNode* item)
{
    if (item && item->Source)
        m_clipboardItemBySource.insert(item->Source, item);
}

void TDummyObject::ForgetClipboardItems()
{
    m_clipboardItemBySource.clear();
}

void TDummyObject::ForgetAllNodes()
{
    NodeUnderMouse = nullptr;
    EditingNode = nullptr;
    DragSourceParent = nullptr;
    DropTarget = nullptr;
    // The items are not followed: the clipboard may be gone already.
    m_clipboardItemBySource.clear();
}

void LoadFoldersTree(QTreeWidget* tree)
{
    // Both are put back on every path: an error half way must not leave
    // later additions writing no rows, nor the tree unpainted.
    TFlagScope loading(FoldersTreeState->Loading, true);
    TUpdatesSuspension updates(tree);
    for (int i = 0; i < DataClients.Count(); ++i)
        LoadDatabaseNode(DataClients.Items(i), tree);
}

TNTreeNode* LoadDatabaseNode(TBaseDataClient* client, QTreeWidget* tree)
{
    // The subtree is built and sorted before the root joins the tree, so the
    // view takes it in one insertion.
    auto root = std::make_unique<TNTreeNode>(client, nkDatabase, 0);
    const TNBookRows rows = ReadBookRows(client, nksAll);
    AddLoadedChildren(root.get(), rows, nksAll, true);
    HideCutNodes(root.get());
    TNTreeNode* node = root.release();
    tree->addTopLevelItem(node);
    RestoreExpandedFolders(node);
    return node;
}

void LoadChildNodes(TNTreeNode* node, TNodeKinds kinds, bool recursive)
{
    if (!node || !node->Database || (kinds & nksAll) == 0)
        return;
    const bool hadChildren = node->childCount() > 0;
    const TNBookRows rows = ReadBookRows(node->Database, kinds);
    AddLoadedChildren(node, rows, kinds, recursive);
    if (hadChildren)
        SortChildNodes(node, false);
}

void ReloadFoldersTree(QTreeWidget* tree)
{
    TFlagScope reloading(FoldersTreeState->Reloading, true);
    FoldersTreeState->ForgetAllNodes();
    tree->clear();
    LoadFoldersTree(tree);
}

void RestoreExpandedFolders(TNTreeNode* root)
{
    if (!root || !DModLocalData)
        return;
    QList<qint32> ids;
    DModLocalData->LoadOpenFolders(root->DatabaseGUID, ids);
    const QSet<qint32> open(ids.cbegin(), ids.cend());
    root->setExpanded(open.contains(0));
    QList<TNTreeNode*> folders;
    GetDescendantsOfKinds(root, nksFolders, &folders);
    for (TNTreeNode* folder : std::as_const(folders))
        folder->setExpanded(open.contains(folder->ID));
}

void SaveExpandedFolders()
{
    if (!DModLocalData)
        return;
    DModLocalData->ClearOpenFolders();
    QTreeWidget* tree = FoldersTreeState->FolderTree;
    if (!tree)
        return;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const TNTreeNode* root = TNTreeNode::From(tree->topLevelItem(i));
        if (!root)
            continue;
        QList<TNTreeNode*> folders;
        GetDescendantsOfKinds(root, nksFolders, &folders);
        QList<qint32> ids;
        for (const TNTreeNode* folder : std::as_const(folders))
            if (folder->isExpanded())
                ids.append(folder->ID);
        if (root->isExpanded())
            ids.append(0);
        DModLocalData->SaveOpenFolders(root->DatabaseGUID, ids);
    }
}

TNTreeNode* AddChildNode(QTreeWidgetItem* parent, TNTreeNode* node, QTreeWidget* tree)
{
    std::unique_ptr<TNTreeNode> owned(node);
    if (parent)
        parent->addChild(node);
    else if (tree)
        tree->addTopLevelItem(node);
    try {
        FoldersTreeState->TreeAddition(node);
    } catch (...) {
        // No row was written: the node leaves again without touching the
        // database (the unique_ptr frees it, which takes it out of the tree).
        FoldersTreeState->ForgetNode(node);
        throw;
    }
    return owned.release();
}

void DeleteNode(TNTreeNode* node)
{
    if (!node)
        return;
    TDummyObject& state = *FoldersTreeState;
    if (!state.Destroying && state.FolderTree && node->treeWidget() == state.FolderTree) {
        for (int i = node->childCount() - 1; i >= 0; --i) {
            if (TNTreeNode* child = node->ChildNode(i))
                DeleteNode(child);
            else
                delete node->child(i);
        }
        if (!state.Reloading) {
            node->DeleteFromDatabase();
            CutParentFolderDeleted(node);
        }
    }
    state.ForgetNode(node);
    delete node;
}

void SortChildNodes(QTreeWidgetItem* node, bool recursive)
{
    if (!node)
        return;
    if (node->treeWidget()) {
        node->sortChildren(0, Qt::AscendingOrder);
    } else {
        QList<QTreeWidgetItem*> children = node->takeChildren();
        std::stable_sort(children.begin(), children.end(),
                         [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return *a < *b; });
        node->addChildren(children);
    }
    if (recursive)
        for (int i = 0; i < node->childCount(); ++i)
            SortChildNodes(node->child(i), true);
}

namespace {
int CollectDescendants(const QTreeWidgetItem* node, const std::function<bool(const TNTreeNode*)>& keep,
                       QList<TNTreeNode*>* list)
{
    int count = 0;
    for (int i = 0; i < node->childCount(); ++i) {
        TNTreeNode* child = TNTreeNode::From(node->child(i));
        if (!child)
            continue;
        if (keep(child)) {
            ++count;
            if (list)
                list->append(child);
        }
        count += CollectDescendants(child, keep, list);
    }
    return count;
}
}  // namespace

int GetDescendants(const TNTreeNode* node, QList<TNTreeNode*>* list, bool excludeFolders)
{
    if (!node)
        return 0;
    return CollectDescendants(
        node, [excludeFolders](const TNTreeNode* n) { return !(excludeFolders && n->Kind == nkFolder); }, list);
}

int GetDescendantsOfKinds(const TNTreeNode* node, TNodeKinds kinds, QList<TNTreeNode*>* list)
{
    if (!node)
        return 0;
    return CollectDescendants(
        node, [kinds](const TNTreeNode* n) { return KindInSet(n->Kind, kinds); }, list);
}

void RemoveContactNodesFromTree(qint32 contactID, TBaseDataClient* client)
{
    RemoveNodesOfItem(nkContact, contactID, client);
}

void RemoveGroupNodesFromTree(qint32 groupID, TBaseDataClient* client)
{
    RemoveNodesOfItem(nkGroup, groupID, client);
}

void ForgetItemNodesInTree(TNodeKind kind, qint32 id, TBaseDataClient* client)
{
    // The rows went already: the nodes go as in a reload, writing nothing.
    TFlagScope reloading(FoldersTreeState->Reloading, true);
    RemoveNodesOfItem(kind, id, client);
}

QColor ColorFromBGR(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

TNodeColors TreeCustomDrawItem(const TNTreeNode* node, bool selected, bool dropTarget)
{
    TNodeColors colors;
    if (!node || node->Kind != nkDatabase)
        return colors;
    if (selected)
        colors.Text = QColor(Qt::white);
    else if (!dropTarget)
        colors.Text = ColorFromBGR(DatabaseCaptionColor);
    return colors;
}
