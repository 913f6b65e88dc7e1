#include "platform/profilefile.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <cstdint>

EProfileFileError::EProfileFileError(const QString& message) : std::runtime_error(message.toStdString()) {}

namespace {
// Hexadecimal digits only: no sign, no second prefix, no blank.
qint64 ParseHexDigits(const QString& digits, bool* ok)
{
    *ok = false;
    if (digits.isEmpty())
        return 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return 0;
    }
    const qint64 value = digits.toLongLong(ok, 16);
    if (*ok && value > 0xFFFFFFFFLL)
        *ok = false;
    return *ok ? value : 0;
}
}  // namespace

int ParseDelphiInteger(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    bool good = false;
    qint64 value = 0;
    // Hexadecimal texts of up to 8 digits cover the whole 32-bit pattern
    // ("$FFFFFFFF" is -1); decimal texts must lie in the 32-bit range.
    if (t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        value = ParseHexDigits(t.mid(2), &good);
    } else if (t.size() > 1 && t[0] == u'$') {
        value = ParseHexDigits(t.mid(1), &good);
    } else {
        value = t.toLongLong(&good, 10);
        if (good && (value > INT32_MAX || value < INT32_MIN))
            good = false;
    }
    if (ok)
        *ok = good;
    return good ? static_cast<int>(static_cast<quint32>(value)) : 0;
}

TNProfileFile::TNProfileFile(const QString& fileName) : m_fileName(fileName)
{
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        while (!in.atEnd())
            m_lines << in.readLine();
    }
}

QString TNProfileFile::KeyOf(const QString& line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#') || t.startsWith(u'['))
        return {};
    const int eq = t.indexOf(u'=');
    if (eq <= 0)
        return {};
    return t.left(eq).trimmed();
}

int TNProfileFile::FindSection(const QString& section) const
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString t = m_lines[i].trimmed();
        if (t.startsWith(u'[')) {
            const int close = t.indexOf(u']');
            if (close > 0 && t.mid(1, close - 1).trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
                return i;
        }
    }
    return -1;
}

int TNProfileFile::SectionEnd(int sectionLine) const
{
    int i = sectionLine + 1;
    while (i < m_lines.size() && !m_lines[i].trimmed().startsWith(u'['))
        ++i;
    return i;
}

int TNProfileFile::FindKey(int sectionLine, const QString& key) const
{
    const QString wanted = key.trimmed();
    const int end = SectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i)
        if (KeyOf(m_lines[i]).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TNProfileFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const int s = FindSection(section);
    if (s < 0)
        return defaultValue;
    const int k = FindKey(s, key);
    if (k < 0)
        return defaultValue;
    const QString& line = m_lines[k];
    return line.mid(line.indexOf(u'=') + 1).trimmed();
}

int TNProfileFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int v = ParseDelphiInteger(ReadString(section, key, QString()), &ok);
    return ok ? v : defaultValue;
}

bool TNProfileFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TNProfileFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QString entry = key.trimmed() + u'=' + value;
    const QStringList before = m_lines;
    int s = FindSection(section);
    if (s < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines << QString();
        m_lines << u'[' + section.trimmed() + u']' << entry;
    } else {
        const int k = FindKey(s, key);
        if (k >= 0) {
            m_lines[k] = entry;
        } else {
            // After the last non-blank line of the section, so a blank line
            // that separates it from the next section stays where it was.
            int at = SectionEnd(s);
            while (at > s + 1 && m_lines[at - 1].trimmed().isEmpty())
                --at;
            m_lines.insert(at, entry);
        }
    }
    try {
        Save();
    } catch (...) {
        m_lines = before;
        throw;
    }
}

void TNProfileFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TNProfileFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TNProfileFile::SectionExists(const QString& section) const
{
    return FindSection(section) >= 0;
}

bool TNProfileFile::ValueExists(const QString& section, const QString& key) const
{
    const int s = FindSection(section);
    return s >= 0 && FindKey(s, key) >= 0;
}

QStringList TNProfileFile::ReadSection(const QString& section) const
{
    QStringList keys;
    const int s = FindSection(section);
    if (s < 0)
        return keys;
    const int end = SectionEnd(s);
    for (int i = s + 1; i < end; ++i) {
        const QString k = KeyOf(m_lines[i]);
        if (!k.isEmpty())
            keys << k;
    }
    return keys;
}

void TNProfileFile::EraseSection(const QString& section)
{
    const int s = FindSection(section);
    if (s < 0)
        return;
    const QStringList before = m_lines;
    m_lines.erase(m_lines.begin() + s, m_lines.begin() + SectionEnd(s));
    try {
        Save();
    } catch (...) {
        m_lines = before;
        throw;
    }
}

void TNProfileFile::DeleteKey(const QString& section, const QString& key)
{
    const int s = FindSection(section);
    if (s < 0)
        return;
    const int k = FindKey(s, key);
    if (k < 0)
        return;
    const QStringList before = m_lines;
    m_lines.removeAt(k);
    try {
        Save();
    } catch (...) {
        m_lines = before;
        throw;
    }
}

void TNProfileFile::UpdateFile()
{
    Save();
}

void TNProfileFile::Save()
{
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw EProfileFileError(QStringLiteral("Unable to write to %1").arg(m_fileName));
    QByteArray text;
    for (const QString& line : std::as_const(m_lines)) {
        text += line.toUtf8();
        text += '\n';
    }
    if (file.write(text) != text.size() || !file.commit())
        throw EProfileFileError(QStringLiteral("Unable to write to %1").arg(m_fileName));
}
