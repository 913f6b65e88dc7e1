#pragma once
// What the simulator's remote data door serves: the address books under
// their server names, the port of the TCP door it names in its greeting,
// and the faults it puts on for tests.

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// One address book served under a server name, kept in an SQLite file with
// the address-book tables (made empty when the file is missing).
struct TSimDataBook {
    QString serverName;
    QString guid;
    QString file;
};

// A refusal put on one row of an apply: the change of Provider whose ID (a
// temporary ID for an insert) is Id gets Code (constraint, deleted or
// conflict) whatever the database says.
struct TSimDataFault {
    QString provider;
    qint64 id = 0;
    int code = 0;
};

struct TSimDataOptions {
    QHostAddress listenAddress{QHostAddress::Any};
    quint16 port = 211;  // 0 picks a free port
    QList<TSimDataBook> books;
    // The TCP door's port named in the greeting; 0 names none.
    quint16 tcpDoorPort = 0;
    QList<TSimDataFault> faults;
    bool refuse = false;   // greet every connection with a refusal and close it
    int greetDelayMs = 0;  // wait this long before greeting
    // Store this many applies and drop each one's connection instead of
    // answering, as a door does when the line breaks after its commit.
    int loseApplyAnswers = 0;
    int protocol = 0;  // the protocol named in the greeting; 0: this build's (tests name an older door's)
    QString logFile;   // the request log as JSON lines; empty: memory only
    // Fetch and apply are answered under a wrong request ID, and the answer
    // goes again every wrongIdsEveryMs until the client closes, or until
    // wrongIdsForMs (when above 0) have passed: then it goes under the right
    // ID.
    bool wrongIds = false;
    int wrongIdsEveryMs = 200;
    int wrongIdsForMs = 0;
    // Replies sent as they stand instead of the book's: "fetch:prvContacts"
    // or "apply:prvContacts" -> the JSON text of a reply object without its
    // "id" (which is put in), so that tests can send what no database holds.
    QHash<QString, QByteArray> canned;
};

// Reads the remote data door's options out of the simulator's command line
// (--data-port, --data-book, --data-tcp-port, --data-fault, --data-refuse,
// --data-delay, --data-lose-answer, --data-log, --data-wrong-ids,
// --data-canned); the others are left for the TCP door's parser in Rest. False with ErrorText on a bad value.
bool ParseSimDataArguments(const QStringList& arguments, TSimDataOptions* options, bool* enabled, QStringList* rest,
                           QString* errorText);
QString SimDataHelpText();
