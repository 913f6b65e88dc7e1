#pragma once
// Cache files of client datasets: the definitions, the rows and the change
// log of one dataset, so that edits not yet applied survive a restart.
//
// Format (QDataStream, Qt 6.4 encoding, big-endian): the 8 bytes
// "TVXCDS\r\n", a 32-bit format version (3), the field definitions, the next
// row key, the rows under their keys, the log entries, the apply in flight
// (its ID, empty for none, and the changes sent under it), the name of the
// load the rows came from and the lowest temporary ID handed out (see
// TNClientDataSet), and "END!" last, so that a file cut short is told from a
// whole one. Version 1 files, which end after the log, are read with no
// apply in flight; version 1 and 2 files with no name of a load and no
// temporary ID. A value is stored in
// QVariant's stream form, and only the forms a field holds are read back.
// Writing goes through ReplaceFileDurably: the old file stays whole until the
// new one is completely on the disk.

#include <QString>
#include <QStringList>

class TNClientDataSet;

// Writes the dataset's whole state; raises EDatabaseError naming the file
// when it cannot be written (the old file then stays as it was).
void SaveClientDataSetToFile(const TNClientDataSet& dataSet, const QString& fileName);
// Replaces the dataset's state with the file's and opens it; raises
// EDatabaseError naming the file and the fault when it is missing,
// unreadable, of another format version, cut short, holds a value that does
// not fit its field (a text in an integer or a Boolean, a number in a text),
// no value in a field Required names, two rows under one key, two rows with
// one value in UniqueField (rows with no value there aside), or a change in
// flight without the values it was sent with, or, for a dataset with field
// definitions, holds other fields (names and kinds in order). The dataset is
// then left as it was.
void LoadClientDataSetFromFile(TNClientDataSet& dataSet, const QString& fileName, const QStringList& required = {},
                               const QString& uniqueField = QString());
