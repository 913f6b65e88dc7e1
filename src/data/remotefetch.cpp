#include "data/remotefetch.h"

#include "data/remotedataprotocol.h"

#include <QJsonDocument>
#include <algorithm>
#include <charconv>

namespace {
constexpr int kMaxDepth = 64;

// Walks JSON text without building values, except the ones asked for.
class TScanner {
public:
    TScanner(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    char Peek()
    {
        SkipSpace();
        return m_p < m_end ? *m_p : '\0';
    }
    bool Take(char c)
    {
        if (Peek() != c)
            return false;
        ++m_p;
        return true;
    }
    const char* Position()
    {
        SkipSpace();
        return m_p;
    }
    bool Literal(const char* word)
    {
        SkipSpace();
        const size_t n = strlen(word);
        if (size_t(m_end - m_p) < n || memcmp(m_p, word, n) != 0)
            return false;
        m_p += n;
        return true;
    }
    // A string value; its text goes to Out when given.
    bool String(QString* out)
    {
        if (!Take('"'))
            return false;
        const char* run = m_p;
        QString text;
        bool escaped = false;
        while (m_p < m_end && *m_p != '"') {
            if (*m_p != '\\') {
                ++m_p;
                continue;
            }
            escaped = true;
            if (out)
                text += QString::fromUtf8(run, m_p - run);
            if (m_end - m_p < 2)
                return false;
            const char c = m_p[1];
            m_p += 2;
            char16_t plain = 0;
            switch (c) {
                case '"':
                case '\\':
                case '/':
                    plain = char16_t(c);
                    break;
                case 'b':
                    plain = u'\b';
                    break;
                case 'f':
                    plain = u'\f';
                    break;
                case 'n':
                    plain = u'\n';
                    break;
                case 'r':
                    plain = u'\r';
                    break;
                case 't':
                    plain = u'\t';
                    break;
                case 'u': {
                    unsigned code = 0;
                    if (m_end - m_p < 4 || std::from_chars(m_p, m_p + 4, code, 16).ptr != m_p + 4)
                        return false;
                    m_p += 4;
                    plain = char16_t(code);
                    break;
                }
                default:
                    return false;
            }
            if (out)
                text += QChar(plain);
            run = m_p;
        }
        if (m_p >= m_end)
            return false;
        if (out) {
            if (escaped)
                text += QString::fromUtf8(run, m_p - run);
            *out = escaped ? text : QString::fromUtf8(run, m_p - run);
        }
        ++m_p;
        return true;
    }
    // A number's text, read as a double; false for one no double holds
    // (1e400, -1e999, 1e-400), which would otherwise read as 0.
    bool Number(double* value)
    {
        SkipSpace();
        const char* start = m_p;
        while (m_p < m_end && (std::isdigit(static_cast<unsigned char>(*m_p)) || *m_p == '-' || *m_p == '+' ||
                               *m_p == '.' || *m_p == 'e' || *m_p == 'E'))
            ++m_p;
        if (m_p == start)
            return false;
        const std::from_chars_result read = std::from_chars(start, m_p, *value);
        return read.ptr == m_p && read.ec == std::errc();
    }
    // A number's text skipped, whatever its size.
    bool SkipNumber()
    {
        double number = 0;
        const char* start = Position();
        return Number(&number) || (m_p > start && std::from_chars(start, m_p, number).ptr == m_p);
    }
    bool SkipValue(int depth = 0)
    {
        if (depth > kMaxDepth)
            return false;
        const char c = Peek();
        if (c == '"')
            return String(nullptr);
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++m_p;
            if (Take(close))
                return true;
            do {
                if (c == '{' && !(String(nullptr) && Take(':')))
                    return false;
                if (!SkipValue(depth + 1))
                    return false;
            } while (Take(','));
            return Take(close);
        }
        return Literal("true") || Literal("false") || Literal("null") || SkipNumber();
    }
    // Visits the members of an object: Visit reads or skips the value of
    // each key.
    template <class F>
    bool Members(F visit)
    {
        if (!Take('{'))
            return false;
        if (Take('}'))
            return true;
        do {
            QString key;
            if (!String(&key) || !Take(':') || !visit(key))
                return false;
        } while (Take(','));
        return Take('}');
    }

private:
    void SkipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }

