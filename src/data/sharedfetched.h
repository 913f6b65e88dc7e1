#pragma once
// Which datasets of a shared address book hold rows fetched from its
// server. A dataset never fetched holds only the rows made in this program:
// the server may hold many more, which is what a delete needs to know
// before it can tell that nothing uses a record (recordusage.h).
//
// A fetch is named (a new UUID) when its rows come in; the dataset keeps
// the name in its cache file, and the book's cache folder keeps the name of
// the last fetch of each provider ("FetchedFromServer.txt", one line a
// provider: its name, a blank, the fetch's name). A kind counts as fetched
// only while the dataset as loaded carries the name the note holds: a cache
// file that was removed (and so made anew), emptied, refused or replaced by
// another (a copy from another time or another book, a file of an earlier
// version, which names no fetch) counts as never fetched until the next
// Refresh. Main thread.

#include "data/datakinds.h"

#include <QString>

class TBaseSharedClient;

// The note's file name in the book's cache folder.
QString SharedFetchedFileName();
// The kind's dataset holds the rows of its provider's last fetch into this
// cache.
bool SharedKindFetched(TBaseSharedClient& book, TDataKind kind);
// Names a fetch of the kind whose rows the dataset has just taken in: the
// dataset carries the name (saved with its cache file by the caller) and
// the note keeps it. False, with the reason in ErrorText, when the note
// could not be written (the kind then counts as never fetched).
bool RememberSharedKindFetched(TBaseSharedClient& book, TDataKind kind, QString* errorText);
