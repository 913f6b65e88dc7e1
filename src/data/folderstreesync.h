#pragma once
// Bringing the folder tree's nodes of one address book back in line with
// its Folders and FolderAssigns rows after rows changed under the tree (a
// list window took changes back: placements came back or went). Nodes that
// agree with a row stay as they are (expanded, selected, in the clipboard);
// a node without a row goes and a row without a node gets one, writing no
// row either way; captions follow the names; a cut waiting for its paste
// stays out of the tree. Main thread only.

class TBaseDataClient;

void SyncBookNodesWithRows(TBaseDataClient* book);
