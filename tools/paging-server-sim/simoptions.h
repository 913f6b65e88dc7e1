#pragma once
// What the paging-server simulator does: its door, its answers and the
// faults it puts on the wire. Filled from the command line or by tests.

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

enum class TSimLogon { Ok, Deny, Refuse, Silent };
enum class TSimReport { Sent, Error, None };
// The automation door's delivery engine: running from the start, stopped
// until StartServer, or one that never reports running.
enum class TSimEngine { Running, Stopped, Never };
// How far a stale report's server record ID lies from the acceptance's.
constexpr int kStaleServerIdOffset = 1000000;

struct TSimOptions {
    // The TCP door. Port 0 picks a free port (read it back from the server).
    QHostAddress listenAddress{QHostAddress::Any};
    quint16 port = 215;

    // Logon: LOGON_OK, LOGON_DENIED (Deny) or DENY_CONNECTION (Refuse) with
    // the reason below, or no answer at all (Silent).
    TSimLogon logon = TSimLogon::Ok;
    int denyCode = 5;
    QString denyText = QStringLiteral("Logon parameters wrong");
    // After a refusal the server closes the connection unless told not to.
    bool closeOnDenial = true;
    int logonDelayMs = 0;

    // Acknowledgements: MESSAGE_ACCEPTED after AckDelayMs, or
    // MESSAGE_ACCEPT_ERROR for the listed client record IDs and addresses.
    int ackDelayMs = 0;
    bool dropAcks = false;
    QList<qint32> dropAckIds;
    QList<qint32> acceptErrorIds;
    QStringList acceptErrorAddresses;
    int acceptErrorCode = 1;

    // Delivery reports, ReportDelayMs after the acknowledgement (0: right
    // after it, in the same write).
    TSimReport report = TSimReport::Sent;
    int reportErrorCode = 1;
    QList<qint32> reportErrorIds;  // these get MESSAGE_SEND_ERROR whatever Report says
    QList<qint32> unreportedIds;   // accepted and never reported, whatever Report says
    int reportDelayMs = 0;
    // Every MESSAGE_SENT goes out a second time this many milliseconds after
    // the first (0: once): a late report of a row the client has seen
    // through already.
    int repeatReportMs = 0;
    // Answers for rows never sent: right after LOGON_OK, MESSAGE_ACCEPTED and
    // MESSAGE_SENT for client record IDs 1 to StrayAnswers, though no
    // MESSAGE came (their server record IDs are taken from the counter).
    int strayAnswers = 0;
    // The same with failures: MESSAGE_ACCEPT_ERROR and MESSAGE_SEND_ERROR for
    // client record IDs 1 to StrayFailures, after the stray answers.
    int strayFailures = 0;
    // The delivery reports a connection still owes when it closes (either
    // side closing it) go out on the next connection that logs on with the
    // same AppID, right after its LOGON_OK: a server that keeps reports per
    // installation.
    bool holdReports = false;
    // Before each MESSAGE_ACCEPTED, a stale MESSAGE_SENT for the same client
    // record ID that names another server record (the accepted one plus
    // kStaleServerIdOffset).
    bool staleReports = false;
    // Each delivery report that goes with its acknowledgement (ReportDelayMs
    // 0) goes just before it instead, naming the same server record.
    bool reportsFirst = false;

    // Wire faults. SplitAt 1 writes each frame byte by byte, N > 1 in two
    // writes cut after byte N; SplitGapMs is the pause between the writes.
    int splitAt = 0;
    int splitGapMs = 2;
    bool garbage = false;  // stray bytes before every frame
    bool nul = false;      // a NUL byte after every frame
    int closeAfter = 0;    // close a connection after answering this many MESSAGEs
    bool silent = false;   // never answer anything

    // The frame log (JSON lines); empty: kept in memory only.
    QString logFile;
    // How many log entries stay in memory (the oldest go first); 0 keeps all.
    int memoryLogLimit = 0;

    int broadcastEveryMs = 0;
    QString broadcastText = QStringLiteral("Broadcast from the paging server");

    qint32 firstServerRecordId = 1;

    // The doors: TCP (above) and the automation door on the session bus
    // under BusName (automationnames.h).
    bool tcpDoor = true;
    bool automationDoor = false;
    QString busName = QStringLiteral("org.tovix.PagingServer");
    // Automation faults: the engine's state and the delay between
    // StartServer and running; a BROADCAST_MESSAGE right after LOGON_OK;
    // frames leaving together share one ReplyMessage event (JoinFrames);
    // the EventSplit-th event of a conversation ends inside its last frame,
    // whose rest follows in an event of its own.
    TSimEngine engine = TSimEngine::Running;
    int engineStartDelayMs = 0;
    QString logonBroadcast;
    bool joinFrames = false;
    int eventSplit = 0;
};

// Reads the program's command line (Arguments[0] is the program). False
// with ErrorText on an unknown option or a bad value; HelpText is set and
// the result is false when --help was asked for.
bool ParseSimArguments(const QStringList& arguments, TSimOptions* options, QString* errorText, QString* helpText);
