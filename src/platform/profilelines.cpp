#include "platform/profilelines.h"

#include "platform/codepage.h"

#include <QStringDecoder>

namespace {
// The text of one line's bytes and whether it had to be read as the code page.
QString DecodeLine(QByteArrayView bytes, bool* codePage)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    *codePage = utf8.hasError();
    return *codePage ? FromCodePage(bytes.toByteArray()) : text;
}
}  // namespace

TProfileLines TProfileLines::Decode(const QByteArray& bytes)
{
    TProfileLines result;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        Line line;
        line.raw = bytes.mid(start, end - start);
        QByteArrayView body(line.raw);
        if (body.endsWith('\r'))
            body.chop(1);
        if (start == 0 && body.startsWith("\xEF\xBB\xBF"))
            body = body.sliced(3);
        bool codePage = false;
        line.text = DecodeLine(body, &codePage);
        result.m_codePage = result.m_codePage || codePage;
        result.m_lines << line;
        start = end + 1;
    }
    return result;
}

QByteArray TProfileLines::Encode() const
{
    QByteArray bytes;
    for (const Line& line : m_lines) {
        bytes += line.raw;
        bytes += '\n';
    }
    return bytes;
}

TProfileLines::Line TProfileLines::Make(const QString& text) const
{
    if (m_codePage) {
        const QByteArray bytes = ToCodePage(text);
        bool codePage = false;
        if (DecodeLine(bytes, &codePage) == text)
            return {bytes, text};
    }
    return {text.toUtf8(), text};
}

QString TProfileLines::KeyOf(const QString& line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#') || t.startsWith(u'['))
        return {};
    const int eq = t.indexOf(u'=');
    if (eq <= 0)
        return {};
    return t.left(eq).trimmed();
}

int TProfileLines::FindSection(const QString& section) const
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString t = m_lines[i].text.trimmed();
        if (t.startsWith(u'[')) {
            const int close = t.indexOf(u']');
            if (close > 0 && t.mid(1, close - 1).trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
                return i;
        }
    }
    return -1;
}

int TProfileLines::SectionEnd(int sectionLine) const
{
    int i = sectionLine + 1;
    while (i < m_lines.size() && !m_lines[i].text.trimmed().startsWith(u'['))
        ++i;
    return i;
}

int TProfileLines::FindKey(int sectionLine, const QString& key) const
{
    const QString wanted = key.trimmed();
    const int end = SectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i)
        if (KeyOf(m_lines[i].text).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TProfileLines::ValueAt(int line) const
{
    const QString& text = m_lines[line].text;
    return text.mid(text.indexOf(u'=') + 1).trimmed();
}

QStringList TProfileLines::Keys(int sectionLine) const
{
    QStringList keys;
    const int end = SectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i) {
        const QString k = KeyOf(m_lines[i].text);
        if (!k.isEmpty())
            keys << k;
    }
    return keys;
}

void TProfileLines::SetEntry(const QString& section, const QString& key, const QString& value)
{
    const Line entry = Make(key.trimmed() + u'=' + value);
    const int s = FindSection(section);
    if (s < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().text.trimmed().isEmpty())
            m_lines << Line();
        m_lines << Make(u'[' + section.trimmed() + u']') << entry;
        return;
    }
    const int k = FindKey(s, key);
    if (k >= 0) {
        m_lines[k] = entry;
        return;
    }
    // After the last non-blank line of the section, so a blank line that
    // separates it from the next section stays where it was.
    int at = SectionEnd(s);
    while (at > s + 1 && m_lines[at - 1].text.trimmed().isEmpty())
        --at;
    m_lines.insert(at, entry);
}

void TProfileLines::EraseSection(const QString& section)
{
    const int s = FindSection(section);
    if (s >= 0)
        m_lines.erase(m_lines.begin() + s, m_lines.begin() + SectionEnd(s));
}

void TProfileLines::DeleteKey(const QString& section, const QString& key)
{
    const int s = FindSection(section);
    const int k = s < 0 ? -1 : FindKey(s, key);
    if (k >= 0)
        m_lines.removeAt(k);
}
