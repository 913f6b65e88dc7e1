#include "platform/profilefile.h"

#include "platform/profilefiledisk.h"

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

TNProfileFile::TNProfileFile(const QString& fileName, TProfileAccess access)
    : m_fileName(fileName),
      m_access(access),
      m_lines(TProfileLines::Decode(ReadProfileBytes(fileName).value_or(QByteArray())))
{
}

int TNProfileFile::FindKey(const QString& section, const QString& key) const
{
    const int s = m_lines.FindSection(section);
    return s < 0 ? -1 : m_lines.FindKey(s, key);
}

QString TNProfileFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const int k = FindKey(section, key);
    return k < 0 ? defaultValue : m_lines.ValueAt(k);
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
    const int k = FindKey(section, key);
    if (k >= 0 && m_lines.ValueAt(k) == value.trimmed())
        return;
    Change([&](TProfileLines& lines) { lines.SetEntry(section, key, value); });
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
    return m_lines.FindSection(section) >= 0;
}

bool TNProfileFile::ValueExists(const QString& section, const QString& key) const
{
    return FindKey(section, key) >= 0;
}

QStringList TNProfileFile::ReadSection(const QString& section) const
{
    const int s = m_lines.FindSection(section);
    return s < 0 ? QStringList() : m_lines.Keys(s);
}

void TNProfileFile::EraseSection(const QString& section)
{
    if (SectionExists(section))
        Change([&](TProfileLines& lines) { lines.EraseSection(section); });
}

void TNProfileFile::DeleteKey(const QString& section, const QString& key)
{
    if (ValueExists(section, key))
        Change([&](TProfileLines& lines) { lines.DeleteKey(section, key); });
}

void TNProfileFile::UpdateFile()
{
    Change([](TProfileLines&) {});
}

void TNProfileFile::Change(const std::function<void(TProfileLines&)>& apply)
{
    const TProfileFileLock lock(m_fileName);
    const std::optional<QByteArray> bytes = ReadProfileBytes(m_fileName);
    if (!bytes)
        throw EProfileFileError(QStringLiteral("Unable to write to %1").arg(m_fileName));
    TProfileLines lines = TProfileLines::Decode(*bytes);
    apply(lines);
    if (!ReplaceProfileFile(m_fileName, lines.Encode(), m_access == TProfileAccess::OwnerOnly))
        throw EProfileFileError(QStringLiteral("Unable to write to %1").arg(m_fileName));
    m_lines = std::move(lines);
}
