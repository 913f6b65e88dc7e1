#include "db/writeproblem.h"

#include "db/connection.h"

#include <QSqlError>
#include <QSqlQuery>

TWriteProblem WriteProblemOf(const QString& errorText)
{
    if (errorText.isEmpty())
        return TWriteProblem::wpNone;
    // The texts of SQLite's result codes, which the driver passes on.
    const auto has = [&errorText](const char* text) {
        return errorText.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (has("database is locked") || has("database table is locked"))
        return TWriteProblem::wpLocked;
    if (has("readonly database") || has("read-only"))
        return TWriteProblem::wpReadOnly;
    if (has("database or disk is full"))
        return TWriteProblem::wpFull;
    if (has("disk I/O error"))
        return TWriteProblem::wpDiskError;
    return TWriteProblem::wpOther;
}

bool IsFileProblem(TWriteProblem problem)
{
    return problem != TWriteProblem::wpNone && problem != TWriteProblem::wpOther;
}

QString WriteProblemText(const QString& errorText, const QString& fileName)
{
    switch (WriteProblemOf(errorText)) {
        case TWriteProblem::wpLocked:
            return QStringLiteral("%1 is locked by another program").arg(fileName);
        case TWriteProblem::wpReadOnly:
            return QStringLiteral("%1 is read-only").arg(fileName);
        case TWriteProblem::wpFull:
            return QStringLiteral("the disk holding %1 is full").arg(fileName);
        case TWriteProblem::wpDiskError:
            return QStringLiteral("%1 could not be written to the disk (it may be full)").arg(fileName);
        case TWriteProblem::wpNone:
        case TWriteProblem::wpOther:
            break;
    }
    return errorText;
}

namespace {
QString TryWriteLock(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("begin immediate")))
        return query.lastError().text();
    // A read-only connection takes the lock all the same; only a write
    // tells. The header's user version is written back unchanged and rolled
    // back.
    QString error;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        error = query.lastError().text();
    } else {
        const int version = query.value(0).toInt();
        query.finish();
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)))
            error = query.lastError().text();
    }
    query.finish();
    query.exec(QStringLiteral("rollback"));
    return error;
}
}  // namespace

QString ProbeWritable(QSqlDatabase& db, int waitMs)
{
    if (!db.isOpen())
        return QStringLiteral("the database is not open");
    SetBusyWait(db, waitMs);
    QString error = TryWriteLock(db);
    if (WriteProblemOf(error) == TWriteProblem::wpReadOnly) {
        // SQLite keeps a file it opened read-only so, even once it can be
        // written: a fresh open sees the file as it is now.
        ReopenSqliteConnection(db);
        SetBusyWait(db, waitMs);
        error = TryWriteLock(db);
    }
    SetBusyWait(db, BusyTimeoutMs);
    return error;
}
