#include "simoptions.h"

#include <QCommandLineParser>
#include <climits>

namespace {
QString S(const char* text)
{
    return QString::fromLatin1(text);
}

bool ReadInt(const QString& text, int minimum, int maximum, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < minimum || v > maximum)
        return false;
    *value = v;
    return true;
}

bool ReadIdList(const QString& text, QList<qint32>* ids)
{
    ids->clear();
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint32 id = part.trimmed().toInt(&ok, 10);
        if (!ok)
            return false;
        ids->append(id);
    }
    return true;
}

bool ReadLogon(const QString& text, TSimLogon* logon)
{
    static const QList<std::pair<const char*, TSimLogon>> modes = {
        {"ok", TSimLogon::Ok}, {"deny", TSimLogon::Deny}, {"refuse", TSimLogon::Refuse}, {"silent", TSimLogon::Silent}};
    for (const auto& [name, mode] : modes)
        if (text == QLatin1String(name)) {
            *logon = mode;
            return true;
        }
    return false;
}

// "ok", "none" or "error:CODE".
bool ReadReport(const QString& text, TSimOptions* options)
{
    if (text == S("ok")) {
        options->report = TSimReport::Sent;
        return true;
    }
    if (text == S("none")) {
        options->report = TSimReport::None;
        return true;
    }
    if (text.startsWith(S("error:")) && ReadInt(text.mid(6), INT_MIN, INT_MAX, &options->reportErrorCode)) {
        options->report = TSimReport::Error;
        return true;
    }
    return false;
}

bool ReadAddress(const QString& text, QHostAddress* address)
{
    if (text == S("any")) {
        *address = QHostAddress(QHostAddress::Any);
        return true;
    }
    if (text == S("localhost")) {
        *address = QHostAddress(QHostAddress::LocalHost);
        return true;
    }
    return address->setAddress(text);
}

struct TIntOption {
    const char* name;
    int minimum;
    int maximum;
    int TSimOptions::*field;
};

const TIntOption kIntOptions[] = {
    {"deny-code", INT_MIN, INT_MAX, &TSimOptions::denyCode},
    {"logon-delay", 0, 3600000, &TSimOptions::logonDelayMs},
    {"ack-delay", 0, 3600000, &TSimOptions::ackDelayMs},
    {"accept-error-code", INT_MIN, INT_MAX, &TSimOptions::acceptErrorCode},
    {"report-delay", 0, 3600000, &TSimOptions::reportDelayMs},
    {"repeat-reports", 0, 3600000, &TSimOptions::repeatReportMs},
    {"stray-answers", 0, 100000, &TSimOptions::strayAnswers},
    {"stray-failures", 0, 100000, &TSimOptions::strayFailures},
    {"split", 0, 1 << 20, &TSimOptions::splitAt},
    {"split-gap", 0, 60000, &TSimOptions::splitGapMs},
    {"close-after", 0, INT_MAX, &TSimOptions::closeAfter},
    {"broadcast-every", 0, 86400000, &TSimOptions::broadcastEveryMs},
    {"first-server-id", INT_MIN, INT_MAX, &TSimOptions::firstServerRecordId},
    {"memory-log", 0, INT_MAX, &TSimOptions::memoryLogLimit},
    {"start-delay", 0, 3600000, &TSimOptions::engineStartDelayMs},
    {"event-split", 0, INT_MAX, &TSimOptions::eventSplit},
};

struct TFlagOption {
    const char* name;
    const char* help;
    bool TSimOptions::*field;
};

const TFlagOption kFlagOptions[] = {
    {"drop-acks", "Never acknowledge a MESSAGE.", &TSimOptions::dropAcks},
    {"garbage", "Write stray bytes before every frame.", &TSimOptions::garbage},
    {"nul", "Write a NUL byte after every frame.", &TSimOptions::nul},
    {"silent", "Never answer anything.", &TSimOptions::silent},
    {"automation", "Open the automation door on the D-Bus session bus.", &TSimOptions::automationDoor},
    {"join-frames", "Automation door: frames leaving together share one ReplyMessage event.", &TSimOptions::joinFrames},
    {"hold-reports",
     "Delivery reports due when a connection closes go out on the next connection of the same AppID, after LOGON_OK.",
     &TSimOptions::holdReports},
    {"stale-reports", "Before each MESSAGE_ACCEPTED, a stale MESSAGE_SENT naming another server record ID.",
     &TSimOptions::staleReports},
    {"reports-first",
     "A delivery report due with its acknowledgement (no --report-delay) goes just before the MESSAGE_ACCEPTED.",
     &TSimOptions::reportsFirst},
};

