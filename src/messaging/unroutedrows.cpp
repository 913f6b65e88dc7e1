#include "messaging/unroutedrows.h"

#include <QHash>
#include <QSet>
#include <mutex>

namespace {
struct TNoticed {
    std::mutex lock;
    QSet<QString> rows;
};

TNoticed& Noticed()
{
    static TNoticed noticed;
    return noticed;
}
}  // namespace

bool FirstNoticeOfUnroutedRow(const TNOutRow& row)
{
    // A row by what it holds as well as by its ID: an out-box never uses an
    // ID twice, but another database file (a copy put back) may.
    const QString key =
        QStringLiteral("%1/%2/%3/%4").arg(row.ID).arg(row.ContactID).arg(row.DatabaseGUID).arg(qHash(row.MessageText));
    std::lock_guard<std::mutex> guard(Noticed().lock);
    if (Noticed().rows.contains(key))
        return false;
    Noticed().rows.insert(key);
    return true;
}

QString RecipientLabel(const QString& name, qint32 rowId)
{
    return name.isEmpty() ? QStringLiteral("record %1").arg(rowId) : name;
}

QString RowRecipientLabel(const TNOutRow& row, const QString& contactName)
{
    if (row.Name.isEmpty() || contactName.isEmpty() || contactName == row.Name ||
        row.Name.endsWith(u'[' + contactName + u']'))
        return RecipientLabel(row.Name, row.ID);
    return row.Name + u'[' + contactName + u']';
}

TNQueuedRows CountQueuedRows(QSqlDatabase& db, const TNOutRowFilter& filter, TNRouteCache& routes,
                             const QSet<qint32>& skip)
{
    TNQueuedRows count;
    TNOutRowReader reader(db, filter);
    TNOutRow row;
    TNRecipientRoute route;
    while (reader.Next(row)) {
        if (skip.contains(row.ID))
            continue;
        // What the send thread asks of a row before it frames it.
        bool routed = false;
        try {
            routed = routes.RouteOf(row, route);
        } catch (const std::exception&) {
        }
        ++(routed ? count.Sendable : count.Unroutable);
    }
    return count;
}