    const char* m_p;
    const char* m_end;
};

// The text of a cell as it came, shortened, for error texts.
QString CellText(const char* begin, const char* end)
{
    const QString text = QString::fromUtf8(begin, std::min<qsizetype>(end - begin, 40)).trimmed();
    return end - begin > 40 ? text + QStringLiteral("...") : text;
}

struct TColumn {
    int Def = -1;  // the client's field, -1 when the client has none of that name
    TFieldKind Kind = TFieldKind::fkUnknown;
    QString Name;
    bool Key = false;
    QString Previous;  // the last text of the column: equal texts share one copy
};

class TRowReader {
public:
    TRowReader(std::vector<TColumn>& columns, size_t width) : m_columns(columns), m_width(width) {}

    bool Rows(TScanner& scan, std::vector<std::vector<QVariant>>* rows, QString* errorText)
    {
        if (!scan.Take('['))
            return Fail(errorText, QStringLiteral("its \"rows\" are no list"));
        if (scan.Take(']'))
            return true;
        do {
            ++m_row;
            std::vector<QVariant> values(m_width);
            if (!scan.Take('['))
                return Fail(errorText, QStringLiteral("row %1 is no list").arg(m_row));
            for (size_t c = 0; c < m_columns.size(); ++c) {
                if (c > 0 && !scan.Take(','))
                    return Fail(errorText, QStringLiteral("row %1 has fewer cells than there are fields").arg(m_row));
                if (!Cell(scan, m_columns[c], values, errorText))
                    return false;
            }
            if (!scan.Take(']'))
                return Fail(errorText, QStringLiteral("row %1 has more cells than there are fields").arg(m_row));
            rows->push_back(std::move(values));
        } while (scan.Take(','));
        if (!scan.Take(']'))
            return Fail(errorText, QStringLiteral("its \"rows\" are malformed after row %1").arg(m_row));
        std::sort(m_ids.begin(), m_ids.end());
        const auto twice = std::adjacent_find(m_ids.begin(), m_ids.end());
        if (twice != m_ids.end())
            return Fail(errorText, QStringLiteral("the ID %1 is given to more than one row").arg(*twice));
        return true;
    }

private:
    static bool Fail(QString* errorText, const QString& text)
    {
        *errorText = text;
        return false;
    }
    bool Wrong(QString* errorText, const TColumn& column, const char* begin, TScanner& scan, const char* what)
    {
        scan.SkipValue();
        return Fail(errorText, QStringLiteral("row %1: %2 %3 %4")
                                   .arg(m_row)
                                   .arg(column.Name, CellText(begin, scan.Position()), QLatin1String(what)));
    }

    bool Cell(TScanner& scan, TColumn& column, std::vector<QVariant>& values, QString* errorText)
    {
        const char* begin = scan.Position();
        if (column.Def < 0) {
            if (!scan.SkipValue())
                return Fail(errorText, QStringLiteral("row %1 is malformed").arg(m_row));
            return true;
        }
        if (scan.Literal("null")) {
            if (column.Key)
                return Fail(errorText, QStringLiteral("row %1 has no %2").arg(m_row).arg(column.Name));
            return true;
        }
        QVariant& value = values[size_t(column.Def)];
        switch (column.Kind) {
            case TFieldKind::fkInteger:
            case TFieldKind::fkSmallInt:
            case TFieldKind::fkAutoInc: {
                double number = 0;
                qint32 whole = 0;
                if (scan.Peek() == '"' || !scan.Number(&number) || !RemoteWholeInt32(number, &whole))
                    return Wrong(errorText, column, begin, scan, "is not a whole number within 32 bits");
                if (!WholeNumberFitsField(column.Kind, whole))
                    return Wrong(errorText, column, begin, scan, "is not a whole number within 16 bits");
                if (column.Key && whole <= 0)
                    return Wrong(errorText, column, begin, scan, "is not a positive ID");
                if (column.Key)
                    m_ids.push_back(whole);
                value = whole;
                return true;
            }
            case TFieldKind::fkBoolean:
                if (scan.Literal("true") || scan.Literal("false")) {
                    value = *begin == 't';
                    return true;
                }
                return Wrong(errorText, column, begin, scan, "is neither true nor false");
            case TFieldKind::fkString:
            case TFieldKind::fkMemo: {
                QString text;
                if (scan.Peek() != '"' || !scan.String(&text))
                    return Wrong(errorText, column, begin, scan, "is not a text");
                if (text == column.Previous)
                    text = column.Previous;
                else
                    column.Previous = text;
                value = text;
                return true;
            }
            default: {
                // Kinds no shared table has: kept as they come.
                double number = 0;
                QString text;
                if (scan.Peek() == '"' && scan.String(&text))
                    value = text;
                else if (scan.Number(&number))
                    value = number;
                else
                    return Wrong(errorText, column, begin, scan, "is not a value of its field");
                return true;
            }
        }
    }

