#include "data/folderstreeclipboard.h"

#include "data/basedataclient.h"
#include "data/datakinds.h"
#include "data/folderstree.h"
#include "data/folderstreecut.h"
#include "data/folderstreeedit.h"
#include "data/folderstreeselection.h"
#include "data/folderstreewrites.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"
#include "platform/textutil.h"

#include <QGuiApplication>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>
#include <limits>

namespace {
// Folder copies in the clipboard write no row, so they would keep the
// book's temporary ID, which a local book gives as -1 for all of them: they
// take distinct negative numbers instead, never refused as the same item.
qint32 DistinctClipboardFolderID()
{
    static qint32 next = -2;
    const qint32 id = next;
    next = next == std::numeric_limits<qint32>::min() + 1 ? -2 : next - 1;
    return id;
}

// The keys and names among a folder's children, so that copying many nodes
// into one folder checks each against its siblings at once; the full
// sibling rule runs only where a clash is possible.
class TSiblingIndex {
public:
    explicit TSiblingIndex(const QTreeWidgetItem* parent)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (const TNTreeNode* child = TNTreeNode::From(parent->child(i)))
                Add(child);
    }
    void Add(const TNTreeNode* node)
    {
        m_keys.insert(Key(node));
        m_names.insert(TrimBlanksAndControls(node->Caption()));
    }
    bool MayClash(const TNTreeNode* node) const
    {
        if (m_keys.contains(Key(node)))
            return true;
        return node->Kind != nkContact && node->Kind != nkGroup &&
               m_names.contains(TrimBlanksAndControls(node->Caption()));
    }

private:
    static quint64 Key(const TNTreeNode* node) { return (quint64(node->Kind) << 32) | quint32(node->ID); }
    QSet<quint64> m_keys;
    QSet<QString> m_names;
};

bool InFolderTree(const QTreeWidgetItem* node)
{
    return FoldersTreeState->FolderTree && node->treeWidget() == FoldersTreeState->FolderTree;
}

TNTreeNode* CopyOf(const TNTreeNode* child, const TNTreeNode* target)
{
    TNTreeNode* copy;
    if (child->Kind == nkFolder) {
        qint32 id = target->Database ? target->Database->GetNextTempIDByKind(dkFolders) : -1;
        if (!InFolderTree(target))
            id = DistinctClipboardFolderID();
        copy = new TNTreeNode(target->Database, nkFolder, id);
        copy->SetCaption(child->Caption());
    } else {
        copy = new TNTreeNode();
        copy->Assign(*child);
    }
    copy->Source = const_cast<TNTreeNode*>(child);
    return copy;
}

// Walks the nodes below Node in pre-order; Visit returns false to stop.
template <typename Visit>
bool WalkBelow(const QTreeWidgetItem* node, Visit& visit)
{
    for (int i = 0; i < node->childCount(); ++i) {
        const TNTreeNode* child = TNTreeNode::From(node->child(i));
        if (child && (!visit(child) || !WalkBelow(child, visit)))
            return false;
    }
    return true;
}

TBaseDataClient* ClipboardDatabaseOf(const QTreeWidget* clipboard)
{
    const TNTreeNode* root = ClipboardRoot(clipboard);
    if (!root || root->childCount() == 0)
        return nullptr;
    TBaseDataClient* book = nullptr;
    bool first = true;
    bool mixed = false;
    auto visit = [&](const TNTreeNode* node) {
        if (first) {
            book = node->Database;
            first = false;
        } else if (node->Database != book) {
            mixed = true;
        }
        return !mixed;
    };
    WalkBelow(root, visit);
    return mixed ? nullptr : book;
}

void SelectKept(QTreeWidget* tree, const QList<TNTreeNode*>& kept)
{
    // The copies are siblings; one announcement instead of one per node.
    {
        const QSignalBlocker blocker(tree);
        for (TNTreeNode* node : kept)
            node->setSelected(true);
    }
    emit tree->itemSelectionChanged();
}
}  // namespace

TNTreeNode* ClipboardRoot(const QTreeWidget* clipboard)
{
    return clipboard && clipboard->topLevelItemCount() > 0 ? TNTreeNode::From(clipboard->topLevelItem(0)) : nullptr;
}

