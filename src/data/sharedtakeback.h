#pragma once
// The ways back of a shared address book: what a list window's Cancel,
// Cancel Changes and an editor's Cancel take back, by one rule. A way back
// takes back the changes it names and the changes made with them as one
// unit (a delete with the placements it took, an editor's row with its
// memberships: TNChangeUnit), and nothing else; what an apply stored is no
// longer a change and stays. The rows left naming a new record that went
// then settle (SettleRowsNamingGoneRecords) and are named in the result.
// The views (folder tree, recipients) are the caller's to follow.
//
// Main thread only: the book's datasets belong to it.

#include "data/datakinds.h"
#include "data/sharedreferences.h"

#include <QList>

class TBaseSharedClient;

// Every change of the book still logged that was made after Point
// (TNClientDataSet::SavePoint).
TSettled TakeBackSince(TBaseSharedClient& book, qint64 point);
// Every change of the kinds' datasets, the changes made in one unit with
// any of them, and the later changes of the rows those touched.
TSettled TakeBackChangesOf(TBaseSharedClient& book, const QList<TDataKind>& kinds);
