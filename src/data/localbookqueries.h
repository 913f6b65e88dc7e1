#pragma once
// The questions the program puts to a local address book's file, answered by
// plain queries on a connection of the calling thread. They never touch a
// dataset's cursor, so the send threads may ask them while the main thread
// browses or edits the book's datasets.

#include "data/basedataclient.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>

namespace LocalBook {

// The server of the contact's carrier. The server's settings text must have
// exactly three items (address, port, host name); a port that is not an
// integer gives 215. False, with the endpoint untouched, otherwise.
bool ServerByContactID(const QSqlDatabase& db, qint32 contactID, TNServerEndpoint& endpoint);
// Why ServerByContactID answers false for the contact ("its carrier no
// longer exists", ...); empty when it would not.
QString WhyNoServer(const QSqlDatabase& db, qint32 contactID);
// The servers of the group's members that have one, by contact ID.
void ServersOfGroup(const QSqlDatabase& db, qint32 groupID, QHash<qint32, TNServerEndpoint>& servers);
// Membership rows whose contact and group rows exist: IDs and names in step.
void ContactIDsNamesOfGroup(const QSqlDatabase& db, qint32 groupID, QList<qint32>& ids, QStringList& names);
// Every membership row's contact ID.
void ContactsOfGroup(const QSqlDatabase& db, qint32 groupID, QList<qint32>& ids);
// A server of this name exists (without regard to letter case).
bool ServerNameExists(const QSqlDatabase& db, const QString& name);
// Rows of a table of the book.
qint32 RecordCount(const QSqlDatabase& db, const QString& table);
QSet<qint32> RecordIDs(const QSqlDatabase& db, const QString& table);
// The contact's settings text and its carrier's type number and settings;
// false when either row is gone (the contact's name is still given when only
// the carrier is).
bool ContactCarrier(const QSqlDatabase& db, qint32 contactID, TNContactCarrier& carrier);

// The file "Tovix2Database.mdb" in the folder named by item 0 of a local
// address book's settings text (a trailing "/" or "\" is optional); empty
// when the text has no item.
QString FileFromSettings(const QString& data);

}  // namespace LocalBook
