#include "db/connection.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>

#include "db/dberror.h"
#include "db/sqlexec.h"

namespace {

QAtomicInteger<quint64> connectionCounter;

void RunPragma(QSqlDatabase& db, const QString& pragma)
{
    QSqlQuery query(db);
    // A read-only medium cannot switch to WAL; the connection still works.
    query.exec(pragma);
}

// The settings every connection runs with (see connection.h).
void ApplySettings(QSqlDatabase& db)
{
    RunPragma(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    RunPragma(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    RunPragma(db, QStringLiteral("PRAGMA foreign_keys=ON"));
}

}  // namespace

QSqlDatabase OpenSqliteConnection(const QString& connectionName, const QString& filePath, TOpenMode mode)
{
    if (QSqlDatabase::contains(connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isOpen())
            return db;
    }
    const QString absolute = QFileInfo(filePath).absoluteFilePath();
    if (mode == TOpenMode::omExisting && !QFileInfo(absolute).isFile())
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": the file does not exist").arg(absolute));
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    // A URI with mode=rw never creates the file, even if it vanished since the
    // check above.
    const QString uri = QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded) +
                        (mode == TOpenMode::omExisting ? QStringLiteral("?mode=rw") : QStringLiteral("?mode=rwc"));
    db.setDatabaseName(uri);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open()) {
        const QString text = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": %2").arg(absolute, text));
    }
    ApplySettings(db);
    return db;
}

void ReopenSqliteConnection(QSqlDatabase& db)
{
    db.close();
    if (!db.open())
        throw EDatabaseError(
            QStringLiteral("Cannot open database \"%1\": %2").arg(db.databaseName(), db.lastError().text()));
    ApplySettings(db);
}

void CloseSqliteConnection(const QString& connectionName) noexcept
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

QString UniqueConnectionName(const QString& prefix)
{
    return prefix + QString::number(connectionCounter.fetchAndAddOrdered(1) + 1);
}

QString ThreadConnectionName()
{
    QThread* thread = QThread::currentThread();
    QString base = thread->objectName();
    if (base.isEmpty())
        base = QStringLiteral("thread-%1").arg(quintptr(thread), 0, 16);
    return UniqueConnectionName(base + QLatin1Char('-'));
}

TNConnection::TNConnection(const QString& connectionName)
    : m_name(connectionName.isEmpty() ? UniqueConnectionName(QStringLiteral("tovix-")) : connectionName)
{
}

TNConnection::~TNConnection()
{
    Close();
}

void TNConnection::SetDatabasePath(const QString& path)
{
    if (path == m_path)
        return;
    Close();
    m_path = path;
}

void TNConnection::Open()
{
    if (m_open)
        return;
    if (m_path.isEmpty())
        throw EDatabaseError(QStringLiteral("TNConnection.Open(): no database file given"));
    OpenSqliteConnection(m_name, m_path);
    m_open = true;
}

void TNConnection::Close() noexcept
{
    if (!m_open)
        return;
    CloseSqliteConnection(m_name);
    m_open = false;
}

QSqlDatabase TNConnection::Database()
{
    Open();
    return QSqlDatabase::database(m_name, false);
}

int TNConnection::ExecSQL(const QString& sql, const QVariantMap& params)
{
    return ExecuteSql(Database(), sql, params, QStringLiteral("TNConnection.ExecSQL()"));
}

QVariant TNConnection::QueryValue(const QString& sql, const QVariantMap& params)
{
    const QString routine = QStringLiteral("TNConnection.QueryValue()");
    QSqlQuery query = PrepareSql(Database(), sql, ParamMapValues(params), routine);
    ExecPrepared(query, routine);
    return query.next() ? query.value(0) : QVariant();
}