void EmptyClipboard(QTreeWidget* clipboard)
{
    // Emptied, the clipboard no longer holds a cut: it goes back.
    if (clipboard && clipboard == FoldersTreeState->ClipboardTree)
        ReleaseCut();
    FoldersTreeState->ForgetClipboardItems();
    if (clipboard)
        clipboard->clear();
}

int GetClipboardContentKind()
{
    return ContentKindOf(FoldersTreeState->ClipboardTree);
}

int ContentKindOf(const QTreeWidget* clipboard)
{
    static constexpr int Next[5][3] = {
        // contact, group, folder
        {2, 3, 1}, {5, 5, 4}, {3, 3, 5}, {3, 3, 5}, {5, 5, 4},
    };
    const TNTreeNode* root = ClipboardRoot(clipboard);
    if (!root)
        return ckNothing;
    int state = ckNothing;
    auto visit = [&state](const TNTreeNode* node) {
        if (node->Kind <= nkFolder)
            state = Next[state][node->Kind];
        return state != ckFoldersAndItems;
    };
    WalkBelow(root, visit);
    return state;
}

int ClipboardKindToImageIndex(int kind)
{
    switch (kind) {
        case ckOneFolder:
            return 1;
        case ckOneContact:
            return 0;
        case ckContactsAndGroups:
            return 3;
        case ckFolders:
            return 2;
        case ckFoldersAndItems:
            return 4;
        default:
            return -1;
    }
}

void GetClipboardCaption(QString& text)
{
    CaptionOf(FoldersTreeState->ClipboardTree, text);
}

void CaptionOf(const QTreeWidget* clipboard, QString& text)
{
    const int kind = ContentKindOf(clipboard);
    const TNTreeNode* root = ClipboardRoot(clipboard);
    const int items = root ? root->childCount() : 0;
    if (kind == ckNothing || items == 0) {
        text = QStringLiteral("No Selection");
        return;
    }
    text = root->child(0)->text(0);
    if (kind == ckOneFolder || kind == ckOneContact || items == 1)
        return;
    text += QStringLiteral(", ") + root->child(1)->text(0);
    if (items > 2)
        text += QStringLiteral(", ...");
}

TBaseDataClient* GetClipboardDatabase()
{
    return ClipboardDatabaseOf(FoldersTreeState->ClipboardTree);
}

TBaseDataClient* DatabaseOf(const QTreeWidget* clipboard)
{
    return ClipboardDatabaseOf(clipboard);
}

void CopySelectionToClipboard(QTreeWidget* tree, QTreeWidget* clipboard)
{
    const QList<TNTreeNode*> selected = SelectedNodes(tree);
    if (selected.isEmpty() || !clipboard)
        return;
    EmptyClipboard(clipboard);
    auto* root = new TNTreeNode();
    root->SetCaption(QStringLiteral("My RootNode"));
    clipboard->addTopLevelItem(root);
    // Only a drag follows its items' sources (to delete them after a move).
    const bool followSources = clipboard != FoldersTreeState->ClipboardTree;
    for (TNTreeNode* node : selected) {
        auto* item = new TNTreeNode();
        item->Assign(*node);
        root->addChild(item);
        item->setExpanded(node->isExpanded());
        CopyNodes(node, item, false);
        if (followSources)
            FoldersTreeState->NoteClipboardItem(item);
        else
            item->Source = nullptr;
    }
}

void CopyNodes(TNTreeNode* source, TNTreeNode* target, bool flag, QList<TNTreeNode*>* kept)
{
    TSiblingIndex siblings(target);
    for (int i = 0; i < source->childCount(); ++i) {
        TNTreeNode* child = source->ChildNode(i);
        if (!child)
            continue;
        TNTreeNode* copy = AddChildNode(target, CopyOf(child, target));
        const bool accepted = !siblings.MayClash(copy) || copy->CheckUnique(false);
        child->Copied = accepted;
        if (!accepted) {
            DeleteNode(copy);
            continue;
        }
        siblings.Add(copy);
        if (kept)
            kept->append(copy);
        CopyNodes(child, copy, flag, nullptr);
        if (child->isExpanded())
            copy->setExpanded(true);
    }
}

