#include "messaging/outboxstore.h"

#include "db/dberror.h"
#include "db/writeproblem.h"
#include "messaging/inmessageslist.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <atomic>
#include <mutex>

QString DatabaseNow()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

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

// The statements of one transaction, each prepared once however many rows
// it serves.
class TStatements {
public:
    explicit TStatements(QSqlDatabase& db) : m_db(db) {}
    QSqlQuery& Get(const QString& sql)
    {
        auto it = m_queries.find(sql);
        if (it == m_queries.end()) {
            QSqlQuery query(m_db);
            query.setForwardOnly(true);
            if (!query.prepare(sql))
                throw EDatabaseError(QStringLiteral("%1: %2").arg(sql, query.lastError().text()));
            it = m_queries.insert(sql, query);
        }
        return *it;
    }
    // The time every row of the transaction is stamped with (reading the
    // clock and formatting it for each row costs more than the row's
    // statements).
    const QString& Now()
    {
        if (m_now.isEmpty())
            m_now = DatabaseNow();
        return m_now;
    }

private:
    QSqlDatabase& m_db;
    QHash<QString, QSqlQuery> m_queries;
    QString m_now;
};

// Columns (Count of them) of out-box row ID (alias m) joined with its text
// (alias t); an empty list when the row is gone.
QVariantList ReadOutRow(TStatements& st, const QString& columns, int count, qint32 id, const char* what)
{
    QSqlQuery& row = st.Get(QStringLiteral("select %1 from OutMessages m, OutMessageTexts t "
                                           "where (t.ID = m.MessageTextID) and (m.ID = :ClientRecordID)")
                                .arg(columns));
    row.bindValue(QStringLiteral(":ClientRecordID"), id);
    Exec(row, what);
    QVariantList values;
    if (row.next())
        for (int i = 0; i < count; ++i)
            values << row.value(i);
    row.finish();
    return values;
}

// How many out-box rows use a text, counted up to two: the callers only
// need to know whether a row is the text's only user (a full count would
// read every row of a message to many recipients, for each of them).
int CountTextUsers(TStatements& st, qint32 messageTextId)
{
    QSqlQuery& count =
        st.Get(QStringLiteral("select count(*) from (select 1 from OutMessages where MessageTextID = :id limit 2)"));
    count.bindValue(QStringLiteral(":id"), messageTextId);
    Exec(count, "count text users");
    const int users = count.next() ? count.value(0).toInt() : 0;
    count.finish();
    return users;
}

// Deletes one out-box row and, when it was the text's last user, the text.
void DeleteOutRow(TStatements& st, qint32 rowId, qint32 messageTextId, int textUsers)
{
    QSqlQuery& del = st.Get(QStringLiteral("delete from OutMessages where ID = :id"));
    del.bindValue(QStringLiteral(":id"), rowId);
    Exec(del, "delete out-box row");
    if (textUsers <= 1) {
        QSqlQuery& text = st.Get(QStringLiteral("delete from OutMessageTexts where ID = :id"));
        text.bindValue(QStringLiteral(":id"), messageTextId);
        Exec(text, "delete out-box text");
    }
}

// Deletes a message text that no out-box row uses any more.
void DeleteUnusedText(TStatements& st, qint32 textId)
{
    QSqlQuery& text =
        st.Get(QStringLiteral("delete from OutMessageTexts where ID = :t and not exists "
                              "(select 1 from OutMessages where MessageTextID = :u)"));
    text.bindValue(QStringLiteral(":t"), textId);
    text.bindValue(QStringLiteral(":u"), textId);
    Exec(text, "delete the message text");
}

// Runs Body in one write transaction: committed when it returns, rolled
// back when it throws. The transaction takes the write lock when it begins
// (BEGIN IMMEDIATE): the send threads and the message processor read and then
// write the same tables on their own connections, and a deferred transaction
// that reads first cannot wait for another writer later (SQLite refuses the
// upgrade at once instead of using the busy time-out).
//
// The program's own writers (the send threads and the processor) queue on
// one lock around their transactions: waiting on SQLite's busy handler
// instead would sleep in steps of milliseconds each time they meet.
std::mutex& WriterLock()
{
    static std::mutex lock;
    return lock;
}

template <class F>
bool InLockedTransaction(QSqlDatabase& db, QString* error, F&& body)
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

template <class F>
bool InTransaction(QSqlDatabase& db, QString* error, F&& body)
{
    std::lock_guard<std::mutex> writer(WriterLock());
    return InLockedTransaction(db, error, std::forward<F>(body));
}
}  // namespace

