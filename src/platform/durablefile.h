#pragma once
// Replacing a whole file so that a failure never leaves it damaged.
//
// The bytes go to a new file beside the target; every write is checked and
// the new file is synced to the disk before one rename puts it in place, so
// the target holds either its old content or the whole new one, also after a
// crash or a power cut. Any failure (no room, a folder that refuses new
// files, a file size limit) removes the new file and leaves the target as it
// was, also when the content function throws. The content can be written
// piece by piece, so that a large file never has to be built in memory first.
//
// The new file is named after the target, a mark no other program uses and
// six more characters ("cdsContacts.cds.tovix2-partial-a1B2c3"), and locked
// while it is written; a crash in the middle of a save leaves it behind, and
// RemovePartialFiles takes it away. Nothing else is ever removed: a file the
// operator keeps beside the target ("cdsContacts.cds.backup") is theirs.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>

// Writes the new content to Out (a write-only device over the new file);
// false gives the replacement up. A write that fails returns -1 and so do
// all writes after it; the replacement then fails with the system's reason.
using TDurableContent = std::function<bool(QIODevice& out)>;

// False, with the system's reason in ErrorText, when the file could not be
// replaced. The new file takes Mode (permission bits), or with -1 the mode of
// the file it replaces (0644 for a new one), before its first byte.
bool ReplaceFileDurably(const QString& fileName, const TDurableContent& write, QString* errorText, int mode = -1);
bool ReplaceFileDurably(const QString& fileName, const QByteArray& bytes, QString* errorText);

// Removes the new files a replacement of FileName left behind when it was
// cut short (a crash, a power cut), leaving any a save under way still
// writes; returns their names.
QStringList RemovePartialFiles(const QString& fileName);
// The files beside FileName named as earlier versions named their new files
// (the target's name and six letters or digits: "cdsContacts.cds.a1B2c3").
// Such a name is also one an operator may give a file of their own
// ("cdsContacts.cds.backup"), so they are only named, never removed.
QStringList OlderPartialFiles(const QString& fileName);

// A write beyond the process's file size limit (ulimit -f) then fails with
// EFBIG, which a replacement reports, instead of ending the program with
// SIGXFSZ halfway through a save. The program calls it once at start.
void IgnoreFileSizeSignal();
