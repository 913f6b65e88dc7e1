#pragma once
// Rows a shared book's cache holds without an ID.
//
// Earlier versions of the group editor appended memberships without one.
// Such a row is either still new (its insert is in the change log or in the
// apply in flight) or was stored by the server under an ID this cache never
// took in. A new one takes a temporary ID from the book's run when the
// cache is loaded, and goes as any new row: sent again under its apply ID,
// it is still answered with what the server stored for it. A stored one
// whose logged original holds its ID takes that ID back, and a change left
// in the log that changes nothing more goes. A stored one whose ID is
// nowhere here keeps its place (a page to its group still reaches the
// member) until the next apply fetches the dataset's rows and gives it the
// ID of the server's row with the same values that no other row here
// holds; a removal of it made meanwhile then goes with that ID.
//
// Main thread only: the book's datasets belong to it.

#include "db/clientdataset.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TBaseSharedClient;

// Gives the rows of every dataset of Book that have no ID the ID they can
// have here (above); returns the text that tells the operator what was
// done, empty when nothing was.
QString GiveIdsAtLoad(TBaseSharedClient& book);

// Whether a row or a logged original of the dataset has no ID (the apply in
// flight is sent as it is and not looked at).
bool HoldsRowsWithoutId(const TNClientDataSet& dataSet);

// Gives each row without an ID the ID of the server's row (ServerRows, in
// the dataset's fields) with the same other values that no row here holds.
// A row the server has no more goes here too, as a refresh would take it;
// one line names each such row, for whoever tells the operator.
QStringList TakeIdsFromServer(TNClientDataSet& dataSet, const std::vector<std::vector<QVariant>>& serverRows,
                              const QString& table);
