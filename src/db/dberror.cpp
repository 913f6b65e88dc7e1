#include "db/dberror.h"

QString DatabaseWriteFailureWords(const QString& engineText)
{
    if (engineText.contains(QLatin1String("database is locked"), Qt::CaseInsensitive) ||
        engineText.contains(QLatin1String("database table is locked"), Qt::CaseInsensitive))
        return QStringLiteral("another program is writing to the file (it is locked)");
    if (engineText.contains(QLatin1String("disk is full"), Qt::CaseInsensitive) ||
        engineText.contains(QLatin1String("disk I/O error"), Qt::CaseInsensitive))
        return QStringLiteral("the disk is full or cannot be written");
    if (engineText.contains(QLatin1String("readonly"), Qt::CaseInsensitive) ||
        engineText.contains(QLatin1String("read-only"), Qt::CaseInsensitive))
        return QStringLiteral("the file is read-only");
    return engineText;
}
