#pragma once
// One operation that changes address-book rows through the folder tree
// (paste, drop, cut, remove, new folder): the tree's painting is suspended
// and, when asked, the busy cursor shown for its length, both restored on
// every path; the writes of each address book it touches go in one
// transaction.
//
// When the operation fails, every transaction is rolled back, the Folders
// and FolderAssigns datasets of those books are read again and the folder
// tree is reloaded from the books, so tree and rows agree as they did
// before; then the error propagates to the command, which reports it.
// Operations nest: an inner one joins the outer one's transactions.
// Main thread only.

#include <QList>
#include <functional>

class TBaseDataClient;

void RunTreeWrites(const QList<TBaseDataClient*>& books, const std::function<void()>& operation, bool busyCursor);