namespace {
void ForgetClaims(const QList<qint32>& rows);

std::atomic<quint64> g_ackLogGeneration{0};

// Acknowledgements were committed to the log: reports held for them can be
// applied now, so the message processor is woken.
void AcksLogged()
{
    ++g_ackLogGeneration;
    InMessagesList.Nudge();
}
}  // namespace

quint64 AckLogGeneration()
{
    return g_ackLogGeneration.load();
}

namespace {
using TBinds = QList<QPair<QString, QVariant>>;

// The condition on out-box rows (alias m) that selects the filter's
// endpoint, its placeholders named after Tag; empty when the filter
// selects no row (a TCP filter without an address).
QString EndpointCondition(const TNOutRowFilter& filter, const QString& tag, TBinds& binds)
{
    const QString type = QStringLiteral(":%1Type").arg(tag);
    binds << qMakePair(type, QVariant(filter.ServerTypeNo));
    if (filter.ServerTypeNo == 2) {
        const QString host = QStringLiteral(":%1Host").arg(tag);
        binds << qMakePair(host, QVariant(filter.HostName));
        return QStringLiteral("((m.ServerTypeNo = %1) and (m.HostName = %2))").arg(type, host);
    }
    QStringList names;
    for (int i = 0; i < filter.IpAddresses.size(); ++i) {
        names << QStringLiteral(":%1Ip%2").arg(tag).arg(i);
        binds << qMakePair(names.last(), QVariant(filter.IpAddresses[i]));
    }
    if (names.isEmpty())
        return QString();
    const QString port = QStringLiteral(":%1Port").arg(tag);
    binds << qMakePair(port, QVariant(filter.PortNo));
    return QStringLiteral("((m.ServerTypeNo = %1) and (m.IpAddress in (%2)) and (m.PortNo = %3))")
        .arg(type, names.join(QLatin1Char(',')), port);
}

void BindAll(QSqlQuery& query, const TBinds& binds)
{
    for (const auto& bind : binds)
        query.bindValue(bind.first, bind.second);
}
}  // namespace

TNOutRowReader::TNOutRowReader(QSqlDatabase& db, const TNOutRowFilter& filter, int pageRows)
    : m_db(db), m_pageRows(std::max(1, pageRows))
{
    const QString endpoint = EndpointCondition(filter, QStringLiteral("e"), m_binds);
    if (endpoint.isEmpty()) {
        m_done = true;
        return;
    }
    const QString rows = QStringLiteral(
                             "from OutMessages m, OutMessageTexts t "
                             "where (m.MessageTextID = t.ID) and (m.sentMessagesID is null) and %1")
                             .arg(endpoint);
    QSqlQuery extent = Prepare(db, QStringLiteral("select count(*), max(m.ID) ") + rows);
    BindAll(extent, m_binds);
    Exec(extent, "count out-box rows");
    if (extent.next()) {
        m_total = extent.value(0).toInt();
        m_lastId = extent.value(1).toInt();
    }
    m_done = m_total == 0;
    // A page walks the out-box by ID from where the last one ended: through
    // the endpoint index SQLite would sort every remaining row of the
    // endpoint again for each page.
    m_sql = QStringLiteral(
                "select m.ID, m.ContactID, m.DatabaseGUID, m.Name, m.MessageTextID, t.MessageText "
                "from OutMessages m not indexed, OutMessageTexts t "
                "where (m.MessageTextID = t.ID) and (m.sentMessagesID is null) and %1 "
                "and (m.ID > :after) and (m.ID <= :last) order by m.ID limit %2")
                .arg(endpoint)
                .arg(m_pageRows);
}

bool TNOutRowReader::Next(TNOutRow& row)
{
    if (m_next >= m_page.size() && !m_done)
        ReadPage();
    if (m_next >= m_page.size())
        return false;
    row = m_page[m_next++];
    return true;
}

void TNOutRowReader::ReadPage()
{
    m_page.clear();
    m_next = 0;
    QSqlQuery query = Prepare(m_db, m_sql);
    query.setForwardOnly(true);
    BindAll(query, m_binds);
    query.bindValue(QStringLiteral(":after"), m_afterId);
    query.bindValue(QStringLiteral(":last"), m_lastId);
    Exec(query, "read out-box rows");
    while (query.next()) {
        TNOutRow row;
        row.ID = query.value(0).toInt();
        row.ContactID = query.value(1).toInt();
        row.DatabaseGUID = query.value(2).toString();
        row.Name = query.value(3).toString();
        const qint32 textId = query.value(4).toInt();
        if (textId != m_textId) {
            m_textId = textId;
            m_text = query.value(5).toString();
        }
        row.MessageText = m_text;  // one copy per message, not per row
        m_page << row;
        m_afterId = row.ID;
    }
    m_done = m_page.size() < m_pageRows;
}

