#pragma once
// Reading SQL text without running it: statements of a script, ":Name"
// parameters, and the tables a SELECT reads. The reader knows string
// literals, quoted identifiers and comments, so a ":" or ";" inside them
// means nothing.
#include <QString>
#include <QStringList>

enum class TSqlTokenKind { Word, QuotedName, String, Number, Parameter, Symbol };

struct TSqlToken {
    TSqlTokenKind Kind;
    QString Text;  // a quoted name without its quotes; a parameter without ":"
    int Depth;     // parenthesis depth at the token
    qsizetype Start;
    qsizetype Length;
};

QList<TSqlToken> TokenizeSql(const QString& sql);

// The statements of a script, split at ";" outside literals and comments;
// blank statements are dropped.
QStringList SplitSqlScript(const QString& script);

// The text with every ":Name" parameter replaced by "?" and the names in the
// order of their places (a name used twice appears twice).
struct TPositionalSql {
    QString Sql;
    QStringList ParamNames;
};
TPositionalSql ToPositionalSql(const QString& sql);
// The distinct parameter names in order of first use.
QStringList SqlParamNames(const QString& sql);

// The one table a plain SELECT reads ("select ... from T [alias] [where ...]
// [order by ...]"): no join, no second table, no DISTINCT, GROUP BY or
// compound. Empty when the statement is anything else. Such a query can be
// edited and deleted through.
QString SingleSelectTable(const QString& sql);
// Every table named after FROM or JOIN, at any depth, in order.
QStringList SelectTables(const QString& sql);
