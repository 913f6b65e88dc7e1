#include "ui/plugins/embedtext.h"

#include <QLocale>
#include <QRegularExpression>
#include <limits>

EEmbedEditorError::EEmbedEditorError(const QString& message) : std::runtime_error(message.toStdString()) {}

const QString& ItemAt(const QStringList& items, qsizetype index)
{
    if (index < 0 || index >= items.size())
        throw EEmbedEditorError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return items[index];
}

namespace {
int DigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int v = -1;
    if (u >= u'0' && u <= u'9')
        v = u - u'0';
    else if (u >= u'a' && u <= u'f')
        v = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        v = u - u'A' + 10;
    return v < base ? v : -1;
}

// Sign, optional hexadecimal prefix, digits; the magnitude must fit the
// signed range of the given limit (one more for a negative value).
bool ParseInteger(const QString& text, bool allowHex, quint64 positiveLimit, qint64* value)
{
    qsizetype p = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (p < n && (text[p] == u'-' || text[p] == u'+')) {
        negative = text[p] == u'-';
        ++p;
    }
    int base = 10;
    if (allowHex && p < n) {
        if (text[p] == u'$' || text[p] == u'x' || text[p] == u'X') {
            base = 16;
            ++p;
        } else if (text[p] == u'0' && p + 1 < n && (text[p + 1] == u'x' || text[p + 1] == u'X')) {
            base = 16;
            p += 2;
        }
    }
    if (p >= n)
        return false;
    const quint64 limit = negative ? positiveLimit + 1 : positiveLimit;
    quint64 magnitude = 0;
    for (; p < n; ++p) {
        const int d = DigitValue(text[p], base);
        if (d < 0)
            return false;
        if (magnitude > (limit - quint64(d)) / quint64(base))
            return false;
        magnitude = magnitude * quint64(base) + quint64(d);
    }
    if (negative)
        *value = magnitude > positiveLimit ? -qint64(positiveLimit) - 1 : -qint64(magnitude);
    else
        *value = qint64(magnitude);
    return true;
}
}  // namespace

bool TryStrToInt64(const QString& text, qint64* value)
{
    qint64 v = 0;
    if (!ParseInteger(text, true, quint64(std::numeric_limits<qint64>::max()), &v))
        return false;
    *value = v;
    return true;
}

int StrToIntChecked(const QString& text)
{
    qint64 v = 0;
    if (!ParseInteger(text, true, quint64(std::numeric_limits<int>::max()), &v))
        throw EEmbedEditorError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return int(v);
}

bool TryDecimalToInt(const QString& text, int* value)
{
    qint64 v = 0;
    if (!ParseInteger(text, false, quint64(std::numeric_limits<int>::max()), &v))
        return false;
    *value = int(v);
    return true;
}

bool StrToBoolChecked(const QString& text)
{
    // Decimal numbers only, with an optional fraction and exponent: not the
    // hexadecimal forms of the integer conversion, nor "nan" or "inf".
    static const QRegularExpression decimal(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    bool isNumber = false;
    const double number = decimal.match(text).hasMatch() ? QLocale::c().toDouble(text.trimmed(), &isNumber) : 0.0;
    if (isNumber)
        return number != 0.0;
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    throw EEmbedEditorError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

bool IsPhoneNumberText(const QString& text)
{
    for (QChar c : text)
        if (!((c >= u'0' && c <= u'9') || c == u'+'))
            return false;
    return true;
}

bool IsValidPortText(const QString& text)
{
    qint64 port = -1;
    return TryStrToInt64(TrimBlanksAndControls(text), &port) && port >= 0 && port <= 65535;
}
