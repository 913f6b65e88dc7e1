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

#include <QList>

class TBaseDataClient;
class TNDataSet;

bool IsClientDataSet(const TNDataSet* dataSet);
// False for a shared book (and none): it keeps no servers of its own, its
// contacts are paged through the paging server that keeps the book.
bool BookKeepsServers(const TBaseDataClient* book);
int ClientChangeCount(TNDataSet* dataSet);
// The changes waiting in all of a shared book's cached datasets (the tree's
// folders and placements included), an apply whose answer was lost counting
// as one; 0 for any other book.
int BookChangeCount(TBaseDataClient* book);
int ClientSavePoint(TNDataSet* dataSet);
void ClientRevertToSavePoint(TNDataSet* dataSet, int savePoint);
void ClientCancelUpdates(TNDataSet* dataSet);
// The book's change logs go to its server, with no error limit: the kind's
// and the others it may refer to or that have no list of their own.
void ClientApplyUpdates(TBaseDataClient* book, TDataKind kind);
// The kinds' rows are read again: from the server for a shared book (all
// of them in one exchange, all or none), else DataSet's.
void ClientRefresh(TBaseDataClient* book, const QList<TDataKind>& kinds, TNDataSet* dataSet);
