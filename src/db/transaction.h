#pragma once
// One transaction on a connection, rolled back unless committed.
//
//   TNTransaction tx(connection);
//   ... statements and posts on datasets of this connection ...
//   tx.Commit();
//
// Leaving the scope without Commit (an exception, an early return) rolls the
// writes back. Datasets keep the rows they posted in memory: after a rollback
// Refresh the datasets that posted inside the transaction. SQLite has no
// nested transactions: start one per connection at a time.
#include <QSqlDatabase>

class TNConnection;

class TNTransaction {
public:
    explicit TNTransaction(TNConnection& connection);  // raises EDatabaseError
    explicit TNTransaction(const QSqlDatabase& db);
    ~TNTransaction();
    TNTransaction(const TNTransaction&) = delete;
    TNTransaction& operator=(const TNTransaction&) = delete;

    void Commit();  // raises EDatabaseError; the transaction is then rolled back
    void Rollback() noexcept;
    bool Active() const { return m_active; }

private:
    QSqlDatabase m_db;
    bool m_active = false;
};