bool PasteFromClipboard(QTreeWidget* clipboard, QTreeWidget* tree)
{
    TNTreeNode* root = ClipboardRoot(clipboard);
    const QList<TNTreeNode*> selected = SelectedNodes(tree);
    if (!root || root->childCount() == 0 || selected.size() != 1)
        return false;
    TNTreeNode* target = selected.first();
    if (target->Kind != nkFolder && target->Kind != nkDatabase)
        return false;
    // Rows of one book name contacts, groups and folders of that book only.
    TBaseDataClient* book = ClipboardDatabaseOf(clipboard);
    if (book != target->Database) {
        MessageDlg(QStringLiteral("The clipboard holds \"%1\" of the address book \"%2\": it can be pasted only into "
                                  "that address book, not into \"%3\".")
                       .arg(root->child(0)->text(0), book ? book->Name() : QString(),
                            target->Database ? target->Database->Name() : QString()),
                   TMsgDlgType::mtWarning, mbOK);
        return false;
    }
    const QStringList gone = DropGoneRecords(root);
    const bool pastingCut = clipboard == FoldersTreeState->ClipboardTree && CutPending();
    if (root->childCount() > 0) {
        RunTreeWrites(
            {target->Database},
            [&] {
                target->setSelected(false);
                QList<TNTreeNode*> kept;
                CopyNodes(root, target, true, &kept);
                // A cut's rows go with the paste, in its transaction.
                if (pastingCut)
                    DeleteCutRows();
                // The rest of the target's subtree is in order already.
                SortChildNodes(target, false);
                for (TNTreeNode* copy : std::as_const(kept))
                    SortChildNodes(copy, true);
                SelectKept(tree, kept);
            },
            true);
        if (pastingCut)
            CutPasted();
        // The pasted nodes are shown.
        target->setExpanded(true);
    }
    TellGoneRecords(gone, book, QStringLiteral("pasted"));
    return true;
}

QStringList DropGoneRecords(TNTreeNode* root)
{
    QStringList gone;
    QList<TNTreeNode*> records;
    auto visit = [&records](const TNTreeNode* node) {
        if ((node->Kind == nkContact || node->Kind == nkGroup) && node->Database)
            records.append(const_cast<TNTreeNode*>(node));
        return true;
    };
    WalkBelow(root, visit);
    // Each book's IDs are read once.
    QHash<QPair<TBaseDataClient*, int>, QSet<qint32>> ids;
    for (TNTreeNode* node : std::as_const(records)) {
        const TDataKind kind = node->Kind == nkContact ? dkContacts : dkGroups;
        const QPair<TBaseDataClient*, int> key{node->Database, kind};
        if (!ids.contains(key))
            ids.insert(key, node->Database->GetRecordIDs(kind));
        if (ids.value(key).contains(node->ID))
            continue;
        gone << QStringLiteral("%1 \"%2\"").arg(NodeKindToStr(node->Kind), node->Caption());
        FoldersTreeState->ForgetNode(node);
        delete node;
    }
    return gone;
}

void TellGoneRecords(const QStringList& gone, const TBaseDataClient* book, const QString& verb)
{
    if (gone.isEmpty())
        return;
    constexpr qsizetype Lines = 20;
    QString text = QStringLiteral("These were not %1: they no longer exist in the address book \"%2\":\r")
                       .arg(verb, book ? book->Name() : QString());
    for (qsizetype i = 0; i < std::min(gone.size(), Lines); ++i)
        text += QStringLiteral("\r") + gone.at(i);
    if (gone.size() > Lines)
        text += QStringLiteral("\r... and %1 more").arg(gone.size() - Lines);
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
}

void CutSelectionToClipboard(QTreeWidget* tree, QTreeWidget* clipboard)
{
    const QList<TNTreeNode*> selected = SelectedNodes(tree);
    if (selected.isEmpty())
        return;
    // Nothing is written: the rows go when the cut is pasted.
    CopySelectionToClipboard(tree, clipboard);
    HoldCut(selected);
    emit tree->itemSelectionChanged();
}

void DeleteMovedOriginals(QTreeWidget* clipboard, bool onlyCopied)
{
    const TNTreeNode* root = ClipboardRoot(clipboard);
    if (!root)
        return;
    for (int i = 0; i < root->childCount(); ++i) {
        const TNTreeNode* item = root->ChildNode(i);
        // A source deleted with an earlier one has lost its reference.
        if (item && item->Source && (!onlyCopied || item->Copied))
            DeleteNode(item->Source);
    }
}

bool IsCtrlDown()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
}
