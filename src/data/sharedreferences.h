#pragma once
// The references between a shared address book's tables, and the rows that
// name a new record by its temporary ID.
//
// A new record keeps its temporary ID until the server stores it; the rows
// naming it (its memberships, its placements in folders, the folders under
// it, the contacts of a new carrier) wait until then. When the new record
// goes before that (deleted, cancelled), the rows naming it must go too:
// left behind, they would name whichever new record takes the same ID.
//
// Main thread only: the book's datasets belong to it.

#include "data/datakinds.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

class TBaseSharedClient;

// A field of Kind's rows that holds IDs of another kind's rows.
struct TSharedReference {
    TDataKind Kind;
    const char* Field;
};
// The fields that name rows of Kind.
QList<TSharedReference> SharedReferencesTo(TDataKind kind);

// The temporary IDs that rows of the book name but no row of the named kind
// holds (the record went before it was applied), by the kind named.
QHash<int, QSet<qint64>> GoneNewRecords(TBaseSharedClient& book);

// Takes out every row that names a gone new record: a new row goes, an
// edited one goes back to the row as loaded; rows naming those go in turn.
// Returns one line for each row taken out, for whoever has to say so.
QStringList DropRowsNamingGoneRecords(TBaseSharedClient& book);

// A change that cannot go to the server yet: it names a new record the
// server has not stored.
struct TWaitingRow {
    TDataKind Kind = dkContacts;  // the waiting row's kind and ID
    qint64 Id = 0;
    TDataKind NamedKind = dkContacts;
    qint64 NamedId = 0;
    QString Text;  // "GroupAssigns row -4 names the Groups row -2 "Night shift""
};
QList<TWaitingRow> WaitingRows(TBaseSharedClient& book);