QList<TNOutRow> LoadUnacknowledgedRows(QSqlDatabase& db, const TNOutRowFilter& filter)
{
    TNOutRowReader reader(db, filter);
    QList<TNOutRow> rows;
    TNOutRow row;
    while (reader.Next(row))
        rows << row;
    return rows;
}

namespace {
// One acknowledgement inside a running transaction; raises on a failed
// statement.
// The common case in two statements: an accepted row whose message text is
// logged already (a message to many recipients, after its first row) is
// copied into the log straight from the out-box. False when the row is gone
// or its text is not logged yet: MoveOne then does it step by step.
bool LogAcceptedRowOfLoggedText(TStatements& st, const TClientInputMessage& ack)
{
    QSqlQuery& log = st.Get(QStringLiteral(
        "insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, MessageTime, "
        "ReceiveConfirmed, ReceiveTime, SendConfirmed, SendTime, ErrorStatus, IpAddress, PortNo, "
        "HostName, ServerTypeNo, ServerRecordID, ClientRecordID) "
        "select m.ContactID, m.Name, m.DatabaseGUID, t.SentMessageTextID, t.MessageTime, 1, "
        ":ReceiveTime, 0, null, :ErrorStatus, coalesce(substr(m.IpAddress, 1, 15), ''), m.PortNo, "
        "m.HostName, m.ServerTypeNo, :ServerRecordID, m.ID "
        "from OutMessages m, OutMessageTexts t where (t.ID = m.MessageTextID) and "
        "(m.ID = :ClientRecordID) and (m.sentMessagesID is null) and (t.SentMessageTextID is not null)"));
    log.bindValue(QStringLiteral(":ReceiveTime"), st.Now());
    log.bindValue(QStringLiteral(":ErrorStatus"), int(ack.MsgType));
    log.bindValue(QStringLiteral(":ServerRecordID"), ack.ServerRecordID);
    log.bindValue(QStringLiteral(":ClientRecordID"), ack.ClientRecordID);
    Exec(log, "log acknowledged row");
    if (log.numRowsAffected() != 1)
        return false;
    const qint32 sentId = log.lastInsertId().toInt();
    QSqlQuery& link = st.Get(QStringLiteral("update OutMessages set sentMessagesID = :s where ID = :id"));
    link.bindValue(QStringLiteral(":s"), sentId);
    link.bindValue(QStringLiteral(":id"), ack.ClientRecordID);
    Exec(link, "link out-box row");
    return true;
}

// Whether a report may belong to the row the server accepted as
// ServerRecordID: a MESSAGE_SENT names the server's record, which must be the
// same (a stale report, or one of another client's row with this ID, names
// another); a MESSAGE_SEND_ERROR names none. The links match reports so
// before they pass them on (sentrows.h); the log writes hold to it as well,
// whoever calls them.
bool ReportNamesServerRecord(const TClientInputMessage& report, const QVariant& serverRecordId)
{
    return report.MsgType != rkMessageSent || serverRecordId.isNull() ||
           serverRecordId.toInt() == report.ServerRecordID;
}

// The status a report leaves in the log: 0 for a delivered page, the
// server's code for a failed one.
int ReportStatus(const TClientInputMessage& report)
{
    return report.MsgType == rkMessageSendError ? report.ErrorCode : 0;
}

// An accepted row whose delivery report is in hand, when its message text is
// logged already: logged as confirmed with the report's status and deleted
// from the out-box in three statements (its text is added to Texts, to be
// deleted once the group is through if no row uses it any more). False when
// the row is gone or its text is not logged yet: nothing is changed then.
bool LogReportedRowOfLoggedText(TStatements& st, const TClientInputMessage& ack, const TClientInputMessage& report,
                                QSet<qint32>& texts)
{
    QSqlQuery& row = st.Get(QStringLiteral("select MessageTextID from OutMessages where ID = :id"));
    row.bindValue(QStringLiteral(":id"), ack.ClientRecordID);
    Exec(row, "read reported row");
    const bool found = row.next();
    const qint32 textId = found ? row.value(0).toInt() : 0;
    row.finish();
    if (!found)
        return false;
    QSqlQuery& log = st.Get(QStringLiteral(
        "insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, MessageTime, "
        "ReceiveConfirmed, ReceiveTime, SendConfirmed, SendTime, ErrorStatus, IpAddress, PortNo, "
        "HostName, ServerTypeNo, ServerRecordID, ClientRecordID) "
        "select m.ContactID, m.Name, m.DatabaseGUID, t.SentMessageTextID, t.MessageTime, 1, "
        ":ReceiveTime, 1, :SendTime, :ErrorStatus, coalesce(substr(m.IpAddress, 1, 15), ''), "
        "m.PortNo, m.HostName, m.ServerTypeNo, :ServerRecordID, m.ID "
        "from OutMessages m, OutMessageTexts t where (t.ID = m.MessageTextID) and "
        "(m.ID = :ClientRecordID) and (m.sentMessagesID is null) and (t.SentMessageTextID is not null)"));
    log.bindValue(QStringLiteral(":ReceiveTime"), st.Now());
    log.bindValue(QStringLiteral(":SendTime"), st.Now());
    log.bindValue(QStringLiteral(":ErrorStatus"), ReportStatus(report));
    log.bindValue(QStringLiteral(":ServerRecordID"), ack.ServerRecordID);
    log.bindValue(QStringLiteral(":ClientRecordID"), ack.ClientRecordID);
    Exec(log, "log reported row");
    if (log.numRowsAffected() != 1)
        return false;
    QSqlQuery& del = st.Get(QStringLiteral("delete from OutMessages where ID = :id"));
    del.bindValue(QStringLiteral(":id"), ack.ClientRecordID);
    Exec(del, "delete out-box row");
    texts.insert(textId);
    return true;
}

TMoveToSentResult MoveOne(TStatements& st, const TClientInputMessage& ack)
{
    if (ack.MsgType == rkMessageAccepted && LogAcceptedRowOfLoggedText(st, ack))
        return TMoveToSentResult::msLogged;
    const QVariantList values = ReadOutRow(st,
                                           QStringLiteral("m.ContactID, m.Name, m.DatabaseGUID, m.MessageTextID, "
                                                          "m.IpAddress, m.PortNo, m.HostName, m.ServerTypeNo, "
                                                          "t.SentMessageTextID, t.MessageText, t.MessageTime, "
                                                          "m.sentMessagesID"),
                                           12, ack.ClientRecordID, "read acknowledged row");
    // A row logged already (the server acknowledged it twice, or a late
    // acknowledgement of a row sent again) keeps its one log row.
    if (values.isEmpty() || !values[11].isNull())
        return TMoveToSentResult::msNoRow;
    const qint32 messageTextId = values[3].toInt();
    const int textUsers = CountTextUsers(st, messageTextId);

    qint32 sentTextId = 0;
    if (values[8].isNull()) {
        QSqlQuery& text = st.Get(QStringLiteral("insert into SentMessageTexts (Message) values (:Message)"));
        text.bindValue(QStringLiteral(":Message"), values[9].toString());
        Exec(text, "log message text");
        sentTextId = text.lastInsertId().toInt();
        if (textUsers > 1) {
            // The message's other recipients reuse this copy of the text.
            QSqlQuery& link =
                st.Get(QStringLiteral("update OutMessageTexts set SentMessageTextID = :s where ID = :id"));
            link.bindValue(QStringLiteral(":s"), sentTextId);
            link.bindValue(QStringLiteral(":id"), messageTextId);
            Exec(link, "link logged text");
        }
    } else {
        sentTextId = values[8].toInt();
    }

    // A row refused on arrival is final at once: confirmed, as a failure
    // with the refusal's status.
    const bool refused = ack.MsgType == rkMessageAcceptError;
    QSqlQuery& log = st.Get(
        QStringLiteral("insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, MessageTime, "
                       "ReceiveConfirmed, ReceiveTime, SendConfirmed, SendTime, ErrorStatus, IpAddress, PortNo, "
                       "HostName, ServerTypeNo, ServerRecordID, ClientRecordID) values (:ContactID, :Name, "
                       ":DatabaseGUID, :SentMessageTextID, :MessageTime, 1, :ReceiveTime, :SendConfirmed, :SendTime, "
                       ":ErrorStatus, :IpAddress, :PortNo, :HostName, :ServerTypeNo, :ServerRecordID, "
                       ":ClientRecordID)"));
    const QString& now = st.Now();
    log.bindValue(QStringLiteral(":ContactID"), values[0]);
    log.bindValue(QStringLiteral(":Name"), values[1]);
    log.bindValue(QStringLiteral(":DatabaseGUID"), values[2]);
    log.bindValue(QStringLiteral(":SentMessageTextID"), sentTextId);
    log.bindValue(QStringLiteral(":MessageTime"), values[10]);
    log.bindValue(QStringLiteral(":ReceiveTime"), now);
    log.bindValue(QStringLiteral(":SendConfirmed"), refused ? 1 : 0);
    log.bindValue(QStringLiteral(":SendTime"), refused ? QVariant(now) : QVariant());
    log.bindValue(QStringLiteral(":ErrorStatus"), refused ? RefusalStatus(ack) : int(ack.MsgType));
    log.bindValue(QStringLiteral(":IpAddress"), values[4].toString().left(15));
    log.bindValue(QStringLiteral(":PortNo"), values[5]);
    log.bindValue(QStringLiteral(":HostName"), values[6]);
    log.bindValue(QStringLiteral(":ServerTypeNo"), values[7]);
    log.bindValue(QStringLiteral(":ServerRecordID"),
                  ack.MsgType == rkMessageAccepted ? QVariant(ack.ServerRecordID) : QVariant());
    log.bindValue(QStringLiteral(":ClientRecordID"), ack.ClientRecordID);
    Exec(log, "log acknowledged row");
    const qint32 sentId = log.lastInsertId().toInt();

    if (refused) {
        // No report will follow, so the row leaves the out-box now; the log
        // keeps its status.
        DeleteOutRow(st, ack.ClientRecordID, messageTextId, textUsers);
    } else {
        QSqlQuery& link = st.Get(QStringLiteral("update OutMessages set sentMessagesID = :s where ID = :id"));
        link.bindValue(QStringLiteral(":s"), sentId);
        link.bindValue(QStringLiteral(":id"), ack.ClientRecordID);
        Exec(link, "link out-box row");
    }
    return TMoveToSentResult::msLogged;
}
}  // namespace

