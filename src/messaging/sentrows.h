#pragma once
// TNSentRows: the rows one link has put on the wire and not yet seen
// through, so that only the answers of the link's own conversation reach
// the sent-message log and the out-box. A server may answer client record
// IDs it never got (a confused server, answers of another client's rows);
// such an answer must not make a row count as accepted or delivered.
//
// A row counts from the moment its frame goes out until its delivery report
// (or a refusal on arrival) ends it. A row whose answer wait ran out stays,
// so its late acknowledgement is still taken, in a later batch too. Out-box
// IDs start again once the out-box is emptied: a row accepted with a server
// record ID takes a MESSAGE_SENT report only when it names that ID, so a
// late report of an earlier row with the same ID is not taken for this one.
// A MESSAGE_SEND_ERROR names no server record ID and is matched by the row.
//
// Any thread; every member takes the object's lock, held for one hash
// look-up (the receive thread asks once per answer).

#include "messaging/protocolmessages.h"

#include <QHash>
#include <mutex>

class TNSentRows {
public:
    // RowId's frame goes on the wire now (a row sent again starts afresh).
    void Sent(qint32 rowId);
    // Whether Ack answers a row sent and not acknowledged yet. A refusal on
    // arrival ends the row (no report follows it).
    bool TakeAck(const TClientInputMessage& ack);
    // Whether Report belongs to a row sent and not reported yet; once the
    // row is acknowledged too, it ends.
    bool TakeReport(const TClientInputMessage& report);
    // Rows sent and not seen through.
    qsizetype Count() const;

private:
    struct TRow {
        bool Acked = false;
        bool Reported = false;
        qint32 ServerRecordID = 0;  // the acceptance's, once Acked
    };
    mutable std::mutex m_lock;
    QHash<qint32, TRow> m_rows;
};
