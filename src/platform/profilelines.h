#pragma once
// The lines of an INI text, each kept as the bytes it was read from and as
// text, so that a line nobody changes is written back byte for byte.
//
// A line that is valid UTF-8 reads as UTF-8; any other line reads as the
// 8-bit code page (Windows-1252) the settings files were written in. A line
// written anew uses the code page when the text already holds such lines and
// the value reads back unchanged that way, else UTF-8.
//
// Section and key names compare without regard to letter case.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class TProfileLines {
public:
    static TProfileLines Decode(const QByteArray& bytes);
    // Every line followed by a line feed.
    QByteArray Encode() const;

    bool IsEmpty() const { return m_lines.isEmpty(); }
    int FindSection(const QString& section) const;           // line index of "[section]" or -1
    int FindKey(int sectionLine, const QString& key) const;  // line index of "key=..." or -1
    // The value of the entry at a line, blanks around it removed.
    QString ValueAt(int line) const;
    QStringList Keys(int sectionLine) const;  // in file order

    // Replaces the entry or adds it (a missing section goes at the end).
    void SetEntry(const QString& section, const QString& key, const QString& value);
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

private:
    struct Line {
        QByteArray raw;  // without its line feed
        QString text;    // without a carriage return or byte-order mark
    };
    static QString KeyOf(const QString& line);
    int SectionEnd(int sectionLine) const;  // index after the last line of the section
    Line Make(const QString& text) const;

    QList<Line> m_lines;
    bool m_codePage = false;  // some line read as Windows-1252
};
