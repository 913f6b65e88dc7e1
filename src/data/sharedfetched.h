#pragma once
// Which datasets of a shared address book have ever been fetched from its
// server into the book's cache. A dataset never fetched holds only the rows
// made in this program: the server may hold many more, which is what a
// delete needs to know before it can tell that nothing uses a record
// (recordusage.h). Kept in the book's cache folder ("FetchedFromServer.txt",
// one provider name a line), so it lasts as long as the cached rows do.
// Main thread.

#include "data/datakinds.h"

#include <QString>

class TBaseSharedClient;

// The kind's rows were fetched into this cache at least once.
bool SharedKindFetched(const TBaseSharedClient& book, TDataKind kind);
// Notes a fetch of the kind; false, with the reason in ErrorText, when the
// note could not be written (the kind then counts as never fetched).
bool RememberSharedKindFetched(const TBaseSharedClient& book, TDataKind kind, QString* errorText);
