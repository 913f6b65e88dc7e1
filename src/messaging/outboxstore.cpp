#include "messaging/outboxstore.h"

#include "db/dberror.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
// Runs a prepared statement; throws with the statement's error on failure.
void Exec(QSqlQuery& query, const char* what)
{
    if (!query.exec())
        throw EDatabaseError(QStringLiteral("%1: %2").arg(QLatin1String(what), query.lastError().text()));
}

QSqlQuery Prepare(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw EDatabaseError(QStringLiteral("%1: %2").arg(sql, query.lastError().text()));
    return query;
}

int CountTextUsers(QSqlDatabase& db, qint32 messageTextId)
{
    QSqlQuery count = Prepare(db, QStringLiteral("select count(*) from OutMessages where MessageTextID = :id"));
    count.bindValue(QStringLiteral(":id"), messageTextId);
    Exec(count, "count text users");
    return count.next() ? count.value(0).toInt() : 0;
}

// Deletes one out-box row and, when it was the text's last user, the text.
void DeleteOutRow(QSqlDatabase& db, qint32 rowId, qint32 messageTextId, int textUsers)
{
    QSqlQuery del = Prepare(db, QStringLiteral("delete from OutMessages where ID = :id"));
    del.bindValue(QStringLiteral(":id"), rowId);
    Exec(del, "delete out-box row");
    if (textUsers <= 1) {
        QSqlQuery text = Prepare(db, QStringLiteral("delete from OutMessageTexts where ID = :id"));
        text.bindValue(QStringLiteral(":id"), messageTextId);
        Exec(text, "delete out-box text");
    }
}

// Runs Body in one write transaction: committed when it returns, rolled
// back when it throws. The transaction takes the write lock when it begins
// (BEGIN IMMEDIATE): the send threads and the message processor read and then
// write the same tables on their own connections, and a deferred transaction
// that reads first cannot wait for another writer later (SQLite refuses the
// upgrade at once instead of using the busy time-out).
template <class F>
bool InTransaction(QSqlDatabase& db, QString* error, F&& body)
{
    QSqlQuery control(db);
    if (!control.exec(QStringLiteral("begin immediate"))) {
        if (error)
            *error = control.lastError().text();
        return false;
    }
    try {
        body();
        if (!control.exec(QStringLiteral("commit")))
            throw EDatabaseError(QStringLiteral("commit: %1").arg(control.lastError().text()));
        return true;
    } catch (const std::exception& e) {
        control.exec(QStringLiteral("rollback"));
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
}
}  // namespace

QString DatabaseNow()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QList<TNOutRow> LoadUnacknowledgedRows(QSqlDatabase& db, const TNOutRowFilter& filter)
{
    QString sql = QStringLiteral(
        "select m.ID, m.ContactID, m.DatabaseGUID, m.Name, t.MessageText "
        "from OutMessages m, OutMessageTexts t "
        "where (m.MessageTextID = t.ID) and (m.ServerTypeNo = :ServerTypeNo) and (m.sentMessagesID is null) ");
    QStringList names;
    if (filter.ServerTypeNo == 2) {
        sql += QStringLiteral("and (m.HostName = :HostName) ");
    } else {
        for (int i = 0; i < filter.IpAddresses.size(); ++i)
            names << QStringLiteral(":Ip%1").arg(i);
        if (names.isEmpty())
            return {};
        sql += QStringLiteral("and (m.IpAddress in (%1)) and (m.PortNo = :PortNo) ").arg(names.join(QLatin1Char(',')));
    }
    sql += QStringLiteral("order by m.ID");
    QSqlQuery query = Prepare(db, sql);
    query.setForwardOnly(true);
    query.bindValue(QStringLiteral(":ServerTypeNo"), filter.ServerTypeNo);
    if (filter.ServerTypeNo == 2) {
        query.bindValue(QStringLiteral(":HostName"), filter.HostName);
    } else {
        for (int i = 0; i < names.size(); ++i)
            query.bindValue(names[i], filter.IpAddresses[i]);
        query.bindValue(QStringLiteral(":PortNo"), filter.PortNo);
    }
    Exec(query, "read out-box rows");
    QList<TNOutRow> rows;
    while (query.next()) {
        TNOutRow row;
        row.ID = query.value(0).toInt();
        row.ContactID = query.value(1).toInt();
        row.DatabaseGUID = query.value(2).toString();
        row.Name = query.value(3).toString();
        row.MessageText = query.value(4).toString();
        rows << row;
    }
    return rows;
}

