#include "data/folderstreerecords.h"

#include "data/basedataclient.h"
#include "data/folderstree.h"
#include "data/folderstreeedit.h"
#include "data/folderstreewrites.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"

#include <QTreeWidget>

namespace {
TDataKind DataKindOf(TNodeKind kind)
{
    return kind == nkGroup ? dkGroups : dkContacts;
}

// Adds a node of the record under Folder, selected as by a Ctrl-click,
// and keeps it when the sibling rule does; nullptr when refused.
TNTreeNode* PlaceInFolder(TNTreeNode* folder, TNodeKind kind, qint32 id, const QString& name)
{
    auto* node = new TNTreeNode(folder->Database, kind, id);
    node->SetCaption(name);
    AddChildNode(folder, node);
    node->setSelected(true);
    if (node->CheckUnique(false))
        return node;
    DeleteNode(node);
    return nullptr;
}

TNTreeNode* AddItemsToFolder(TNTreeNode* folder, TNodeKind kind)
{
    if (!folder || !folder->Database)
        return nullptr;
    TNSelectionList picked;
    if (!PickFromBook(DataKindOf(kind), folder->Database, picked) || picked.isEmpty())
        return nullptr;
    TNTreeNode* last = nullptr;
    RunTreeWrites(
        {folder->Database},
        [&] {
            for (const auto& [name, id] : std::as_const(picked))
                last = PlaceInFolder(folder, kind, id, name);
            SortChildNodes(folder, false);
        },
        false);
    if (last) {
        folder->setSelected(false);
        MakeNodeVisible(last);
    }
    return last;
}

TNTreeNode* NewItemInFolder(TNTreeNode* folder, TNodeKind kind)
{
    if (!folder || !folder->Database)
        return nullptr;
    TNItemInfo info;
    if (!AddRecordInBook(DataKindOf(kind), folder->Database, info) || !info.Accepted)
        return nullptr;
    TNTreeNode* node = PlaceInFolder(folder, kind, info.ID, info.Name);
    if (node)
        SortChildNodes(folder, false);
    return node;
}

void EditItemNode(TNTreeNode* node)
{
    if (!node || !node->Database)
        return;
    TNItemInfo info;
    if (!EditRecordInBook(DataKindOf(node->Kind), node->Database, node->ID, info) || !info.Accepted)
        return;
    const QString old = node->Caption();
    node->SetCaption(info.Name);
    if (!node->CheckUnique(false)) {
        node->SetCaption(old);
        return;
    }
    SortChildNodes(node->parent(), false);
    node->RenameClones();
}

void DeleteItemCompletely(TNTreeNode* node, const QString& caption, const QString& question)
{
    if (!node || !node->Database)
        return;
    TMessageRequest request;
    request.Text = question.arg(node->Caption());
    request.Type = TMsgDlgType::mtConfirmation;
    request.Buttons = mbYes | mbNo;
    request.DefaultButton = mbNo;
    request.Caption = caption;
    if (ShowMessageRequest(request) != mbYes)
        return;
    // The list window's delete takes the node out with every other
    // placement of the record: nothing is done to it here afterwards.
    DeleteRecordInBook(DataKindOf(node->Kind), node->Database, node->ID);
}
}  // namespace

bool CanRunRecordOperation(TNodeKind kind, TAdminOperation operation)
{
    return (kind == nkContact || kind == nkGroup) && AdminOperationRegistered(DataKindOf(kind), operation);
}

TNTreeNode* AddContactsToFolder(TNTreeNode* folder)
{
    return AddItemsToFolder(folder, nkContact);
}

TNTreeNode* AddGroupsToFolder(TNTreeNode* folder)
{
    return AddItemsToFolder(folder, nkGroup);
}

TNTreeNode* NewContactInFolder(TNTreeNode* folder)
{
    return NewItemInFolder(folder, nkContact);
}

TNTreeNode* NewGroupInFolder(TNTreeNode* folder)
{
    return NewItemInFolder(folder, nkGroup);
}

void EditContactNode(TNTreeNode* node)
{
    EditItemNode(node);
}

void EditGroupNode(TNTreeNode* node)
{
    EditItemNode(node);
}

void DeleteContactCompletely(TNTreeNode* node)
{
    DeleteItemCompletely(
        node, QStringLiteral("  Contact Delete Confirmation"),
        QStringLiteral("Are you sure you want to delete the Contact: \"%1\" completely from the system?"));
}

void DeleteGroupCompletely(TNTreeNode* node)
{
    DeleteItemCompletely(
        node, QStringLiteral("  Group Delete Confirmation"),
        QStringLiteral("Are you sure you want to delete the Group: \"%1\" completely from the system?"));
}