TMoveToSentResult MoveToSent(QSqlDatabase& db, const TClientInputMessage& ack, QString* error)
{
    TMoveToSentResult result = TMoveToSentResult::msNoRow;
    const bool ok = InTransaction(db, error, [&] {
        TStatements st(db);
        result = MoveOne(st, ack);
    });
    if (!ok)
        return TMoveToSentResult::msFailed;
    ForgetClaims({ack.ClientRecordID});
    AcksLogged();
    return result;
}

namespace {
void InsertOnWireNotes(TStatements& st, const QList<qint32>& rowIds)
{
    // A batch's rows follow each other in the out-box: one statement notes
    // each run of consecutive IDs.
    QSqlQuery& mark = st.Get(
        QStringLiteral("with recursive Run(ID) as (select :first union all select ID + 1 from Run where ID < :last) "
                       "insert or ignore into OutMessagesOnWire (ID) select ID from Run"));
    for (qsizetype i = 0; i < rowIds.size();) {
        qsizetype end = i + 1;
        while (end < rowIds.size() && rowIds[end] == rowIds[end - 1] + 1)
            ++end;
        mark.bindValue(QStringLiteral(":first"), rowIds[i]);
        mark.bindValue(QStringLiteral(":last"), rowIds[end - 1]);
        Exec(mark, "mark rows on the wire");
        i = end;
    }
}
}  // namespace

