#pragma once
// Running statements with bound parameters. Values are always bound, never
// pasted into the text: a name with a quote is just a name.
//
// Stored forms: a date-time is local time as text "yyyy-MM-dd HH:mm:ss.zzz",
// a Boolean is 0 or 1, a null value (an invalid or null QVariant) is NULL.
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>

QString DateTimeToSqlText(const QDateTime& value);
// Reads the stored text (a blank or "T" between date and time, with or
// without milliseconds); an invalid QDateTime when it is none of these.
QDateTime DateTimeFromSqlText(const QString& text);
// The value as it is bound: date-times to text, Booleans to 0/1.
QVariant ToSqlValue(const QVariant& value);

using TParamValueFunc = std::function<QVariant(const QString& name)>;

// Prepares the statement on the connection and binds every ":Name" with the
// value ValueOf gives for it. Raises EDatabaseError naming Routine.
QSqlQuery PrepareSql(const QSqlDatabase& db, const QString& sql, const TParamValueFunc& valueOf,
                     const QString& routine);
// Runs a prepared query; raises EDatabaseError naming Routine and the text.
void ExecPrepared(QSqlQuery& query, const QString& routine);
// The value of a parameter map, whose names are compared without regard to
// case; a missing name gives NULL.
TParamValueFunc ParamMapValues(const QVariantMap& params);

// Prepares, binds and runs one statement; returns the rows it changed.
int ExecuteSql(const QSqlDatabase& db, const QString& sql, const QVariantMap& params, const QString& routine);
