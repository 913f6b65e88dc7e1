#include "data/folderstreeedit.h"

#include "data/basedataclient.h"
#include "data/datakinds.h"
#include "data/folderstree.h"
#include "data/folderstreerows.h"
#include "data/folderstreeselection.h"
#include "data/folderstreewrites.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"
#include "platform/textutil.h"

#include <QSet>
#include <QTreeWidget>

namespace {
const char* ArticleAndKind(TNodeKind kind)
{
    switch (kind) {
        case nkContact:
            return "A Contact";
        case nkGroup:
            return "A Group";
        case nkFolder:
            return "A Folder";
        case nkDatabase:
            return "A Database";
    }
    return "A Node";
}

bool SiblingHasID(const TNTreeNode* node)
{
    const QTreeWidgetItem* parent = node->parent();
    for (int i = 0; i < parent->childCount(); ++i) {
        const TNTreeNode* other = TNTreeNode::From(parent->child(i));
        if (other && other != node && other->ID == node->ID && other->Kind == node->Kind)
            return true;
    }
    return false;
}

bool SiblingHasName(const TNTreeNode* node)
{
    const QString name = TrimBlanksAndControls(node->Caption());
    const QTreeWidgetItem* parent = node->parent();
    for (int i = 0; i < parent->childCount(); ++i) {
        const TNTreeNode* other = TNTreeNode::From(parent->child(i));
        if (other && other != node && TrimBlanksAndControls(other->Caption()) == name)
            return true;
    }
    return false;
}

// A numbered folder's row takes its new name, so the name stays at the next
// load.
void WriteNumberedName(const TNTreeNode* node)
{
    const TDummyObject& state = *FoldersTreeState;
    if (state.Loading || !node->Database || !state.FolderTree || node->treeWidget() != state.FolderTree)
        return;
    RenameFolderRecord(node->Database->GetDataSet(dkFolders), node->ID, node->Caption());
}
}  // namespace

bool TNTreeNode::CheckUnique(bool recursing)
{
    Q_UNUSED(recursing);
    const TNTreeNode* parentNode = ParentNode();
    if (!parentNode)
        return true;
    const bool isItem = Kind == nkContact || Kind == nkGroup;
    const bool dupID = SiblingHasID(this);
    // Contacts and groups may share names: their names only matter for the
    // message.
    bool dupName = (!isItem || dupID) && SiblingHasName(this);
    bool accepted = isItem ? !dupID : !dupID && !dupName;
    if (!isItem && dupName && !dupID) {
        const QString base = Caption();
        for (int number = 1; dupName; ++number) {
            SetCaption(QStringLiteral("%1 (%2)").arg(base).arg(number));
            dupName = SiblingHasName(this);
        }
        WriteNumberedName(this);
        accepted = true;
    }
    if (accepted)
        return true;
    QString message = QStringLiteral("ERROR: ") + QLatin1String(ArticleAndKind(Kind));
    if (dupID)
        message += QStringLiteral(" with the same ID=\"%1\"").arg(ID);
    if (dupName)
        message += QStringLiteral(" with the same Name=\"%1\"").arg(Caption());
    message += QStringLiteral(" already exists in the same folder \"%1\"").arg(parentNode->Caption());
    MessageDlg(message, TMsgDlgType::mtWarning, mbOK);
    return false;
}

void TNTreeNode::RenameClones()
{
    QList<TNTreeNode*> clones;
    FindClones(&clones);
    for (TNTreeNode* clone : std::as_const(clones)) {
        clone->SetCaption(Caption());
        SortChildNodes(clone->parent(), false);
    }
}

TNTreeNode* FindChildByName(const TNTreeNode* parent, const QString& name, TNodeKind kind)
{
    if (!parent)
        return nullptr;
    const QString wanted = TrimBlanksAndControls(name);
    for (int i = 0; i < parent->childCount(); ++i) {
        TNTreeNode* child = parent->ChildNode(i);
        if (child && child->Kind == kind && TrimBlanksAndControls(child->Caption()) == wanted)
            return child;
    }
    return nullptr;
}

QString MakeNewFolderName(const TNTreeNode* parent)
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("New Folder%1").arg(n);
        if (!FindChildByName(parent, name, nkFolder))
            return name;
    }
}

