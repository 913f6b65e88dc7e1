#pragma once
// Compaction of a database file in place.
//
// The compacted copy is written to "Temp" + the file's name in the same
// folder (VACUUM INTO), then replaces the original in one atomic rename. On
// any failure the original stays as it was and the temporary file is
// removed. Every connection to the file must be closed first: a file still in
// use (its WAL journal is open) is not replaced.
#include <QString>

QString CompactTempPath(const QString& filePath);
// True when the file was compacted; otherwise ErrorText says why.
bool CompactDatabaseFile(const QString& filePath, QString* errorText = nullptr);
