#pragma once
// How many records refer to a record that is about to be deleted: the
// contacts of a carrier, the carriers of a server or of a carrier type, the
// address books of an address-book type. The list windows refuse to delete a
// record that others use, so no contact is left pointing at a missing
// carrier (its messages could never be addressed).
//
// A local book is counted in its file (its rows are posted at once); a shared
// book in its cached datasets, changes not yet applied included. Main thread
// (a local book's count runs on the calling thread's own connection).

#include "data/datakinds.h"

#include <QString>
#include <QVariant>

class TBaseDataClient;

// What refers to the rows of one kind: the kind of the referring rows, their
// field that holds the reference, the referred row's field it names, and how
// the operator calls the referring rows.
struct TRecordReference {
    TDataKind UserKind = dkContacts;
    QString UserTable;
    QString UserField;
    QString KeyField;
    QString UserSingular;  // "contact"
    QString UserPlural;    // "contacts"
};

// The reference to rows of Kind; false for a kind nothing refers to here.
bool RecordReferenceOf(TDataKind kind, TRecordReference& reference);

// The rows of the book that refer to the row whose KeyField holds Key; 0
// for a kind nothing refers to or a book of another kind.
qint32 CountRecordsUsing(TBaseDataClient& book, TDataKind kind, const QVariant& key);

// False when the book cannot count every row that could use the record
// with that ID: a shared book whose cache as loaded does not hold the rows
// of the using kind as fetched from its server (sharedfetched.h: its cache
// may hold only the rows made here, the server any number). A record never applied (a temporary ID) is
// known to no row of the server: its users are all here.
bool AllUsersAtHand(TBaseDataClient& book, TDataKind kind, qint32 recordID);

// The address books (Databases rows of the local data module) of a type.
qint32 CountDatabasesOfType(qint32 typeNo);

// The warning that refuses deleting the record Name that Count records use:
// ""Via door" cannot be deleted: 2 contacts use it."
QString InUseWarning(const QString& name, qint32 count, const QString& userSingular, const QString& userPlural);
// The warning that refuses deleting the record Name while the rows that
// could use it are not at hand (AllUsersAtHand): the list of those rows must
// be refreshed first.
QString UsersNotFetchedWarning(const QString& name, const QString& bookName, const TRecordReference& reference);
