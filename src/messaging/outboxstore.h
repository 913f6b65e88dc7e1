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
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

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
// (sentMessagesID is empty), in queuing order. Raises EDatabaseError when
// the query fails.
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
};

// Logs several acknowledgements in one transaction; when that fails, each
// on its own, so one row that cannot be logged keeps no other from it.
// Without WaitForWriters nothing is done (false) while another of the
// program's threads is writing the log, so the caller can go on sending and
// log the acknowledgements later. Outcomes, when given, gets one entry per
// acknowledgement, in order.
bool MoveAllToSent(QSqlDatabase& db, const QList<TClientInputMessage>& acks, bool waitForWriters = true,
                   QList<TNAckOutcome>* outcomes = nullptr);

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
// caller can hold the report until the acknowledgement is logged.
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

// A failed connection: removes the messages that have a row for the
// endpoint, except their rows that a link has claimed or a server has
// accepted (those stay, with the message text, until their
// acknowledgement and report are logged). The endpoint is a TCP address and
// port (type 1) or a host name (type 2), compared as the rows hold them.
// Raises EDatabaseError; nothing changes then.
void DropUnsentMessagesOfEndpoint(QSqlDatabase& db, qint32 serverTypeNo, const QString& name, qint32 portNo);

// The local time as the database stores it.
QString DatabaseNow();
