#pragma once
// TNSentRows: the out-box rows put on the wire in this run of the program and
// not yet seen through, with what their answers have settled. One record
// serves every link of the run (RunSentRows), so an answer counts whichever
// connection brings it: a server may hand a row's delivery report to a later
// connection of the same installation, after the one that carried the row
// has closed. An answer that matches no row the run sent, or one its row has
// had already, must not make a row count as accepted or delivered (a
// confused server, answers of another client's rows, stale reports).
//
// A row counts from the moment its frame goes out. Its acknowledgement
// (MESSAGE_ACCEPTED or MESSAGE_ACCEPT_ERROR) is taken once, also after its
// wait ran out; a refusal on arrival ends the row (no report follows). Its
// delivery report is taken only after its acceptance, once, and a
// MESSAGE_SENT only when it names the server record the acceptance named: a
// report that comes before the acceptance, or names another record, is not
// this row's (a MESSAGE_SEND_ERROR names no record and is matched by the
// row). The report ends the row. Out-box IDs are never used twice (the
// table's AUTOINCREMENT counts on across clearing, compaction and restarts),
// so the client record ID names one row for good.
//
// Any thread; every member takes the object's lock, held for one hash
// look-up (a receive thread asks once per answer).

#include "messaging/protocolmessages.h"

#include <QHash>
#include <mutex>

class TNSentRows {
public:
    // RowId's frame goes on the wire now (a row sent again starts afresh).
    void Sent(qint32 rowId);
    // Whether Ack answers a row sent and not acknowledged yet. A refusal on
    // arrival ends the row.
    bool TakeAck(const TClientInputMessage& ack);
    // Whether Report belongs to a row accepted and not reported yet (a
    // MESSAGE_SENT: accepted as the server record it names); it ends the
    // row.
    bool TakeReport(const TClientInputMessage& report);
    // Rows sent and not seen through.
    qsizetype Count() const;
    // Forgets every row (a new run of the messaging engine begins).
    void Clear();

private:
    struct TRow {
        bool Accepted = false;
        qint32 ServerRecordID = 0;  // the acceptance's
    };
    mutable std::mutex m_lock;
    QHash<qint32, TRow> m_rows;
};

// The record of the program's run, shared by all its links.
TNSentRows& RunSentRows();
