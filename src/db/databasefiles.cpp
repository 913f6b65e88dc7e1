#include "db/databasefiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

#include "db/connection.h"
#include "db/dberror.h"
#include "db/sqlexec.h"
#include "db/sqltext.h"
#include "db/transaction.h"
#include "platform/guid.h"
#include "platform/programfolder.h"

QString LocalDataFileName()
{
    return QStringLiteral("LocalData2.mdb");
}

QString AddressBookFileName()
{
    return QStringLiteral("Tovix2Database.mdb");
}

QString LocalDatabaseName()
{
    return QStringLiteral("Local Database");
}

namespace {

QString ReadResource(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Schema \"%1\" is missing from the program").arg(name));
    return QString::fromUtf8(file.readAll());
}

}  // namespace

QString LocalDataSchemaSql()
{
    return ReadResource(QStringLiteral(":/sql/localdata2.sql"));
}

QString AddressBookSchemaSql()
{
    return ReadResource(QStringLiteral(":/sql/tovix2database.sql"));
}

void RunSqlScript(const QSqlDatabase& db, const QString& script, const QVariantMap& params)
{
    TNTransaction transaction(db);
    for (const QString& statement : SplitSqlScript(script))
        ExecuteSql(db, statement, params, QStringLiteral("RunSqlScript()"));
    transaction.Commit();
}

void CreateMissingIndexes(const QSqlDatabase& db, const QString& script)
{
    // Comment lines may stand before a statement; "IF NOT EXISTS" makes an
    // index the file has already a no-op.
    static const QRegularExpression createIndex(
        QStringLiteral("^\\s*(?:--[^\\n]*\\n\\s*)*CREATE\\s+INDEX\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?"),
        QRegularExpression::CaseInsensitiveOption);
    TNTransaction transaction(db);
    for (const QString& statement : SplitSqlScript(script)) {
        const QRegularExpressionMatch match = createIndex.match(statement);
        if (match.hasMatch())
            ExecuteSql(db, QStringLiteral("CREATE INDEX IF NOT EXISTS ") + statement.mid(match.capturedEnd()), {},
                       QStringLiteral("CreateMissingIndexes()"));
    }
    transaction.Commit();
}

void CreateDatabaseFile(const QString& path, const QString& script, const QVariantMap& params)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(target))
        throw EDatabaseError(QStringLiteral("Cannot create \"%1\": the file exists").arg(target));
    // Built under another name and renamed when complete, so that a failure
    // never leaves a half-made database under the real name.
    const QString building = target + QStringLiteral(".creating");
    QFile::remove(building);
    const QString name = UniqueConnectionName(QStringLiteral("create-"));
    try {
        QSqlDatabase db = OpenSqliteConnection(name, building, TOpenMode::omCreate);
        RunSqlScript(db, script, params);
    } catch (...) {
        CloseSqliteConnection(name);
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-wal"));
        QFile::remove(building + QStringLiteral("-shm"));
        throw;
    }
    CloseSqliteConnection(name);
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(building);
        throw EDatabaseError(QStringLiteral("Cannot create \"%1\"").arg(target));
    }
}

void CreateLocalDataFile(const QString& path)
{
    CreateDatabaseFile(path, LocalDataSchemaSql(), QVariantMap{{QStringLiteral("GUID"), CreateGUIDText()}});
}

void CreateAddressBookFile(const QString& path)
{
    CreateDatabaseFile(path, AddressBookSchemaSql());
}

QStringList CreateMissingDatabaseFiles(const QString& folder)
{
    const QString dir = IncludeTrailingPathDelimiter(folder);
    QStringList created;
    if (!QFileInfo::exists(dir + LocalDataFileName())) {
        CreateLocalDataFile(dir + LocalDataFileName());
        created << LocalDataFileName();
    }
    if (!QFileInfo::exists(dir + AddressBookFileName())) {
        CreateAddressBookFile(dir + AddressBookFileName());
        created << AddressBookFileName();
    }
    return created;
}
