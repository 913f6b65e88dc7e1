#include "db/transaction.h"

#include <QSqlError>

#include "db/connection.h"
#include "db/dberror.h"

TNTransaction::TNTransaction(TNConnection& connection) : TNTransaction(connection.Database()) {}

TNTransaction::TNTransaction(const QSqlDatabase& db) : m_db(db)
{
    if (!m_db.transaction())
        throw EDatabaseError(QStringLiteral("TNTransaction: cannot begin: %1").arg(m_db.lastError().text()));
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
