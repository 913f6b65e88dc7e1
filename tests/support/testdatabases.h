#pragma once
// Both database files of the program, made fresh from the schema SQL in a
// temporary folder for one test: "LocalData2.mdb" and the "Local Database"
// address book "Tovix2Database.mdb" (with its nine carrier types, no
// contacts). The folder and everything in it go away with the fixture.
#include <QString>

#include "support/tempfolder.h"

class TestDatabases {
public:
    TestDatabases();

    // The folder, ending in "/".
    QString Folder() const { return m_folder.Path(); }
    QString LocalDataPath() const;
    QString AddressBookPath() const;
    // A further address book: "Tovix2Database.mdb" in a new sub-folder;
    // returns that folder, ending in "/".
    QString AddAddressBook(const QString& subFolder) const;

private:
    TempFolder m_folder;
};