bool MoveAllToSent(QSqlDatabase& db, const QList<TClientInputMessage>& acks, bool waitForWriters,
                   QList<TNAckOutcome>* outcomes, QList<TClientInputMessage>* reports)
{
    if (outcomes)
        outcomes->clear();
    if (acks.isEmpty())
        return true;
    std::unique_lock<std::mutex> writer(WriterLock(), std::defer_lock);
    if (waitForWriters)
        writer.lock();
    else if (!writer.try_lock())
        return false;
    // The reports in hand by row (the first of a row's, should a server
    // report one twice).
    QHash<qint32, qsizetype> reportOf;
    if (reports)
        for (qsizetype i = reports->size() - 1; i >= 0; --i)
            reportOf.insert(reports->at(i).ClientRecordID, i);
    QList<TNAckOutcome> results;
    QString groupError;
    const bool logged = InLockedTransaction(db, &groupError, [&] {
        results.clear();
        TStatements st(db);
        QSet<qint32> texts;
        for (const TClientInputMessage& ack : acks) {
            TNAckOutcome outcome{ack, TMoveToSentResult::msNoRow, QString(), false, {}};
            const auto report = reportOf.constFind(ack.ClientRecordID);
            if (ack.MsgType == rkMessageAccepted && report != reportOf.constEnd() &&
                ReportNamesServerRecord(reports->at(*report), ack.ServerRecordID) &&
                LogReportedRowOfLoggedText(st, ack, reports->at(*report), texts)) {
                outcome.Result = TMoveToSentResult::msLogged;
                outcome.ReportApplied = true;
                outcome.Report = reports->at(*report);
            } else {
                outcome.Result = MoveOne(st, ack);
            }
            results << outcome;
        }
        for (qint32 textId : std::as_const(texts))
            DeleteUnusedText(st, textId);
    });
    writer.unlock();
    if (logged && reports) {
        QSet<qsizetype> applied;
        for (const TNAckOutcome& outcome : std::as_const(results))
            if (outcome.ReportApplied)
                applied.insert(reportOf.value(outcome.Ack.ClientRecordID));
        QList<TClientInputMessage> left;
        for (qsizetype i = 0; i < reports->size(); ++i)
            if (!applied.contains(i))
                left << reports->at(i);
        reports->swap(left);
    }
    if (logged) {
        QList<qint32> ids;
        for (const TClientInputMessage& ack : acks)
            ids << ack.ClientRecordID;
        ForgetClaims(ids);
        AcksLogged();
    } else if (IsFileProblem(WriteProblemOf(groupError))) {
        // The file cannot be written (locked, read-only, full): every row
        // fails alike, and trying them one by one would only wait again for
        // each.
        results.clear();
        for (const TClientInputMessage& ack : acks)
            results << TNAckOutcome{ack, TMoveToSentResult::msFailed, groupError};
    } else {
        // One at a time, so a row that cannot be logged keeps no other from it.
        results.clear();
        for (const TClientInputMessage& ack : acks) {
            TNAckOutcome outcome{ack, TMoveToSentResult::msFailed, QString()};
            outcome.Result = MoveToSent(db, ack, &outcome.Error);
            results << outcome;
        }
    }
    if (outcomes)
        *outcomes = results;
    return true;
}

