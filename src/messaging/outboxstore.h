#pragma once
// The database work of the send path on the local database: reading the rows
// a link must send, moving an acknowledged row into the sent-message log,
// applying a delivery report, and telling whether any accepted row still
// waits for its report.
//
// Every function works on the connection it is given; each worker thread
// passes its own. Writes that belong together run in one transaction that is
// rolled back on any failure, leaving the out-box as it was.

#include "messaging/protocolmessages.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

// One out-box row with its text, as the send thread needs it.
struct TNOutRow {
    qint32 ID = 0;
    qint32 ContactID = 0;
    QString DatabaseGUID;
    QString Name;
    QString MessageText;
};

// Which out-box rows belong to a link: a TCP link by server type, one of its
// addresses (a local link answers for 127.0.0.1 and the host's own address)
// and port; an automation link by server type and host name.
struct TNOutRowFilter {
    qint32 ServerTypeNo = 0;
    QStringList IpAddresses;
    qint32 PortNo = 0;
    QString HostName;
};

// The rows of the filter's endpoint that no server has acknowledged yet
// (sentMessagesID is empty), in queuing order, read a page at a time: a
// batch holds one page in memory however large the out-box is. The rows are
// those queued when the reader was made (later ones wait for the next
// batch); a row that leaves the out-box meanwhile is not read. Next and the
// constructor raise EDatabaseError when a query fails. One thread.
class TNOutRowReader {
public:
    static constexpr int kPageRows = 256;

    TNOutRowReader(QSqlDatabase& db, const TNOutRowFilter& filter, int pageRows = kPageRows);
    // The rows there were when the reader was made.
    int Total() const { return m_total; }
    // The next row; false when there is none left.
    bool Next(TNOutRow& row);

private:
    void ReadPage();

    QSqlDatabase& m_db;
    const int m_pageRows;
    QString m_sql;
    QList<QPair<QString, QVariant>> m_binds;
    int m_total = 0;
    qint32 m_lastId = 0;   // the newest row the reader serves
    qint32 m_afterId = 0;  // the last row read
    QList<TNOutRow> m_page;
    qsizetype m_next = 0;
    bool m_done = false;
    // The text of the last page's last row, shared by the rows that follow
    // with the same text.
    qint32 m_textId = -1;
    QString m_text;
};

// Every row TNOutRowReader would serve, at once.
QList<TNOutRow> LoadUnacknowledgedRows(QSqlDatabase& db, const TNOutRowFilter& filter);

enum class TMoveToSentResult { msNoRow, msLogged, msFailed };

// Records an acknowledgement (MESSAGE_ACCEPTED or MESSAGE_ACCEPT_ERROR) in
// the sent-message log and links the out-box row to the log row. A row
// refused on arrival is logged as confirmed, with the refusal's status
// (RefusalStatus), and leaves the out-box in the same transaction (no report
// will ever follow it). msFailed: the
// transaction was rolled back, the row is still in the out-box unchanged.
TMoveToSentResult MoveToSent(QSqlDatabase& db, const TClientInputMessage& ack, QString* error = nullptr);

// What became of one acknowledgement; Error says why it could not be logged.
struct TNAckOutcome {
    TClientInputMessage Ack;
    TMoveToSentResult Result = TMoveToSentResult::msNoRow;
    QString Error;
    // The row's delivery report was applied with it (Report holds it).
    bool ReportApplied = false;
    TClientInputMessage Report;
};

// Logs several acknowledgements in one transaction; when that fails, each
// on its own, so one row that cannot be logged keeps no other from it
// (unless the file as a whole cannot be written: then every one fails with
// that reason, at once).
// Without WaitForWriters nothing is done (false) while another of the
// program's threads is writing the log, so the caller can go on sending and
// log the acknowledgements later. Outcomes, when given, gets one entry per
// acknowledgement, in order.
// Reports, when given, holds delivery reports already in hand: an accepted
// row whose report is among them is logged as confirmed with the report's
// status and leaves the out-box in the same transaction (what ApplyReport
// would do once the acknowledgement is logged); the reports applied so are
// taken out of the list, the others stay for the message processor.
bool MoveAllToSent(QSqlDatabase& db, const QList<TClientInputMessage>& acks, bool waitForWriters = true,
                   QList<TNAckOutcome>* outcomes = nullptr, QList<TClientInputMessage>* reports = nullptr);

