#pragma once
// The change-log operations the list windows offer for the in-memory client
// datasets of shared address books: counting changes, save points, cancel,
// and applying to or refreshing from the paging server. On another kind of
// dataset (or none) they do nothing and count no changes; failures of the
// server are shown to the operator. Main thread only.
//
// Apply and refresh of a shared book return at once: the exchange with the
// server runs while the windows go on painting (doorexchangehold.h), and
// the datasets change when it ends. A second one asked for meanwhile is
// ignored.

#include "data/datakinds.h"
#include "data/nodekind.h"

#include <QList>
#include <QPair>

class TBaseDataClient;
class TNDataSet;

bool IsClientDataSet(const TNDataSet* dataSet);
// A contact or group of the book leaves the folder tree and the recipients
// list (of this book only).
void ForgetRecordInViews(TNodeKind kind, qint32 id, TBaseDataClient* book);
// The rows of a shared book that name a new record no longer in it (deleted
// or cancelled before it was applied) go with it: its nodes leave the tree
// and the recipients list, its memberships, placements and subfolders go,
// and so on. Run after a list deletes rows, goes back to a save point or
// cancels its changes; nothing for another book.
void ForgetRowsOfGoneRecords(TBaseDataClient* book);
// New records of the book that an apply gave up with their rows (a
// reconcile choice undid their insert): their nodes leave the tree and they
// leave the recipients list, no row written.
void ForgetGoneNewRecords(TBaseDataClient* book, const QList<QPair<TDataKind, qint64>>& gone);
// False for a shared book (and none): it keeps no servers of its own, its
// contacts are paged through the paging server that keeps the book.
bool BookKeepsServers(const TBaseDataClient* book);
int ClientChangeCount(TNDataSet* dataSet);
// The changes waiting in all of a shared book's cached datasets (the tree's
// folders and placements included), an apply whose answer was lost counting
// as one; 0 for any other book.
int BookChangeCount(TBaseDataClient* book);
int ClientSavePoint(TNDataSet* dataSet);
// These two forget, as above, the rows that named what they undo.
void ClientRevertToSavePoint(TNDataSet* dataSet, int savePoint);
void ClientCancelUpdates(TNDataSet* dataSet);
// The save points of every client dataset of a shared book, by kind (empty
// for another book), and going back to them, as ClientRevertToSavePoint.
QList<int> BookSavePoints(TBaseDataClient* book);
void RevertBookToSavePoints(TBaseDataClient* book, const QList<int>& points);
// The whole book's change logs go to its server (Kind is not looked at),
// with no error limit; the new records the apply gave up leave the views.
void ClientApplyUpdates(TBaseDataClient* book, TDataKind kind);
// The kinds' rows are read again: from the server for a shared book (all
// of them in one exchange, all or none), else DataSet's.
void ClientRefresh(TBaseDataClient* book, const QList<TDataKind>& kinds, TNDataSet* dataSet);
