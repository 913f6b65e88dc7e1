#include "db/sqltext.h"

namespace {

bool IsWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Skips a quoted run that starts at i (the opening character) and ends with
// close; a doubled close character stands for itself. Returns the index after
// the closing character (or the text's end).
qsizetype SkipQuoted(const QString& s, qsizetype i, QChar close, QString* content)
{
    qsizetype j = i + 1;
    while (j < s.size()) {
        if (s[j] == close) {
            if (close != u']' && j + 1 < s.size() && s[j + 1] == close) {
                if (content)
                    content->append(close);
                j += 2;
                continue;
            }
            return j + 1;
        }
        if (content)
            content->append(s[j]);
        ++j;
    }
    return j;
}

bool IsKeyword(const TSqlToken& t, const char* word)
{
    return t.Kind == TSqlTokenKind::Word && t.Text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsName(const TSqlToken& t)
{
    return t.Kind == TSqlTokenKind::Word || t.Kind == TSqlTokenKind::QuotedName;
}

}  // namespace

QList<TSqlToken> TokenizeSql(const QString& sql)
{
    QList<TSqlToken> tokens;
    int depth = 0;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        TSqlToken t{TSqlTokenKind::Symbol, QString(), depth, i, 0};
        qsizetype j = i + 1;
        if (c == u'\'') {
            t.Kind = TSqlTokenKind::String;
            j = SkipQuoted(sql, i, u'\'', &t.Text);
        } else if (c == u'"' || c == u'`' || c == u'[') {
            t.Kind = TSqlTokenKind::QuotedName;
            j = SkipQuoted(sql, i, c == u'[' ? QChar(u']') : c, &t.Text);
        } else if ((c == u':' || c == u'@') && i + 1 < n && IsWordStart(sql[i + 1])) {
            t.Kind = TSqlTokenKind::Parameter;
            j = i + 1;
            while (j < n && IsWordChar(sql[j]))
                ++j;
            t.Text = sql.mid(i + 1, j - i - 1);
        } else if (IsWordStart(c)) {
            t.Kind = TSqlTokenKind::Word;
            while (j < n && IsWordChar(sql[j]))
                ++j;
            t.Text = sql.mid(i, j - i);
        } else if (c.isDigit()) {
            t.Kind = TSqlTokenKind::Number;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'.'))
                ++j;
            t.Text = sql.mid(i, j - i);
        } else {
            t.Text = QString(c);
            if (c == u'(')
                ++depth;
            else if (c == u')') {
                depth = depth > 0 ? depth - 1 : 0;
                t.Depth = depth;
            }
        }
        t.Length = j - i;
        tokens.append(t);
        i = j;
    }
    return tokens;
}

QStringList SplitSqlScript(const QString& script)
{
    QStringList statements;
    qsizetype start = 0;
    for (const TSqlToken& t : TokenizeSql(script)) {
        if (t.Kind == TSqlTokenKind::Symbol && t.Text == QLatin1String(";")) {
            statements << script.mid(start, t.Start - start);
            start = t.Start + 1;
        }
    }
    statements << script.mid(start);
    QStringList result;
    for (const QString& s : statements) {
        // A piece that holds only comments has no token.
        if (!TokenizeSql(s).isEmpty())
            result << s.trimmed();
    }
    return result;
}

TPositionalSql ToPositionalSql(const QString& sql)
{
    TPositionalSql result;
    qsizetype copied = 0;
    for (const TSqlToken& t : TokenizeSql(sql)) {
        if (t.Kind != TSqlTokenKind::Parameter)
            continue;
        result.Sql += QStringView(sql).mid(copied, t.Start - copied);
        result.Sql += u'?';
        result.ParamNames << t.Text;
        copied = t.Start + t.Length;
    }
    result.Sql += QStringView(sql).mid(copied);
    return result;
}

QStringList SqlParamNames(const QString& sql)
{
    QStringList names;
    for (const TSqlToken& t : TokenizeSql(sql)) {
        if (t.Kind != TSqlTokenKind::Parameter)
            continue;
        bool known = false;
        for (const QString& n : std::as_const(names))
            known = known || n.compare(t.Text, Qt::CaseInsensitive) == 0;
        if (!known)
            names << t.Text;
    }
    return names;
}

QString SingleSelectTable(const QString& sql)
{
    const QList<TSqlToken> tokens = TokenizeSql(sql);
    qsizetype i = 0;
    if (tokens.isEmpty() || !IsKeyword(tokens[0], "select"))
        return QString();
    if (tokens.size() > 1 && IsKeyword(tokens[1], "distinct"))
        return QString();
    // The top-level FROM.
    for (i = 1; i < tokens.size(); ++i) {
        if (tokens[i].Depth == 0 && IsKeyword(tokens[i], "from"))
            break;
    }
    if (i + 1 >= tokens.size() || !IsName(tokens[i + 1]))
        return QString();
    const QString table = tokens[i + 1].Text;
    i += 2;
    if (i < tokens.size() && IsKeyword(tokens[i], "as"))
        ++i;
    if (i < tokens.size() && IsName(tokens[i]) && !IsKeyword(tokens[i], "where") && !IsKeyword(tokens[i], "order") &&
        !IsKeyword(tokens[i], "limit"))
        ++i;  // the alias
    if (i < tokens.size() && !IsKeyword(tokens[i], "where") && !IsKeyword(tokens[i], "order") &&
        !IsKeyword(tokens[i], "limit"))
        return QString();
    for (; i < tokens.size(); ++i) {
        const TSqlToken& t = tokens[i];
        if (t.Depth != 0)
            continue;
        if (IsKeyword(t, "group") || IsKeyword(t, "having") || IsKeyword(t, "union") || IsKeyword(t, "except") ||
            IsKeyword(t, "intersect") || IsKeyword(t, "join"))
            return QString();
    }
    return table;
}

QStringList SelectTables(const QString& sql)
{
    QStringList tables;
    const QList<TSqlToken> tokens = TokenizeSql(sql);
    bool inFrom = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const TSqlToken& t = tokens[i];
        const bool opens = IsKeyword(t, "from") || IsKeyword(t, "join");
        const bool comma = inFrom && t.Kind == TSqlTokenKind::Symbol && t.Text == QLatin1String(",");
        if (IsKeyword(t, "where") || IsKeyword(t, "order") || IsKeyword(t, "group") || IsKeyword(t, "select"))
            inFrom = false;
        if (opens)
            inFrom = true;
        if (!opens && !comma)
            continue;
        qsizetype j = i + 1;
        while (j < tokens.size() && tokens[j].Kind == TSqlTokenKind::Symbol && tokens[j].Text == QLatin1String("("))
            ++j;
        if (j < tokens.size() && IsName(tokens[j]) && !IsKeyword(tokens[j], "select"))
            tables << tokens[j].Text;
    }
    return tables;
}
