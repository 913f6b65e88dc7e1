#include "data/threadconnections.h"

#include "db/connection.h"

#include <QHash>

namespace {
// The connection names of one thread by file; closed with the thread.
struct TThreadConnections {
    QHash<QString, QString> Names;
    ~TThreadConnections()
    {
        for (const QString& name : std::as_const(Names))
            CloseSqliteConnection(name);
    }
};

TThreadConnections& Connections()
{
    thread_local TThreadConnections connections;
    return connections;
}
}  // namespace

QSqlDatabase ThreadDatabase(const QString& filePath)
{
    TThreadConnections& connections = Connections();
    auto it = connections.Names.constFind(filePath);
    if (it != connections.Names.constEnd())
        return QSqlDatabase::database(*it, false);
    const QString name = UniqueConnectionName(QStringLiteral("thread-file-"));
    QSqlDatabase db = OpenSqliteConnection(name, filePath);
    connections.Names.insert(filePath, name);
    return db;
}

void CloseThreadDatabase(const QString& filePath) noexcept
{
    TThreadConnections& connections = Connections();
    const QString name = connections.Names.take(filePath);
    if (!name.isEmpty())
        CloseSqliteConnection(name);
}
