#include "platform/commatext.h"

namespace {
bool NeedsQuotes(const QString& item)
{
    for (QChar c : item)
        if (c.unicode() <= 32 || c == u'"' || c == u',')
            return true;
    return false;
}
}  // namespace

QString CommaTextFromList(const QStringList& items)
{
    if (items.size() == 1 && items[0].isEmpty())
        return QStringLiteral("\"\"");
    QString out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += u',';
        const QString& item = items[i];
        if (NeedsQuotes(item)) {
            out += u'"';
            QString inner = item;
            inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            out += inner;
            out += u'"';
        } else {
            out += item;
        }
    }
    return out;
}

QStringList CommaTextToList(const QString& input, bool* malformed)
{
    if (malformed)
        *malformed = false;
    // A NUL ends the text, as it would a C string.
    const qsizetype nul = input.indexOf(QChar(0));
    const QString text = nul >= 0 ? input.left(nul) : input;
    const qsizetype n = text.size();
    QStringList items;
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < n && text[p].unicode() >= 1 && text[p].unicode() <= 32)
            ++p;
    };
    skipBlanks();
    while (p < n) {
        QString item;
        if (text[p] == u'"') {
            ++p;
            bool closed = false;
            while (p < n) {
                if (text[p] == u'"') {
                    if (p + 1 < n && text[p + 1] == u'"') {
                        item += u'"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    closed = true;
                    break;
                }
                item += text[p++];
            }
            if (!closed) {
                item.chop(1);
                if (malformed)
                    *malformed = true;
            }
        } else {
            const qsizetype start = p;
            while (p < n && text[p].unicode() > 32 && text[p] != u',')
                ++p;
            item = text.mid(start, p - start);
        }
        items << item;
        skipBlanks();
        if (p < n && text[p] == u',') {
            if (p == n - 1)
                items << QString();
            ++p;
            skipBlanks();
        }
    }
    return items;
}