bool ReadEngine(const QString& text, TSimEngine* engine)
{
    static const QList<std::pair<const char*, TSimEngine>> states = {
        {"running", TSimEngine::Running}, {"stopped", TSimEngine::Stopped}, {"never", TSimEngine::Never}};
    for (const auto& [name, state] : states)
        if (text == QLatin1String(name)) {
            *engine = state;
            return true;
        }
    return false;
}
}  // namespace

bool ParseSimArguments(const QStringList& arguments, TSimOptions* options, QString* errorText, QString* helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        S("A paging server for tests and demonstrations: answers LOGON and MESSAGE "
          "frames over TCP and on its automation door (D-Bus), and logs every frame it receives."));
    const QCommandLineOption help(QStringList{S("h"), S("help")}, S("Show this help."));
    parser.addOption(help);
    auto valueOption = [&](const char* name, const char* text, const char* value) {
        parser.addOption(QCommandLineOption(S(name), S(text), S(value)));
    };
    valueOption("listen", "Address to listen on: an IP address, any or localhost (default any).", "address");
    valueOption("port", "TCP port (default 215; 0 picks a free one).", "n");
    valueOption("logon", "Answer to LOGON: ok, deny, refuse or silent.", "mode");
    valueOption("deny-code", "Reason code of a refused logon.", "n");
    valueOption("deny-text", "Reason text of a refused logon.", "text");
    valueOption("logon-delay", "Milliseconds before the logon answer.", "ms");
    valueOption("ack-delay", "Milliseconds before MESSAGE_ACCEPTED.", "ms");
    valueOption("drop-ack-ids", "Client record IDs that are never acknowledged.", "ids");
    valueOption("accept-error-ids", "Client record IDs answered with MESSAGE_ACCEPT_ERROR.", "ids");
    valueOption("accept-error-addresses", "Addresses answered with MESSAGE_ACCEPT_ERROR.", "list");
    valueOption("accept-error-code", "Status code of MESSAGE_ACCEPT_ERROR.", "n");
    valueOption("report", "Delivery report: ok, error:CODE or none.", "kind");
    valueOption("report-error-ids", "Client record IDs reported with MESSAGE_SEND_ERROR.", "ids");
    valueOption("unreported-ids", "Client record IDs accepted and never reported.", "ids");
    valueOption("report-delay", "Milliseconds between acknowledgement and report.", "ms");
    valueOption("repeat-reports", "Send every MESSAGE_SENT again this many milliseconds later.", "ms");
    valueOption("stray-answers",
                "Right after LOGON_OK, accept and report client record IDs 1 to N, which were never sent.", "n");
    valueOption("stray-failures",
                "After those, refuse and fail client record IDs 1 to N (MESSAGE_ACCEPT_ERROR, MESSAGE_SEND_ERROR).",
                "n");
    valueOption("split", "Split frames: 1 byte by byte, N in two writes at byte N.", "n");
    valueOption("split-gap", "Milliseconds between the writes of a split frame.", "ms");
    valueOption("close-after", "Close a connection after answering N MESSAGEs.", "n");
    valueOption("log", "Append every frame to this file (JSON lines).", "file");
    valueOption("broadcast-every", "Send a BROADCAST_MESSAGE every so many milliseconds.", "ms");
    valueOption("broadcast-text", "Text of the periodic broadcast.", "text");
    valueOption("first-server-id", "First server record ID.", "n");
    valueOption("memory-log", "Log entries kept in memory (0: all).", "n");
    valueOption("bus-name", "Bus name of the automation door (default org.tovix.PagingServer).", "name");
    valueOption("engine", "Automation door's engine: running, stopped (until StartServer) or never.", "state");
    valueOption("start-delay", "Milliseconds between StartServer and the engine running.", "ms");
    valueOption("logon-broadcast", "Send a BROADCAST_MESSAGE with this text right after LOGON_OK.", "text");
    valueOption("event-split", "Automation door: end the Nth event of a conversation inside its last frame.", "n");
    parser.addOption(QCommandLineOption(S("no-tcp"), S("Open no TCP door.")));
    parser.addOption(QCommandLineOption(S("keep-open"), S("Keep the connection open after a refused logon.")));
    for (const TFlagOption& flag : kFlagOptions)
        parser.addOption(QCommandLineOption(S(flag.name), S(flag.help)));

    if (!parser.parse(arguments)) {
        *errorText = parser.errorText();
        return false;
    }
    if (parser.isSet(help)) {
        *helpText = parser.helpText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *errorText = S("Unexpected argument: ") + parser.positionalArguments().first();
        return false;
    }

    TSimOptions o = *options;
    auto bad = [&](const char* name) {
        *errorText = S("Bad value for --") + S(name) + S(": ") + parser.value(S(name));
        return false;
    };
    if (parser.isSet(S("listen")) && !ReadAddress(parser.value(S("listen")), &o.listenAddress))
        return bad("listen");
    if (parser.isSet(S("port"))) {
        int port = 0;
        if (!ReadInt(parser.value(S("port")), 0, 65535, &port))
            return bad("port");
        o.port = static_cast<quint16>(port);
    }
    if (parser.isSet(S("logon")) && !ReadLogon(parser.value(S("logon")), &o.logon))
        return bad("logon");
    for (const TIntOption& option : kIntOptions)
        if (parser.isSet(S(option.name)) &&
            !ReadInt(parser.value(S(option.name)), option.minimum, option.maximum, &(o.*option.field)))
            return bad(option.name);
    if (parser.isSet(S("report")) && !ReadReport(parser.value(S("report")), &o))
        return bad("report");
    if (parser.isSet(S("drop-ack-ids")) && !ReadIdList(parser.value(S("drop-ack-ids")), &o.dropAckIds))
        return bad("drop-ack-ids");
    if (parser.isSet(S("accept-error-ids")) && !ReadIdList(parser.value(S("accept-error-ids")), &o.acceptErrorIds))
        return bad("accept-error-ids");
    if (parser.isSet(S("report-error-ids")) && !ReadIdList(parser.value(S("report-error-ids")), &o.reportErrorIds))
        return bad("report-error-ids");
    if (parser.isSet(S("unreported-ids")) && !ReadIdList(parser.value(S("unreported-ids")), &o.unreportedIds))
        return bad("unreported-ids");
    if (parser.isSet(S("accept-error-addresses")))
        o.acceptErrorAddresses = parser.value(S("accept-error-addresses")).split(u',', Qt::SkipEmptyParts);
    if (parser.isSet(S("deny-text")))
        o.denyText = parser.value(S("deny-text"));
    if (parser.isSet(S("broadcast-text")))
        o.broadcastText = parser.value(S("broadcast-text"));
    if (parser.isSet(S("log")))
        o.logFile = parser.value(S("log"));
    if (parser.isSet(S("keep-open")))
        o.closeOnDenial = false;
    if (parser.isSet(S("engine")) && !ReadEngine(parser.value(S("engine")), &o.engine))
        return bad("engine");
    if (parser.isSet(S("bus-name")))
        o.busName = parser.value(S("bus-name"));
    if (parser.isSet(S("logon-broadcast")))
        o.logonBroadcast = parser.value(S("logon-broadcast"));
    if (parser.isSet(S("no-tcp")))
        o.tcpDoor = false;
    for (const TFlagOption& flag : kFlagOptions)
        if (parser.isSet(S(flag.name)))
            o.*flag.field = true;
    if (!o.tcpDoor && !o.automationDoor) {
        *errorText = S("--no-tcp needs --automation: the server would have no door");
        return false;
    }
    *options = o;
    return true;
}
