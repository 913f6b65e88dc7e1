#pragma once
// An INI ("profile") file read and written one entry at a time.
//
// Section and key names compare without regard to letter case. Every line
// the program does not write (other sections, foreign keys, comments, blank
// lines) is kept byte for byte. Each write goes to disk at once: under a lock
// on the file's folder the file is read again, only the entry written changes
// (so edits made by others since, and entries of other objects or processes
// on the same file, survive), and the result replaces the file through a
// temporary file and a rename, so a crash never leaves half a file. Writing
// an entry with the value this object already holds for it is no change and
// leaves the file alone. A failed write throws
// EProfileFileError("Unable to write to <path>").
//
// Thread rules: one object belongs to one thread (the main thread for the
// program's two INI files).

#include "platform/profilelines.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

class EProfileFileError : public std::runtime_error {
public:
    explicit EProfileFileError(const QString& message);
    QString Message() const { return QString::fromStdString(what()); }
};

// Who may read the file: Shared keeps the mode a file has (a new file gets
// the usual one); OwnerOnly makes it readable and writable by its owner only,
// on creation and on every write (for files that hold passwords).
enum class TProfileAccess { Shared, OwnerOnly };

class TNProfileFile {
public:
    explicit TNProfileFile(const QString& fileName, TProfileAccess access = TProfileAccess::Shared);

    QString FileName() const { return m_fileName; }

    // The value of the entry with blanks around it removed, or Default when
    // the section or key is missing.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Integer with the class library's rules: decimal with an optional sign,
    // "0x"/"$" hexadecimal; anything else gives Default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    // "0" is false, any other integer true; unreadable gives Default.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList ReadSection(const QString& section) const;  // the keys, in file order
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    // Writes are already on disk; this writes the file once more (and so
    // creates it when nothing was written yet).
    void UpdateFile();

private:
    int FindKey(const QString& section, const QString& key) const;  // line index or -1
    // Reads the file again under the lock, applies the change and replaces
    // the file; the object then holds what was written. On failure nothing
    // in the object changes.
    void Change(const std::function<void(TProfileLines&)>& apply);

    QString m_fileName;
    TProfileAccess m_access;
    TProfileLines m_lines;
};

// Integer text with the class library's rules (see ReadInteger); ok tells
// whether the whole text was a number.
int ParseDelphiInteger(const QString& text, bool* ok);