    std::vector<TColumn>& m_columns;
    size_t m_width;
    int m_row = 0;
    std::vector<qint32> m_ids;
};
}  // namespace

bool WholeNumberFitsField(TFieldKind kind, qint64 value)
{
    if (kind == TFieldKind::fkSmallInt)
        return value >= -32768 && value <= 32767;
    return value >= -2147483648LL && value <= 2147483647LL;
}

bool ReadRemoteReplyHead(const QByteArray& body, qint64* id, bool* ok)
{
    TScanner scan(body.constData(), body.constData() + body.size());
    bool haveId = false;
    bool haveOk = false;
    *ok = false;
    const bool read = scan.Members([&](const QString& key) {
        if (key == QLatin1String("id")) {
            double number = 0;
            if (!scan.Number(&number))
                return scan.SkipValue();
            qint32 whole = 0;
            haveId = RemoteWholeInt32(number, &whole);
            *id = whole;
        } else if (key == QLatin1String("ok")) {
            *ok = scan.Literal("true");
            if (!*ok)
                return scan.SkipValue();
            haveOk = true;
        } else {
            // The head is all that is wanted: stop before a long packet.
            if (haveId && haveOk)
                return false;
            return scan.SkipValue();
        }
        return true;
    });
    return haveId && (read || haveOk);
}

bool ReadFetchAnswer(const QByteArray& body, const std::vector<TNFieldDef>& defs,
                     std::vector<std::vector<QVariant>>* rows, QString* errorText)
{
    rows->clear();
    const char* fieldsBegin = nullptr;
    const char* fieldsEnd = nullptr;
    const char* rowsBegin = nullptr;
    TScanner scan(body.constData(), body.constData() + body.size());
    const bool read = scan.Members([&](const QString& key) {
        if (key != QLatin1String("packet"))
            return scan.SkipValue();
        return scan.Members([&](const QString& part) {
            if (part == QLatin1String("fields"))
                fieldsBegin = scan.Position();
            else if (part == QLatin1String("rows"))
                rowsBegin = scan.Position();
            const bool skipped = scan.SkipValue();
            if (part == QLatin1String("fields"))
                fieldsEnd = scan.Position();
            return skipped;
        });
    });
    if (!read || !fieldsBegin || !rowsBegin) {
        *errorText = QStringLiteral("the answer is no packet of fields and rows");
        return false;
    }
    // The server's columns, matched to the client's fields by name.
    const QJsonDocument fieldDoc =
        QJsonDocument::fromJson(QByteArray::fromRawData(fieldsBegin, fieldsEnd - fieldsBegin));
    std::vector<TColumn> columns;
    bool haveKey = false;
    for (const QJsonValue& value : fieldDoc.array()) {
        TColumn column;
        column.Name = value.toObject().value(QStringLiteral("name")).toString();
        for (size_t i = 0; i < defs.size(); ++i) {
            if (defs[i].Name.compare(column.Name, Qt::CaseInsensitive) == 0) {
                column.Def = int(i);
                column.Kind = defs[i].Kind;
                column.Key = column.Name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0;
                haveKey = haveKey || column.Key;
            }
        }
        columns.push_back(column);
    }
    if (!fieldDoc.isArray() || !haveKey) {
        *errorText = QStringLiteral("the answer names no ID field");
        return false;
    }
    TScanner rowScan(rowsBegin, body.constData() + body.size());
    if (!TRowReader(columns, defs.size()).Rows(rowScan, rows, errorText)) {
        std::vector<std::vector<QVariant>>().swap(*rows);
        return false;
    }
    return true;
}
