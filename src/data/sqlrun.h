#pragma once
// Running one parameterised query on a connection (the dataset layer's
// PrepareSql/ExecPrepared: values bound, never pasted), failures raised as
// EDatabaseError naming the routine.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>

// A forward-only query, executed, positioned before its first row.
QSqlQuery OpenQuery(const QSqlDatabase& db, const QString& sql, const QVariantMap& params, const QString& routine);