// Notes in the local database, before their frames go out, that these
// out-box rows may reach the server from now on, so that a later start can
// tell how many messages a run that ended abruptly (killed, powered off) may
// have delivered without a logged answer. False (Error set, nothing noted)
// when it cannot be written: the rows must not go then.
bool MarkRowsOnWire(QSqlDatabase& db, const QList<qint32>& rowIds, QString* error = nullptr);
// Takes the note back for rows whose frames never went out (their batch
// ended first). Never throws; a note left behind only makes a later start
// count the row among those that may have been delivered.
void UnmarkRowsOnWire(QSqlDatabase& db, const QList<qint32>& rowIds) noexcept;

// The recipient's name of an out-box row; empty when it cannot be read.
QString OutRowName(QSqlDatabase& db, qint32 rowId);
// The status logged for a row refused on arrival: the refusal's code, or the
// refusal's reply kind when the server gave none (so it never reads as a
// success).
int RefusalStatus(const TClientInputMessage& ack);

enum class TApplyReportResult { arNoRow, arNotLogged, arApplied, arFailed };

struct TNReportOutcome {
    TApplyReportResult Result = TApplyReportResult::arNoRow;
    bool OutBoxEmpty = false;  // the out-box after the reports applied together
};

// Applies a delivery report (MESSAGE_SENT or MESSAGE_SEND_ERROR): confirms
// the log row with its status, deletes the out-box row and, with its last
// row, the message text. When the row has not been logged yet and
// ApplyUnlogged is false nothing changes and arNotLogged is returned, so the
// caller can hold the report until the acknowledgement is logged; with
// ApplyUnlogged the row is logged first, its acknowledgement marked as
// never received.
TNReportOutcome ApplyReport(QSqlDatabase& db, const TClientInputMessage& report, bool applyUnlogged,
                            QString* error = nullptr);

// Several reports in one transaction, each with its own ApplyUnlogged;
// the outcomes in the same order. When the transaction fails nothing changes
// and every outcome is arFailed.
QList<TNReportOutcome> ApplyReports(QSqlDatabase& db, const QList<TClientInputMessage>& reports,
                                    const QList<bool>& applyUnlogged, QString* error = nullptr);

// Rows handed to a transport. A row that a link has begun to send may have
// reached its server, so it must stay in the out-box (or go to the log)
// whatever else happens to its message: the removal of a failed endpoint's
// messages spares it. A batch takes the generation before it loads its rows
// and claims each row just before it sends it; the claim looks at the
// out-box again (under the writers' lock) only when a removal has run since.
quint64 RemovalGeneration();
// False: the row has left the out-box (do not send it). Raises
// EDatabaseError when the out-box cannot be read.
bool ClaimRowForSending(QSqlDatabase& db, qint32 rowId, quint64 generation);
// The same for several rows, under one hold of the claims' lock when no
// removal ran; the rows claimed.
QSet<qint32> ClaimRowsForSending(QSqlDatabase& db, const QList<qint32>& rowIds, quint64 generation);
// Claimed rows that were never handed to the transport (their batch ended
// first): the removal of their message may take them again.
void ReleaseUnsentClaims(const QList<qint32>& rows);

// Whether a link has sent the row and its acknowledgement is not logged
// yet (the report of such a row waits; no query needed to know it).
bool RowAwaitsAckLog(qint32 rowId);
// Counts the commits that logged acknowledgements; each one also wakes the
// message processor (reports wait for them).
quint64 AckLogGeneration();

// A failed connection: removes the messages that have a row for the
// endpoint, except their rows that a link has claimed or a server has
// accepted (those stay, with the message text, until their
// acknowledgement and report are logged). The endpoint is a TCP address and
// port (type 1) or a host name (type 2), compared as the rows hold them.
// Raises EDatabaseError; nothing changes then.
void DropUnsentMessagesOfEndpoint(QSqlDatabase& db, qint32 serverTypeNo, const QString& name, qint32 portNo);

// The local time as the database stores it.
QString DatabaseNow();
