#include "data/sqlrun.h"

#include "db/sqlexec.h"

QSqlQuery OpenQuery(const QSqlDatabase& db, const QString& sql, const QVariantMap& params, const QString& routine)
{
    QSqlQuery query = PrepareSql(db, sql, ParamMapValues(params), routine);
    ExecPrepared(query, routine);
    return query;
}
