#pragma once
// The two database files and how they are made from the schema SQL compiled
// into the program (":/sql/localdata2.sql" and ":/sql/tovix2database.sql").
// The program itself never creates a table; the makedb tool and the tests do,
// through these functions. The program adds the script's indexes that an
// existing file lacks (a file made before an index was added to the script).
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>

QString LocalDataFileName();    // "LocalData2.mdb"
QString AddressBookFileName();  // "Tovix2Database.mdb"
QString LocalDatabaseName();    // "Local Database", the built-in address book

QString LocalDataSchemaSql();
QString AddressBookSchemaSql();

// Runs every statement of a script in one transaction, binding ":Name"
// parameters from Params. Raises EDatabaseError; nothing is written then.
void RunSqlScript(const QSqlDatabase& db, const QString& script, const QVariantMap& params = QVariantMap());
// Creates every index of the script (its CREATE INDEX statements) that the
// database does not have yet, in one transaction; the tables and rows stay as
// they are. Raises EDatabaseError; nothing is written then.
void CreateMissingIndexes(const QSqlDatabase& db, const QString& script);
// Creates a new file from a script. The file appears complete or not at all;
// an existing file raises EDatabaseError and stays as it is.
void CreateDatabaseFile(const QString& path, const QString& script, const QVariantMap& params = QVariantMap());
// The local database with its default rows; the "Local Database" row gets a
// new GUID.
void CreateLocalDataFile(const QString& path);
// An empty address book with the nine carrier types.
void CreateAddressBookFile(const QString& path);
// Creates "LocalData2.mdb" and "Tovix2Database.mdb" in the folder when they
// are absent; returns the names of the files it created.
QStringList CreateMissingDatabaseFiles(const QString& folder);
