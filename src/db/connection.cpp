#include "db/connection.h"

#include <sqlite3.h>
#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "db/dberror.h"
#include "db/sqlexec.h"

namespace {

QAtomicInteger<quint64> connectionCounter;

using TClock = std::chrono::steady_clock;
// The moment after which no wait for a lock goes on (none: the epoch).
std::atomic<TClock::rep> g_waitsEnd{0};

// SQLite's own busy wait (the same growing sleeps up to the connection's
// wait, BusyTimeoutMs unless SetBusyWait changed it), which also gives up
// once the program has bounded its waits and the bound passed.
int BusyWait(void* waitMs, int count)
{
    // The wait is carried as its milliseconds + 1 (no pointer: the default).
    const int limit = waitMs ? int(reinterpret_cast<quintptr>(waitMs)) - 1 : BusyTimeoutMs;
    static constexpr int kDelays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    static constexpr int kTotals[] = {0, 1, 3, 8, 18, 33, 53, 78, 103, 128, 178, 228};
    constexpr int kSteps = int(std::size(kDelays));
    int delay = count < kSteps ? kDelays[count] : kDelays[kSteps - 1];
    const int prior = count < kSteps ? kTotals[count] : kTotals[kSteps - 1] + delay * (count - (kSteps - 1));
    delay = std::min(delay, limit - prior);
    if (const TClock::rep end = g_waitsEnd.load(); end != 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::duration(end) -
                                                                                TClock::now().time_since_epoch());
        delay = std::min<int>(delay, int(std::max<qint64>(left.count(), 0)));
    }
    if (delay <= 0)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    return 1;
}

void InstallBusyWait(QSqlDatabase& db, int waitMs = BusyTimeoutMs)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    if (auto* sqlite = *static_cast<sqlite3* const*>(handle.constData()))
        sqlite3_busy_handler(sqlite, &BusyWait, reinterpret_cast<void*>(quintptr(std::max(waitMs, 0)) + 1));
}

void RunPragma(QSqlDatabase& db, const QString& pragma)
{
    QSqlQuery query(db);
    // A read-only medium cannot switch to WAL; the connection still works.
    query.exec(pragma);
}

// The settings every connection runs with (see connection.h).
void ApplySettings(QSqlDatabase& db)
{
    InstallBusyWait(db);
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

void SetBusyWait(QSqlDatabase& db, int ms)
{
    InstallBusyWait(db, ms);
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

void LimitDatabaseWaits(int maxMs)
{
    const TClock::time_point end = TClock::now() + std::chrono::milliseconds(std::max(maxMs, 0));
    // Never the epoch itself, which means no bound.
    g_waitsEnd = std::max<TClock::rep>(end.time_since_epoch().count(), 1);
}

void ResetDatabaseWaits()
{
    g_waitsEnd = 0;
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
