#pragma once
// Out-box rows that cannot be framed: their contact, its carrier or its
// pager data is gone since they were queued. Such a row stays queued and
// every later Send reads it again, so the operator is told of it once in the
// program's run, not at every Send; and told which member of a group it is
// for.

#include "messaging/outboxstore.h"
#include "messaging/outmessageline.h"

#include <QSet>
#include <QSqlDatabase>
#include <QString>

// True the first time Row is passed in this run (a row of the same ID that
// holds another recipient or text counts as a new one). Any thread.
bool FirstNoticeOfUnroutedRow(const TNOutRow& row);

// How a popup names a row: the name it was queued under, or "record N".
QString RecipientLabel(const QString& name, qint32 rowId);
// How the popup of an unrouted row names it: as RecipientLabel; a group's member
// queued under the group's name alone gets its own name added as the
// out-box shows it with ShowContactNamesOfGroups, "Group[member]", where its
// book still tells ContactName.
QString RowRecipientLabel(const TNOutRow& row, const QString& contactName);

// The rows of an endpoint that stay queued (unacknowledged), split into
// those the next Send can frame and those it cannot (their route is gone, or
// cannot be read now). Rows in Skip are left out. Raises EDatabaseError when
// the out-box cannot be read. One thread (Routes is its own).
struct TNQueuedRows {
    int Sendable = 0;
    int Unroutable = 0;
};
TNQueuedRows CountQueuedRows(QSqlDatabase& db, const TNOutRowFilter& filter, TNRouteCache& routes,
                             const QSet<qint32>& skip = {});