bool MarkRowsOnWire(QSqlDatabase& db, const QList<qint32>& rowIds, QString* error)
{
    if (rowIds.isEmpty())
        return true;
    return InTransaction(db, error, [&] {
        TStatements st(db);
        InsertOnWireNotes(st, rowIds);
    });
}

void UnmarkRowsOnWire(QSqlDatabase& db, const QList<qint32>& rowIds) noexcept
{
    if (rowIds.isEmpty())
        return;
    try {
        InTransaction(db, nullptr, [&] {
            TStatements st(db);
            QSqlQuery& unmark = st.Get(QStringLiteral("delete from OutMessagesOnWire where ID = :id"));
            for (qint32 rowId : rowIds) {
                unmark.bindValue(QStringLiteral(":id"), rowId);
                Exec(unmark, "unmark row");
            }
        });
    } catch (...) {
        // Not written: the next start counts these rows among those that
        // may have reached their pagers, which errs on the safe side.
    }
}

QString OutRowName(QSqlDatabase& db, qint32 rowId)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("select Name from OutMessages where ID = :id")))
        return QString();
    query.bindValue(QStringLiteral(":id"), rowId);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

int RefusalStatus(const TClientInputMessage& ack)
{
    return ack.ErrorCode != 0 ? ack.ErrorCode : int(rkMessageAcceptError);
}

