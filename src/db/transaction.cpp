#include "db/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

#include "db/connection.h"
#include "db/dberror.h"

TNTransaction::TNTransaction(TNConnection& connection) : TNTransaction(connection.Database()) {}

TNTransaction::TNTransaction(const QSqlDatabase& db) : m_db(db)
{
    // IMMEDIATE takes the write lock at once (waiting out the busy time-out),
    // so a transaction that reads before it writes never fails half-way with
    // "database is locked" when another thread's connection writes meanwhile.
    QSqlQuery begin(m_db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        throw EDatabaseError(QStringLiteral("TNTransaction: cannot begin: %1").arg(begin.lastError().text()));
    m_active = true;
}

TNTransaction::~TNTransaction()
{
    Rollback();
}

void TNTransaction::Commit()
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("TNTransaction.Commit(): no transaction"));
    if (!m_db.commit()) {
        const QString text = m_db.lastError().text();
        Rollback();
        throw EDatabaseError(QStringLiteral("TNTransaction.Commit(): %1").arg(text));
    }
    m_active = false;
}

void TNTransaction::Rollback() noexcept
{
    if (!m_active)
        return;
    m_active = false;
    m_db.rollback();
}
