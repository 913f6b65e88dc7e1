#include "db/compact.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "db/connection.h"
#include "db/dberror.h"
#include "db/sqlexec.h"

QString CompactTempPath(const QString& filePath)
{
    const QFileInfo info(filePath);
    return info.absolutePath() + QStringLiteral("/Temp") + info.fileName();
}

namespace {

bool Fail(QString* errorText, const QString& text, const QString& tempPath)
{
    QFile::remove(tempPath);
    if (errorText)
        *errorText = text;
    return false;
}

}  // namespace

bool CompactDatabaseFile(const QString& filePath, QString* errorText)
{
    const QString path = QFileInfo(filePath).absoluteFilePath();
    const QString temp = CompactTempPath(path);
    if (!QFileInfo(path).isFile())
        return Fail(errorText, QStringLiteral("Cannot compact \"%1\": the file does not exist").arg(path), QString());
    if (QFileInfo::exists(temp) && !QFile::remove(temp))
        return Fail(errorText, QStringLiteral("Cannot remove \"%1\"").arg(temp), QString());
    const QString name = UniqueConnectionName(QStringLiteral("compact-"));
    try {
        QSqlDatabase db = OpenSqliteConnection(name, path);
        ExecuteSql(db, QStringLiteral("VACUUM INTO :File"), QVariantMap{{QStringLiteral("File"), temp}},
                   QStringLiteral("CompactDatabaseFile()"));
    } catch (const EDatabaseError& e) {
        CloseSqliteConnection(name);
        return Fail(errorText, e.Message(), temp);
    }
    CloseSqliteConnection(name);
    // The last connection to close removes the journal; one left means
    // another connection still works on the file.
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        return Fail(errorText, QStringLiteral("Cannot compact \"%1\": the database is in use").arg(path), temp);
    if (!QFileInfo(temp).isFile())
        return Fail(errorText, QStringLiteral("Cannot compact \"%1\": no compacted copy was written").arg(path), temp);
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        return Fail(errorText, QStringLiteral("Cannot replace \"%1\": %2").arg(path, reason), temp);
    }
    return true;
}
