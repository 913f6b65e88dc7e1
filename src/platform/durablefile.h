#pragma once
// Replacing a whole file so that a failure never leaves it damaged.
//
// The bytes go to a new file beside the target; every write is checked and
// the new file is synced to the disk before one rename puts it in place, so
// the target holds either its old content or the whole new one, also after a
// crash or a power cut. Any failure (no room, a folder that refuses new
// files, a file size limit) removes the new file and leaves the target as it
// was.

#include <QByteArray>
#include <QString>

// False, with the system's reason in ErrorText, when the file could not be
// replaced.
bool ReplaceFileDurably(const QString& fileName, const QByteArray& bytes, QString* errorText);
