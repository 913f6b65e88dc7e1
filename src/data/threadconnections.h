#pragma once
// The calling thread's own connection to a database file.
//
// Each thread that reads or writes the local database or an address book's
// file outside the main thread's datasets (the send threads, the dispatcher,
// the message processor, and the main thread's own plain queries) asks here:
// the first call on a thread opens a connection on the existing file (a
// missing file is an error, never a new database) under a name of its own,
// later calls return it. A thread's connections are closed when the thread
// ends, or earlier by CloseThreadDatabase.

#include <QSqlDatabase>
#include <QString>

// Raises EDatabaseError when the file cannot be opened.
QSqlDatabase ThreadDatabase(const QString& filePath);
// Closes the calling thread's connection to the file, if any. Call only when
// no query of it is alive on this thread.
void CloseThreadDatabase(const QString& filePath) noexcept;
