#pragma once
// Contacts and groups handled from the folder tree: placing existing ones
// in a folder, making a new one in a folder, editing the record behind a
// node and deleting a record from the whole system. The records themselves
// are picked, made, edited and deleted by the administration windows,
// reached through their launchers (adminlaunchers.h); without the launcher
// an operation does nothing, and CanRunRecordOperation tells the pane so.
// Main thread only.

#include "data/adminlaunchers.h"
#include "data/folderstreenode.h"

// The launcher's operation for the kind (contact or group) is there.
bool CanRunRecordOperation(TNodeKind kind, TAdminOperation operation);

// Picks rows of the folder's book and places each in the folder (writing
// its FolderAssigns row, in one transaction), refusing one the folder holds
// already. The kept nodes are selected; the last picked row's node (none
// when it was refused or nothing was picked) is returned.
TNTreeNode* AddContactsToFolder(TNTreeNode* folder);
TNTreeNode* AddGroupsToFolder(TNTreeNode* folder);
// A new record through its editor, placed in the folder when accepted.
TNTreeNode* NewContactInFolder(TNTreeNode* folder);
TNTreeNode* NewGroupInFolder(TNTreeNode* folder);
// The node's record through its editor; an accepted new name goes to every
// placement of the record, unless the sibling rule refuses it (the old
// name stays).
void EditContactNode(TNTreeNode* node);
void EditGroupNode(TNTreeNode* node);
// After a confirmation (No by default) the record is deleted by its list
// window, which takes every node of it out of the tree and every
// recipient row of it out of the list. Node is gone afterwards.
void DeleteContactCompletely(TNTreeNode* node);
void DeleteGroupCompletely(TNTreeNode* node);