TNTreeNode* AddNewFolder(TNTreeNode* parent)
{
    TNTreeNode* node = nullptr;
    RunTreeWrites(
        {parent->Database},
        [&] {
            auto* folder = new TNTreeNode(parent->Database, nkFolder,
                                          parent->Database ? parent->Database->GetNextTempIDByKind(dkFolders) : -1);
            folder->SetCaption(MakeNewFolderName(parent));
            node = AddChildNode(parent, folder);
            SortChildNodes(parent, false);
        },
        false);
    MakeNodeVisible(node);
    return node;
}

void MakeNodeVisible(TNTreeNode* node)
{
    if (!node)
        return;
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
        up->setExpanded(true);
    if (QTreeWidget* tree = node->treeWidget())
        tree->scrollToItem(node);
}

bool StartEditingNode(QTreeWidget* tree, TNTreeNode* node)
{
    if (!tree || !node)
        return false;
    bool allowed = false;
    {
        const bool previous = FoldersTreeState->EditAllowed;
        FoldersTreeState->EditAllowed = true;
        FoldersTreeState->TreeEditing(node, allowed);
        FoldersTreeState->EditAllowed = previous;
    }
    if (!allowed)
        return false;
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    MakeNodeVisible(node);
    tree->editItem(node, 0);
    return true;
}

void TDummyObject::TreeEditing(TNTreeNode* node, bool& allowEdit)
{
    allowEdit = EditAllowed;
    EditingNode = node;
}

void TDummyObject::TreeEdited(TNTreeNode* node, QString& s)
{
    if (!node || node->Kind != nkFolder)
        return;
    const QString old = node->Caption();
    const QString trimmed = TrimBlanksAndControls(s);
    if (TrimBlanksAndControls(old) == trimmed)
        return;
    if (trimmed.isEmpty()) {
        s = old;
        return;
    }
    if (FindChildByName(node->ParentNode(), s, nkFolder)) {
        MessageDlg(QStringLiteral("Can't rename the node \"%1\" - there already is a node with the name: \"%2\" in "
                                  "the same parent folder !")
                       .arg(old, s),
                   TMsgDlgType::mtWarning, mbOK);
        s = old;
        return;
    }
    if (node->Database && node->treeWidget() == FolderTree)
        RenameFolderRecord(node->Database->GetDataSet(dkFolders), node->ID, s);
    node->SetCaption(s);
    SortChildNodes(node->parent(), false);
}

void RemoveFolderNode(TNTreeNode* node)
{
    DeleteNode(node);
}

void RemoveContactNode(TNTreeNode* node)
{
    DeleteNode(node);
}

void RemoveGroupNode(TNTreeNode* node)
{
    DeleteNode(node);
}

QList<TNTreeNode*> TopmostRemovableNodes(const QList<TNTreeNode*>& nodes)
{
    QSet<const QTreeWidgetItem*> listed;
    for (const TNTreeNode* node : nodes)
        if (node->Kind != nkDatabase)
            listed.insert(node);
    QList<TNTreeNode*> topmost;
    QSet<const QTreeWidgetItem*> taken;
    for (TNTreeNode* node : nodes) {
        if (node->Kind == nkDatabase)
            continue;
        bool below = false;
        for (const QTreeWidgetItem* up = node->parent(); up && !below; up = up->parent())
            below = listed.contains(up);
        if (!below && !taken.contains(node)) {
            taken.insert(node);
            topmost.append(node);
        }
    }
    return topmost;
}

QList<TBaseDataClient*> BooksOf(const QList<TNTreeNode*>& nodes)
{
    QList<TBaseDataClient*> books;
    for (const TNTreeNode* node : nodes)
        if (node->Database && !books.contains(node->Database))
            books.append(node->Database);
    return books;
}

void RemoveSelectedNodes(QTreeWidget* tree, bool confirm)
{
    const QList<TNTreeNode*> selected = SelectedNodes(tree);
    if (selected.isEmpty())
        return;
    if (confirm) {
        TMessageRequest request;
        request.Text = QStringLiteral("Are you sure you want to remove selected items from the Contacts tree?");
        request.Type = TMsgDlgType::mtConfirmation;
        request.Buttons = mbYes | mbNo;
        request.DefaultButton = mbNo;
        request.Caption = QStringLiteral("  Remove from Tree Confirmation");
        if (ShowMessageRequest(request) != mbYes)
            return;
    }
    const QList<TNTreeNode*> nodes = TopmostRemovableNodes(selected);
    RunTreeWrites(
        BooksOf(nodes),
        [&] {
            for (TNTreeNode* node : nodes)
                DeleteNode(node);
        },
        true);
}
