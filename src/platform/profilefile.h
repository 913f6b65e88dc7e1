#pragma once
// An INI ("profile") file read and written one entry at a time.
//
// Section and key names compare without regard to letter case. Every line
// the program does not write (other sections, foreign keys, comments, blank
// lines) is kept as it was. Each write goes to disk at once, through a
// temporary file that replaces the original, so a crash never leaves half a
// file; a failed write throws EProfileFileError("Unable to write to <path>").
//
// Thread rules: one object belongs to one thread (the main thread for the
// program's two INI files).

#include <QString>
#include <QStringList>
#include <stdexcept>

class EProfileFileError : public std::runtime_error {
public:
    explicit EProfileFileError(const QString& message);
    QString Message() const { return QString::fromStdString(what()); }
};

class TNProfileFile {
public:
    explicit TNProfileFile(const QString& fileName);

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
    int FindSection(const QString& section) const;             // line index of "[section]" or -1
    int SectionEnd(int sectionLine) const;                       // index after the last line of the section
    int FindKey(int sectionLine, const QString& key) const;      // line index of "key=..." or -1
    static QString KeyOf(const QString& line);
    void Save();

    QString m_fileName;
    QStringList m_lines;
};

// Integer text with the class library's rules (see ReadInteger); ok tells
// whether the whole text was a number.
int ParseDelphiInteger(const QString& text, bool* ok);
