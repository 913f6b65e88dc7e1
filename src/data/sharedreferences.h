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
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVariant>
#include <vector>

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

// The names of the book's new records (those with a temporary ID), by
// kind and ID: taken before a way back, so that what it says can name a
// record that went.
using TNewRecordNames = QHash<QPair<int, qint64>, QString>;
TNewRecordNames NewRecordNames(TBaseSharedClient& book);

// How the operator knows a record ("the carrier "Door"", "the new contact
// "Ann"", "the top level") and a row ("the placement of the contact "Bob"
// in the folder "Sales"").
QString DescribeRecord(TBaseSharedClient& book, TDataKind kind, const QVariant& id,
                       const TNewRecordNames* names = nullptr);
QString DescribeRow(TBaseSharedClient& book, TDataKind kind, const std::vector<QVariant>& values,
                    const TNewRecordNames* names = nullptr);

// What settling the rows naming gone new records did.
struct TSettled {
    QStringList Lines;                        // one a row that changed, naming it, for the operator
    QList<QPair<TDataKind, qint64>> GoneNew;  // the new records that went with it, by kind and ID
    bool Any() const { return !Lines.isEmpty(); }
};

// The rows naming a new record that is no longer in the book settle: a row
// loaded from the server keeps every change but that reference, which goes
// back to its loaded value; a new row, which cannot stand without the
// record, goes (and rows naming it in turn); a row the log does not explain
// goes. Logged: as changes of their own in the open change unit, so that a
// way back to an earlier point brings the record and the rows back
// together; otherwise as if the rows had never named it. Names: the new
// records' names from before they went (may be null).
TSettled SettleRowsNamingGoneRecords(TBaseSharedClient& book, bool logged, const TNewRecordNames* names = nullptr);
// The same, not logged; the lines only.
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
