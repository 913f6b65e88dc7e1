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
// before it was applied) settle as one unit with the delete: a row the
// server has keeps its other changes and takes back its reference, a new
// row goes; the tree and the recipients list follow, and the operator is
// told which rows changed. Run after a list deletes rows; nothing for
// another book.
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
// The ways back (sharedtakeback.h for a shared book). A window's point is
// the moment it took its dataset; what an apply stored since is no longer
// a change, so it stays. Each brings the folder tree and the recipients
// list in line and tells the operator, in one notice naming them, of the
// rows that change beyond those it names. A client dataset of no shared
// book goes back alone; any other dataset is left as it is.
qint64 WayBackPoint();
// Cancel of a window (or of an editor): every change since Point.
void TakeBackSince(TBaseDataClient* book, TNDataSet* dataSet, qint64 point);
// Cancel Changes of a list: every change of the kinds, with what was
// changed with them.
void CancelChangesOf(TBaseDataClient* book, TNDataSet* dataSet, const QList<TDataKind>& kinds);
// The whole book's change logs go to its server (Kind is not looked at),
// with no error limit; the new records the apply gave up leave the views.
void ClientApplyUpdates(TBaseDataClient* book, TDataKind kind);
// The kinds' rows are read again: from the server for a shared book (all
// of them in one exchange, all or none), else DataSet's.
void ClientRefresh(TBaseDataClient* book, const QList<TDataKind>& kinds, TNDataSet* dataSet);