namespace {
// One report inside a running transaction; raises on a failed statement.
// Applies one report; the message text of a deleted row is added to
// Texts, to be deleted once the group is through if no row uses it any more.
TNReportOutcome ApplyOneReport(TStatements& st, const TClientInputMessage& report, bool applyUnlogged,
                               QSet<qint32>& texts)
{
    TNReportOutcome outcome;
    // The row with the server record its log row was accepted as: two look-ups
    // by key, one statement whose text is fixed.
    QSqlQuery& row =
        st.Get(QStringLiteral("select m.MessageTextID, m.sentMessagesID, s.ServerRecordID from OutMessages m "
                              "left join SentMessages s on s.ID = m.sentMessagesID where m.ID = :ClientRecordID"));
    row.bindValue(QStringLiteral(":ClientRecordID"), report.ClientRecordID);
    Exec(row, "read reported row");
    QVariantList values;
    if (row.next())
        values = {row.value(0), row.value(1), row.value(2)};
    row.finish();
    if (values.isEmpty()) {
        outcome.Result = TApplyReportResult::arNoRow;
        return outcome;
    }
    if (!ReportNamesServerRecord(report, values[2])) {
        // The row was accepted as another server record: the report is
        // not this row's.
        qDebug("Report for client record %d names server record %d, the row was accepted as %d; dropped",
               report.ClientRecordID, report.ServerRecordID, values[2].toInt());
        outcome.Result = TApplyReportResult::arNoRow;
        return outcome;
    }
    const qint32 messageTextId = values[0].toInt();
    QVariant sentId = values[1];
    if (sentId.isNull() && !applyUnlogged) {
        outcome.Result = TApplyReportResult::arNotLogged;
        return outcome;
    }
    if (sentId.isNull()) {
        // The server reported the page but its acknowledgement never came
        // (lost on the way, or the server skipped it). The page went: the
        // log keeps it, as delivered but never confirmed as dispatched, so
        // the operator does not take it for unsent and page the person again.
        TClientInputMessage ack;
        ack.ClientRecordID = report.ClientRecordID;
        ack.ServerRecordID = report.ServerRecordID;
        ack.MsgType = rkMessageAccepted;
        if (MoveOne(st, ack) == TMoveToSentResult::msLogged) {
            sentId = ReadOutRow(st, QStringLiteral("m.sentMessagesID"), 1, report.ClientRecordID, "read logged row")
                         .value(0);
            QSqlQuery& undispatched =
                st.Get(QStringLiteral("update SentMessages set ReceiveConfirmed = 0 where ID = :id"));
            undispatched.bindValue(QStringLiteral(":id"), sentId.toInt());
            Exec(undispatched, "mark log row undispatched");
        }
    }
    if (!sentId.isNull()) {
        QSqlQuery& update =
            st.Get(QStringLiteral("update SentMessages set SendConfirmed = 1, "
                                  "SendTime = :SendTime, ErrorStatus = :ErrorStatus "
                                  "where (ID = :sentMessagesID)"));
        update.bindValue(QStringLiteral(":SendTime"), st.Now());
        update.bindValue(QStringLiteral(":ErrorStatus"), ReportStatus(report));
        update.bindValue(QStringLiteral(":sentMessagesID"), sentId.toInt());
        Exec(update, "confirm log row");
    }
    QSqlQuery& del = st.Get(QStringLiteral("delete from OutMessages where ID = :id"));
    del.bindValue(QStringLiteral(":id"), report.ClientRecordID);
    Exec(del, "delete out-box row");
    texts.insert(messageTextId);
    outcome.Result = TApplyReportResult::arApplied;
    return outcome;
}
}  // namespace

TNReportOutcome ApplyReport(QSqlDatabase& db, const TClientInputMessage& report, bool applyUnlogged, QString* error)
{
    const QList<TNReportOutcome> outcomes = ApplyReports(db, {report}, {applyUnlogged}, error);
    return outcomes.value(0);
}

QList<TNReportOutcome> ApplyReports(QSqlDatabase& db, const QList<TClientInputMessage>& reports,
                                    const QList<bool>& applyUnlogged, QString* error)
{
    QList<TNReportOutcome> outcomes;
    const bool ok = InTransaction(db, error, [&] {
        outcomes.clear();
        TStatements st(db);
        QSet<qint32> texts;
        for (int i = 0; i < reports.size(); ++i)
            outcomes << ApplyOneReport(st, reports[i], applyUnlogged.value(i), texts);
        // A message to many recipients loses its text with its last row:
        // looked at once per group, not once per row.
        for (qint32 textId : std::as_const(texts)) {
            DeleteUnusedText(st, textId);
        }
        QSqlQuery& left = st.Get(QStringLiteral("select 1 from OutMessages limit 1"));
        Exec(left, "look at out-box");
        const bool empty = !left.next();
        left.finish();
        for (TNReportOutcome& outcome : outcomes)
            outcome.OutBoxEmpty = empty;
    });
    if (ok) {
        QList<qint32> gone;
        for (int i = 0; i < outcomes.size(); ++i)
            if (outcomes[i].Result != TApplyReportResult::arNotLogged)
                gone << reports[i].ClientRecordID;
        ForgetClaims(gone);
    } else {
        outcomes.clear();
        TNReportOutcome failed;
        failed.Result = TApplyReportResult::arFailed;
        for (int i = 0; i < reports.size(); ++i)
            outcomes << failed;
    }
    return outcomes;
}

