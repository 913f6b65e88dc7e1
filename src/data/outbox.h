#pragma once
// The out-box of the local database: queuing a message for its recipients,
// the distinct server endpoints of the queued rows, and removing the messages
// of an endpoint. Every function works on the connection it is given, which
// must belong to the calling thread; each runs whole in one transaction.

#include "data/recipient.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

class TBaseDataClient;

// One pending endpoint: the IP address (TCP) or host name (automation), and
// a tag whose low 16 bits are the server type and, for TCP, whose high 16
// bits are the port.
struct TNEndpointEntry {
    QString Name;
    quint32 Tag = 0;
};
using TNEndpointList = QList<TNEndpointEntry>;

inline int EndpointServerType(quint32 tag)
{
    return static_cast<int>(tag & 0xFFFFu);
}
inline int EndpointPort(quint32 tag)
{
    return static_cast<int>(tag >> 16);
}

// A recipient, or a member of a recipient group ("<group>[<contact>]"),
// that was not queued, and why (a text for the operator).
struct TNNotQueued {
    QString Name;
    QString Reason;
};
using TNNotQueuedList = QList<TNNotQueued>;

// What queuing one message did.
struct TNQueueResult {
    // The new text row; 0 when no row was written.
    qint32 MessageTextID = 0;
    // Rows written (recipients paged again on the operator's word included).
    int Queued = 0;
    // Recipients for whom the same text still waits unsent in the out-box:
    // no second row; the waiting row goes with this send.
    int StillWaiting = 0;
    // The recipients the same text has already reached from a message still
    // in the out-box (accepted and waiting for the report, or logged), as
    // they were named to the operator; PagedAgain is the answer: true queued
    // them again, false left them out.
    QStringList Reached;
    bool PagedAgain = false;
    TNNotQueuedList NotQueued;
    // After the queuing, the out-box holds rows that wait to be sent (this
    // message's or an earlier one's): only then has a send work to do.
    bool Pending = false;
};

// Asks the operator whether to page again the recipients the same text has
// already reached (their names, in recipient order); true pages them again.
// It runs while the out-box is not locked.
using TNAskPageAgain = std::function<bool(const QStringList& reachedNames)>;

namespace OutBox {

// Queues one message: one OutMessageTexts row, then one OutMessages row per
// contact (a group's members expanded; a member is named "<group>[<contact>]"
// when ShowContactNamesOfGroups, else "<group>"), each with the endpoint its
// client reports. Folders and address books are not recipients. A contact
// without a usable endpoint (no server found, a server type other than TCP
// or automation, a TCP port outside 1 to 65535) or whose client no longer
// lives is not queued and is listed in NotQueued with the reason; a member
// whose contact row is gone is no longer a member and is left out.
//
// The same text (exactly, letter case included) as a message still in the
// out-box: a recipient for whom a row of it still waits to be sent gets no
// second row. A recipient it has already reached (its row accepted and
// waiting for the delivery report, or logged as accepted or delivered) is
// named to AskPageAgain, once for the whole list, before anything is written:
// yes queues them again, no leaves them out. Without AskPageAgain they are
// left out. A page that was refused or failed never reached its pager: that
// recipient is queued again without a question. Either every row is written
// or none; no text row is written when no contact row follows. An empty list
// writes nothing.
TNQueueResult AddOutMessage(const QSqlDatabase& db, const TNRecipients& recipients, const QString& messageText,
                            bool showContactNamesOfGroups, const TNAskPageAgain& askPageAgain = {});
// One contact row; false when the client reports no usable server for the
// contact.
bool AddOutMessageForContact(const QSqlDatabase& db, qint32 contactID, const QString& name, TBaseDataClient* client,
                             qint32 messageTextID);

// The distinct (IpAddress, PortNo, HostName, ServerTypeNo) rows: a TCP row
// gives its address with ((PortNo & 0xFFFF) << 16) | 1, an automation row its
// host name with 2; other types are left out. With UnsentOnly, only rows
// that no server has acknowledged yet count (an endpoint whose rows all wait
// for their delivery reports needs no connection).
void GetPendingServers(const QSqlDatabase& db, TNEndpointList& endpoints, bool unsentOnly = false);

// Remove every message (its text and all of its rows, for other endpoints
// too) that has at least one row for the endpoint.
void DeleteOutMessagesForTcpServer(const QSqlDatabase& db, const QString& ipAddress, qint32 portNo);
void DeleteOutMessagesForComServer(const QSqlDatabase& db, const QString& hostName);

// Empty the out-box, and the sent-message log (rows before texts; a logged
// text that a message still in the out-box links to stays for its later rows).
void ClearOutMessages(const QSqlDatabase& db);
void ClearSentMessages(const QSqlDatabase& db);

// What a run left in the out-box: its rows; those a server accepted (their
// acceptance is logged, their delivery report never came); and those whose
// frames had been put on the wire with no answer logged, which may have
// reached their pagers without a trace in the sent-message log.
struct TNLeftInOutBox {
    int Rows = 0;
    int Accepted = 0;
    int MayHaveReached = 0;
};
TNLeftInOutBox LeftInOutBox(const QSqlDatabase& db);

}  // namespace OutBox
