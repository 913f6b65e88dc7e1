#include "db/sqlexec.h"

#include <QSqlError>

#include "db/dberror.h"
#include "db/sqltext.h"

QString DateTimeToSqlText(const QDateTime& value)
{
    return value.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QDateTime DateTimeFromSqlText(const QString& text)
{
    QString t = text.trimmed();
    if (t.size() > 10 && t[10] == u' ')
        t[10] = u'T';
    QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!dt.isValid() && t.size() == 10)
        dt = QDateTime(QDate::fromString(t, Qt::ISODate), QTime(0, 0));
    if (dt.isValid() && dt.timeSpec() != Qt::LocalTime)
        dt = dt.toLocalTime();
    return dt;
}

QVariant ToSqlValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (value.typeId()) {
        case QMetaType::QDateTime:
            return DateTimeToSqlText(value.toDateTime());
        case QMetaType::QDate:
            return value.toDate().toString(Qt::ISODate);
        case QMetaType::Bool:
            return value.toBool() ? 1 : 0;
        default:
            return value;
    }
}

QSqlQuery PrepareSql(const QSqlDatabase& db, const QString& sql, const TParamValueFunc& valueOf, const QString& routine)
{
    const TPositionalSql positional = ToPositionalSql(sql);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(positional.Sql))
        throw EDatabaseError(QStringLiteral("%1: %2\n%3").arg(routine, query.lastError().text(), sql));
    for (const QString& name : positional.ParamNames)
        query.addBindValue(ToSqlValue(valueOf ? valueOf(name) : QVariant()));
    return query;
}

void ExecPrepared(QSqlQuery& query, const QString& routine)
{
    if (!query.exec())
        throw EDatabaseError(QStringLiteral("%1: %2").arg(routine, query.lastError().text()));
}

TParamValueFunc ParamMapValues(const QVariantMap& params)
{
    return [params](const QString& name) -> QVariant {
        const auto it = params.constFind(name);
        if (it != params.constEnd())
            return it.value();
        for (auto p = params.constBegin(); p != params.constEnd(); ++p) {
            if (p.key().compare(name, Qt::CaseInsensitive) == 0)
                return p.value();
        }
        return QVariant();
    };
}

int ExecuteSql(const QSqlDatabase& db, const QString& sql, const QVariantMap& params, const QString& routine)
{
    QSqlQuery query = PrepareSql(db, sql, ParamMapValues(params), routine);
    ExecPrepared(query, routine);
    const int rows = query.numRowsAffected();
    return rows < 0 ? 0 : rows;
}
