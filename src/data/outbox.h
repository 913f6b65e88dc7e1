#pragma once
// The out-box of the local database: queuing a message for its recipients,
// the distinct server endpoints of the queued rows, and removing the messages
// of an endpoint. Every function works on the connection it is given, which
// must belong to the calling thread; each runs whole in one transaction.

#include "data/recipient.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

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
    // Rows written, and recipients left out because the same text still
    // waits in the out-box for them (or went to them from that message).
    int Queued = 0;
    int AlreadyQueued = 0;
    TNNotQueuedList NotQueued;
    // After the queuing, the out-box holds rows that wait to be sent (this
    // message's or an earlier one's): only then has a send work to do.
    bool Pending = false;
};

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
// A recipient for whom the same text (exactly, letter case included) is
// still in the out-box is not queued again: see CoveredRecipients in the
// source. Either every row is written or none; no text row is written when
// no contact row follows. An empty list writes nothing.
TNQueueResult AddOutMessage(const QSqlDatabase& db, const TNRecipients& recipients, const QString& messageText,
                            bool showContactNamesOfGroups);
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

}  // namespace OutBox