TMoveToSentResult MoveToSent(QSqlDatabase& db, const TClientInputMessage& ack, QString* error)
{
    TMoveToSentResult result = TMoveToSentResult::msNoRow;
    const bool ok = InTransaction(db, error, [&] {
        QSqlQuery row =
            Prepare(db, QStringLiteral("select m.ContactID, m.Name, m.DatabaseGUID, m.MessageTextID, m.IpAddress, "
                                       "m.PortNo, m.HostName, m.ServerTypeNo, t.SentMessageTextID, t.MessageText, "
                                       "t.MessageTime, m.sentMessagesID "
                                       "from OutMessages m, OutMessageTexts t "
                                       "where (t.ID = m.MessageTextID) and (m.ID = :ClientRecordID)"));
        row.bindValue(QStringLiteral(":ClientRecordID"), ack.ClientRecordID);
        Exec(row, "read acknowledged row");
        if (!row.next())
            return;
        const qint32 messageTextId = row.value(3).toInt();
        const int textUsers = CountTextUsers(db, messageTextId);

        qint32 sentTextId = 0;
        if (row.value(8).isNull()) {
            QSqlQuery text = Prepare(db, QStringLiteral("insert into SentMessageTexts (Message) values (:Message)"));
            text.bindValue(QStringLiteral(":Message"), row.value(9).toString());
            Exec(text, "log message text");
            sentTextId = text.lastInsertId().toInt();
            if (textUsers > 1) {
                // The message's other recipients reuse this copy of the text.
                QSqlQuery link =
                    Prepare(db, QStringLiteral("update OutMessageTexts set SentMessageTextID = :s where ID = :id"));
                link.bindValue(QStringLiteral(":s"), sentTextId);
                link.bindValue(QStringLiteral(":id"), messageTextId);
                Exec(link, "link logged text");
            }
        } else {
            sentTextId = row.value(8).toInt();
        }

        QSqlQuery log = Prepare(
            db,
            QStringLiteral("insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, MessageTime, "
                           "ReceiveConfirmed, ReceiveTime, SendConfirmed, ErrorStatus, IpAddress, PortNo, HostName, "
                           "ServerTypeNo, ServerRecordID, ClientRecordID) values (:ContactID, :Name, :DatabaseGUID, "
                           ":SentMessageTextID, :MessageTime, 1, :ReceiveTime, 0, :ErrorStatus, :IpAddress, :PortNo, "
                           ":HostName, :ServerTypeNo, :ServerRecordID, :ClientRecordID)"));
        log.bindValue(QStringLiteral(":ContactID"), row.value(0));
        log.bindValue(QStringLiteral(":Name"), row.value(1));
        log.bindValue(QStringLiteral(":DatabaseGUID"), row.value(2));
        log.bindValue(QStringLiteral(":SentMessageTextID"), sentTextId);
        log.bindValue(QStringLiteral(":MessageTime"), row.value(10));
        log.bindValue(QStringLiteral(":ReceiveTime"), DatabaseNow());
        log.bindValue(QStringLiteral(":ErrorStatus"), int(ack.MsgType));
        log.bindValue(QStringLiteral(":IpAddress"), row.value(4).toString().left(15));
        log.bindValue(QStringLiteral(":PortNo"), row.value(5));
        log.bindValue(QStringLiteral(":HostName"), row.value(6));
        log.bindValue(QStringLiteral(":ServerTypeNo"), row.value(7));
        log.bindValue(QStringLiteral(":ServerRecordID"),
                      ack.MsgType == rkMessageAccepted ? QVariant(ack.ServerRecordID) : QVariant());
        log.bindValue(QStringLiteral(":ClientRecordID"), ack.ClientRecordID);
        Exec(log, "log acknowledged row");
        const qint32 sentId = log.lastInsertId().toInt();

        if (ack.MsgType == rkMessageAcceptError) {
            // Refused on arrival: no report will follow, so the row leaves
            // the out-box now; the log keeps its status.
            DeleteOutRow(db, ack.ClientRecordID, messageTextId, textUsers);
        } else {
            QSqlQuery link = Prepare(db, QStringLiteral("update OutMessages set sentMessagesID = :s where ID = :id"));
            link.bindValue(QStringLiteral(":s"), sentId);
            link.bindValue(QStringLiteral(":id"), ack.ClientRecordID);
            Exec(link, "link out-box row");
        }
        result = TMoveToSentResult::msLogged;
    });
    return ok ? result : TMoveToSentResult::msFailed;
}

TNReportOutcome ApplyReport(QSqlDatabase& db, const TClientInputMessage& report, bool applyUnlogged, QString* error)
{
    TNReportOutcome outcome;
    const bool ok = InTransaction(db, error, [&] {
        QSqlQuery row = Prepare(db, QStringLiteral("select m.MessageTextID, m.sentMessagesID "
                                                   "from OutMessages m, OutMessageTexts t "
                                                   "where (t.ID = m.MessageTextID) and (m.ID = :ClientRecordID)"));
        row.bindValue(QStringLiteral(":ClientRecordID"), report.ClientRecordID);
        Exec(row, "read reported row");
        if (!row.next()) {
            outcome.Result = TApplyReportResult::arNoRow;
            return;
        }
        const qint32 messageTextId = row.value(0).toInt();
        const QVariant sentId = row.value(1);
        if (sentId.isNull() && !applyUnlogged) {
            outcome.Result = TApplyReportResult::arNotLogged;
            return;
        }
        if (!sentId.isNull()) {
            QSqlQuery update = Prepare(db, QStringLiteral("update SentMessages set SendConfirmed = 1, "
                                                          "SendTime = :SendTime, ErrorStatus = :ErrorStatus "
                                                          "where (ID = :sentMessagesID)"));
            update.bindValue(QStringLiteral(":SendTime"), DatabaseNow());
            update.bindValue(QStringLiteral(":ErrorStatus"),
                             report.MsgType == rkMessageSendError ? report.ErrorCode : 0);
            update.bindValue(QStringLiteral(":sentMessagesID"), sentId.toInt());
            Exec(update, "confirm log row");
        }
        DeleteOutRow(db, report.ClientRecordID, messageTextId, CountTextUsers(db, messageTextId));
        QSqlQuery left = Prepare(db, QStringLiteral("select 1 from OutMessages limit 1"));
        Exec(left, "look at out-box");
        outcome.OutBoxEmpty = !left.next();
        outcome.Result = TApplyReportResult::arApplied;
    });
    if (!ok)
        outcome.Result = TApplyReportResult::arFailed;
    return outcome;
}

bool ReportsAwaited(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select 1 from OutMessages where sentMessagesID is not null limit 1")))
        return false;
    return query.next();
}
