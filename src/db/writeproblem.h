#pragma once
// Why a database file cannot be written, in the operator's words.
//
// SQLite names the state of the file, not the statement, when a write fails
// because of it: another program holds the write lock, the connection or the
// file is read-only, the disk is full or refuses the write. Such a failure
// hits every row alike, so the callers stop writing (and sending) until it
// is gone instead of trying row after row. Any thread.
#include <QSqlDatabase>
#include <QString>

enum class TWriteProblem { wpNone, wpLocked, wpReadOnly, wpFull, wpDiskError, wpOther };

// The problem an error text of the SQLite driver stands for (wpNone for an
// empty text, wpOther for a failure of one statement).
TWriteProblem WriteProblemOf(const QString& errorText);
// Whether the problem is one of the file as a whole (locked, read-only, full,
// disk error): it hits every write alike.
bool IsFileProblem(TWriteProblem problem);
// "LocalData2.mdb is locked by another program", "... is read-only", "the
// disk holding ... is full", "... could not be written to the disk"; for a
// failure of one statement the error text itself. FileName: the file as the
// operator knows it.
QString WriteProblemText(const QString& errorText, const QString& fileName);

// Tries to take the write lock of the connection's file at once and lets it
// go again; the error text of the failure, empty when the file can be
// written now. A connection opened while the file could not be written
// (SQLite opens such a file read-only and keeps it so) is opened again first
// and asked once more. Waits at most WaitMs for another writer; the
// connection waits BusyTimeoutMs for a lock afterwards. Call with no
// transaction open on the connection.
QString ProbeWritable(QSqlDatabase& db, int waitMs);
