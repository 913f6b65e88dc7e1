#pragma once
// Connections to the SQLite files of the program.
//
// Every connection runs with a WAL journal (readers never wait for the
// writer), a busy time-out of BusyTimeoutMs and foreign keys on. A connection
// opens an existing file only: a missing file is an error, never a new empty
// database.
//
// Thread rule: a QSqlDatabase connection belongs to the thread that opened it.
// The main thread works on the connection of its data module; every worker
// thread opens a connection of its own on the same file (DatabasePath of the
// main connection) under a name of its own (ThreadConnectionName), uses it
// only on that thread and closes it before the thread ends. Datasets and
// transactions use the connection they were given and never cross threads.
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>

constexpr int BusyTimeoutMs = 5000;

// Lets no wait for another writer's lock, on any connection of any thread,
// go on past MaxMs from now (0: no more waits at all): the shut-down ends
// within a bounded time whatever another program does with the file, and a
// write that meets the lock then fails as "database is locked". A later call
// moves the bound; ResetDatabaseWaits takes it away. Any thread.
void LimitDatabaseWaits(int maxMs);
void ResetDatabaseWaits();

enum class TOpenMode { omExisting, omCreate };

// Opens (or returns the already open) connection of this name on the file and
// applies the settings above. Raises EDatabaseError naming the file.
QSqlDatabase OpenSqliteConnection(const QString& connectionName, const QString& filePath,
                                  TOpenMode mode = TOpenMode::omExisting);
// Closes the connection and opens it again on the same file with the same
// settings (every copy of the handle follows; its queries end). SQLite
// decides at opening whether a file can be written: a connection opened
// while it could not stays read-only until it is opened again. Raises
// EDatabaseError when the file cannot be opened.
void ReopenSqliteConnection(QSqlDatabase& db);
// The connection waits at most Ms for another writer's lock from now on
// (BusyTimeoutMs when opened; LimitDatabaseWaits bounds it as every wait).
void SetBusyWait(QSqlDatabase& db, int ms);
// Closes and forgets the named connection; nothing happens for an unknown
// name. Call only when no query of the connection is alive.
void CloseSqliteConnection(const QString& connectionName) noexcept;
// A connection name no other connection of this process has: Prefix + number.
QString UniqueConnectionName(const QString& prefix);
// The name a worker thread uses for its own connection: the thread's object
// name (or its address) plus a running number, so two threads never share one.
QString ThreadConnectionName();

// One named connection on one file, opened on demand. Datasets refer to it
// (it must outlive them). Create, use and destroy it on one thread.
class TNConnection {
public:
    // An empty name takes a unique one.
    explicit TNConnection(const QString& connectionName = QString());
    ~TNConnection();
    TNConnection(const TNConnection&) = delete;
    TNConnection& operator=(const TNConnection&) = delete;

    // The file the connection opens. Changing it closes the connection.
    void SetDatabasePath(const QString& path);
    const QString& DatabasePath() const { return m_path; }
    const QString& ConnectionName() const { return m_name; }

    void Open();  // raises EDatabaseError
    void Close() noexcept;
    bool Connected() const { return m_open; }
    // The open connection (opened first when it is closed).
    QSqlDatabase Database();

    // Runs one statement with bound ":Name" parameters; returns the rows it
    // changed.
    int ExecSQL(const QString& sql, const QVariantMap& params = QVariantMap());
    // The first column of the first row (an invalid value when none).
    QVariant QueryValue(const QString& sql, const QVariantMap& params = QVariantMap());

private:
    QString m_name;
    QString m_path;
    bool m_open = false;
};
