#pragma once
// Reading an address book's folder rows for the tree in one pass per
// dataset: the Folders rows grouped by ParentID and the FolderAssigns rows
// grouped by FolderID, so that building the tree takes time in proportion
// to the rows rather than rescanning them for every folder.
// Main thread only.

#include "data/folderstreenode.h"

#include <QHash>
#include <QList>
#include <QString>

class TBaseDataClient;

struct TNBookRow {
    qint32 ID = 0;
    QString Name;
};

struct TNBookRows {
    QHash<qint32, QList<TNBookRow>> FoldersByParent;   // Folders rows
    QHash<qint32, QList<TNBookRow>> ContactsByFolder;  // FolderAssigns rows of contacts: ContactID, name
    QHash<qint32, QList<TNBookRow>> GroupsByFolder;    // FolderAssigns rows of groups: GroupID, name
};

// Reads the rows of the kinds (folders also when asked for nothing else, to
// follow the nesting), each dataset opened for the read and put back as it
// was. Dataset errors propagate.
TNBookRows ReadBookRows(TBaseDataClient* client, TNodeKinds kinds);
// Adds Node's children of the kinds from Rows, already in the tree's order,
// and with Recursive the children of every folder added; no rows are
// written.
void AddLoadedChildren(TNTreeNode* node, const TNBookRows& rows, TNodeKinds kinds, bool recursive);