namespace {
// Guarded by its own lock; a removal changes the generation and reads the
// claims in one hold, so a claim made without looking at the out-box is
// always seen by the removal that could have taken its row.
struct TClaims {
    std::mutex lock;
    quint64 generation = 0;
    QSet<qint32> rows;
};

TClaims& Claims()
{
    static TClaims claims;
    return claims;
}

void ForgetClaims(const QList<qint32>& rows)
{
    if (rows.isEmpty())
        return;
    std::lock_guard<std::mutex> guard(Claims().lock);
    for (qint32 row : rows)
        Claims().rows.remove(row);
}

bool RowInOutBox(QSqlDatabase& db, qint32 rowId)
{
    QSqlQuery query = Prepare(db, QStringLiteral("select 1 from OutMessages where ID = :id"));
    query.bindValue(QStringLiteral(":id"), rowId);
    Exec(query, "look for out-box row");
    return query.next();
}
}  // namespace

void ReleaseUnsentClaims(const QList<qint32>& rows)
{
    ForgetClaims(rows);
}

bool RowAwaitsAckLog(qint32 rowId)
{
    std::lock_guard<std::mutex> guard(Claims().lock);
    return Claims().rows.contains(rowId);
}

quint64 RemovalGeneration()
{
    std::lock_guard<std::mutex> guard(Claims().lock);
    return Claims().generation;
}

bool ClaimRowForSending(QSqlDatabase& db, qint32 rowId, quint64 generation)
{
    {
        std::lock_guard<std::mutex> guard(Claims().lock);
        if (Claims().generation == generation) {
            Claims().rows.insert(rowId);
            return true;
        }
    }
    // A removal ran since the rows were loaded: look again, with no removal
    // running meanwhile.
    std::lock_guard<std::mutex> writer(WriterLock());
    const bool present = RowInOutBox(db, rowId);
    std::lock_guard<std::mutex> guard(Claims().lock);
    if (present)
        Claims().rows.insert(rowId);
    return present;
}

QSet<qint32> ClaimRowsForSending(QSqlDatabase& db, const QList<qint32>& rowIds, quint64 generation)
{
    QSet<qint32> claimed;
    claimed.reserve(rowIds.size());
    {
        std::lock_guard<std::mutex> guard(Claims().lock);
        if (Claims().generation == generation) {
            for (qint32 rowId : rowIds) {
                Claims().rows.insert(rowId);
                claimed.insert(rowId);
            }
            return claimed;
        }
    }
    for (qint32 rowId : rowIds)
        if (ClaimRowForSending(db, rowId, generation))
            claimed.insert(rowId);
    return claimed;
}

void DropUnsentMessagesOfEndpoint(QSqlDatabase& db, qint32 serverTypeNo, const QString& name, qint32 portNo)
{
    TNOutRowFilter endpoint;
    endpoint.ServerTypeNo = serverTypeNo;
    if (serverTypeNo == 2)
        endpoint.HostName = name;
    else
        endpoint.IpAddresses << name;
    endpoint.PortNo = portNo;
    TBinds binds;
    const QString condition = EndpointCondition(endpoint, QStringLiteral("e"), binds);
    if (condition.isEmpty())
        return;
    QString error;
    const bool ok = InTransaction(db, &error, [&] {
        QSet<qint32> claimed;
        {
            std::lock_guard<std::mutex> guard(Claims().lock);
            ++Claims().generation;
            claimed = Claims().rows;
        }
        QSqlQuery texts =
            Prepare(db, QStringLiteral("select distinct m.MessageTextID from OutMessages m where %1").arg(condition));
        BindAll(texts, binds);
        Exec(texts, "read the endpoint's messages");
        QList<qint32> textIds;
        while (texts.next())
            textIds << texts.value(0).toInt();
        texts.finish();
        TStatements st(db);
        for (qint32 textId : std::as_const(textIds)) {
            QSqlQuery& rows = st.Get(
                QStringLiteral("select ID from OutMessages where MessageTextID = :t and sentMessagesID is null"));
            rows.bindValue(QStringLiteral(":t"), textId);
            Exec(rows, "read the message's rows");
            QList<qint32> unsent;
            while (rows.next())
                if (!claimed.contains(rows.value(0).toInt()))
                    unsent << rows.value(0).toInt();
            rows.finish();
            for (qint32 rowId : std::as_const(unsent)) {
                QSqlQuery& del = st.Get(QStringLiteral("delete from OutMessages where ID = :id"));
                del.bindValue(QStringLiteral(":id"), rowId);
                Exec(del, "delete unsent row");
            }
            DeleteUnusedText(st, textId);
        }
    });
    if (!ok)
        throw EDatabaseError(error);
}
