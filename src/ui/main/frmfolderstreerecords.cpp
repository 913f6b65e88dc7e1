// The folder-tree pane's contact and group commands, in the pop-up menu's
// order: placing existing records in a folder, then (after Remove) new,
// edit and delete, each group followed by its separator.
#include "data/folderstreerecords.h"
#include "ui/main/frmfolderstree.h"

#include <QKeySequence>

void TFormFoldersTree::BuildPlaceCommands()
{
    actAddContact = AddRecordCommand("actAddContact", QStringLiteral("Add Contac&t"),
                                     QKeySequence(Qt::CTRL | Qt::Key_T), 1024, nkContact, TAdminOperation::PickFromBook,
                                     true, [](TNTreeNode* node) { AddContactsToFolder(node); });
    actAddGroup =
        AddRecordCommand("actAddGroup", QStringLiteral("Add &Group"), QKeySequence(Qt::CTRL | Qt::Key_G), 1025, nkGroup,
                         TAdminOperation::PickFromBook, true, [](TNTreeNode* node) { AddGroupsToFolder(node); });
    AddSeparator(false);
}

void TFormFoldersTree::BuildRecordCommands()
{
    actNewContact = AddRecordCommand(
        "actNewContact", QStringLiteral("New Contact"), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_T), 1027, nkContact,
        TAdminOperation::AddRecord, true, [](TNTreeNode* node) { NewContactInFolder(node); });
    actNewGroup = AddRecordCommand("actNewGroup", QStringLiteral("New Group"),
                                   QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_G), 1028, nkGroup,
                                   TAdminOperation::AddRecord, true, [](TNTreeNode* node) { NewGroupInFolder(node); });
    AddSeparator(false);
    actEditContact =
        AddRecordCommand("actEditContact", QStringLiteral("Edit Contact"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T),
                         1029, nkContact, TAdminOperation::EditRecord, false, &EditContactNode);
    actEditGroup =
        AddRecordCommand("actEditGroup", QStringLiteral("Edit Group"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G),
                         1030, nkGroup, TAdminOperation::EditRecord, false, &EditGroupNode);
    AddSeparator(false);
    actDeleteContact = AddRecordCommand("actDeleteContact", QStringLiteral("Delete Contact ..."), QKeySequence(), 1031,
                                        nkContact, TAdminOperation::DeleteRecord, false, &DeleteContactCompletely);
    actDeleteGroup = AddRecordCommand("actDeleteGroup", QStringLiteral("Delete Group ..."), QKeySequence(), 1032,
                                      nkGroup, TAdminOperation::DeleteRecord, false, &DeleteGroupCompletely);
    AddSeparator(false);
}
