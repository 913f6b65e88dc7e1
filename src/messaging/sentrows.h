#pragma once
// TNSentRows: the out-box rows put on the wire in this run of the program and
// not yet seen through, with the server each went to and what its answers
// have settled. One record serves every link of the run (RunSentRows), so an
// answer counts on whichever connection to the row's server brings it: a
// server may hand a row's delivery report to a later connection of the same
// installation, after the one that carried the row has closed. An answer
// from another server, one that matches no row the run sent, or one its row
// has had already, must not make a row count as accepted, delivered or
// failed (a confused server, another server numbering its records alike,
// answers of another client's rows, stale reports).
//
// A row counts from the moment its frame goes out, for the server (endpoint)
// it went to. Its acknowledgement (MESSAGE_ACCEPTED or MESSAGE_ACCEPT_ERROR)
// is taken once, also after its wait ran out; a refusal on arrival ends the
// row (no report follows). Its delivery report is taken once; a MESSAGE_SENT
// only when it names the server record the acceptance named (a
// MESSAGE_SEND_ERROR names no record and is matched by the row). A report
// that comes before the acceptance is held for it (one a row, so no more than
// the rows on the wire) and taken with it when the acceptance names the same
// record; a held report naming another record, or held for a row that is
// refused, is stale. The report ends the row. Out-box IDs are never used
// twice (the table's AUTOINCREMENT counts on across clearing, compaction and
// restarts), so the client record ID names one row for good.
//
// Any thread; every member takes the object's lock, held for one or two hash
// look-ups (a receive thread asks once per answer).

#include "messaging/protocolmessages.h"

#include <QHash>
#include <QString>
#include <mutex>

class TNSentRows {
public:
    // The number that stands for a server in this run: every link to the
    // same endpoint (Key: its kind and address) gets the same one.
    static quint32 EndpointId(const QString& key);

    // RowId's frame goes on the wire now, to Endpoint (a row sent again
    // starts afresh, but keeps a report held for it).
    void Sent(qint32 rowId, quint32 endpoint);

    // What an acknowledgement from Endpoint settled.
    struct TAckTake {
        bool Taken = false;      // it answers a row sent there and not acknowledged yet
        bool HasReport = false;  // the report held for the row, which it now confirms
        TClientInputMessage Report;
        int Stale = 0;  // held reports the acceptance showed to be stale (ignored)
    };
    TAckTake TakeAck(const TClientInputMessage& ack, quint32 endpoint);

    enum TReportTake : quint8 {
        rtTaken,  // it ends its row
        rtHeld,   // it came before the row's acceptance and waits for it
        rtStray,  // no row of Endpoint awaits it
    };
    TReportTake TakeReport(const TClientInputMessage& report, quint32 endpoint);

    // Rows sent and not seen through.
    qsizetype Count() const;
    // Forgets every row (a new run of the messaging engine begins).
    void Clear();

private:
    struct TRow {
        quint32 Endpoint = 0;
        bool Accepted = false;
        bool Held = false;          // a report waits in m_held
        qint32 ServerRecordID = 0;  // the acceptance's
    };
    mutable std::mutex m_lock;
    QHash<qint32, TRow> m_rows;
    // Reports that came before their rows' acceptance (rarely any).
    QHash<qint32, TClientInputMessage> m_held;
};

// The record of the program's run, shared by all its links.
TNSentRows& RunSentRows();
