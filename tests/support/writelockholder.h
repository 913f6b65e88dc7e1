#pragma once
// Another program writing to a database file: a connection of its own that
// holds the file's write lock (as an sqlite3 shell's BEGIN IMMEDIATE does)
// while it lives.
#include "db/connection.h"

#include <QSqlDatabase>
#include <QSqlQuery>

class WriteLockHolder {
public:
    explicit WriteLockHolder(const QString& path)
    {
        m_db = OpenSqliteConnection(m_name, path);
        m_held = QSqlQuery(m_db).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteLockHolder()
    {
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        m_db = QSqlDatabase();
        CloseSqliteConnection(m_name);
    }
    WriteLockHolder(const WriteLockHolder&) = delete;
    WriteLockHolder& operator=(const WriteLockHolder&) = delete;
    bool Held() const { return m_held; }

private:
    QString m_name = UniqueConnectionName(QStringLiteral("lock-holder-"));
    QSqlDatabase m_db;
    bool m_held = false;
};
