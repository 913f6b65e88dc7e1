// The send path at full speed against the machine's own limit. A minimal
// peer (bench/floorpeer.h: plain blocking sockets, no event loop, no
// database) acknowledges and reports every MESSAGE at once. In the same run:
// the engine (dispatcher, TCP link, sent-message log, message processor)
// sends N rows queued in a real local database, and a minimal stop-and-wait
// client on plain sockets sends N rows; both are timed for acceptance (every
// row logged / acknowledged) and completion (out-box empty / every report
// in), and their ratio printed. Also: the resident memory along the way, the
// longest gap between two turns of the main thread's event loop, and a check
// that the peer received each row exactly once.
//   bench_messaging_send [rows] [--spread] [--endpoint HOST:PORT]
// rows: default 10000. --spread: 100 contacts on 4 servers (4 links side by
// side, each its own peer). --endpoint: the engine sends to a peer already
// listening there (the simulator, say) instead of the minimal peer.
#include "benchutil.h"
#include "floorpeer.h"
#include "sendinstallation.h"
#include "sendprobe.h"

#include "data/basedataclient.h"
#include "data/dataclientclasses.h"
#include "data/datakinds.h"
#include "data/outbox.h"
#include "data/recipient.h"
#include "data/regdataclients.h"
#include "data/threadconnections.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "foundation/dmoptions.h"
#include "messaging/dispatcher.h"
#include "messaging/messagetable.h"
#include "messaging/protocol.h"
#include "messaging/sendoutbox.h"
#include "messaging/sendsettings.h"
#include "platform/commatext.h"
#include "platform/programfolder.h"

#include <sys/resource.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {
using bench::Count;
using bench::TSendBar;

struct TEndpoint {
    QString host;
    quint16 port = 0;
};

struct TRates {
    double accepted = 0;
    double completed = 0;
};

double PerSecond(int rows, qint64 ns)
{
    return ns > 0 ? rows * 1e9 / double(ns) : 0;
}

// CPU time and context switches of the whole process.
struct TUsage {
    qint64 cpuNs = 0;
    long switches = 0;
    TUsage operator-(const TUsage& other) const { return {cpuNs - other.cpuNs, switches - other.switches}; }
};

TUsage Usage()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval& t) { return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000; };
    return {ns(usage.ru_utime) + ns(usage.ru_stime), usage.ru_nvcsw + usage.ru_nivcsw};
}

// CPU time of each of the process's threads, by thread name (threads of one
// name summed).
QMap<QString, qint64> ThreadCpuNs()
{
    QMap<QString, qint64> times;
    const long ticks = sysconf(_SC_CLK_TCK);
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromUtf8(comm.readAll()).trimmed();
        const QByteArray line = stat.readAll();
        // The fields after the name in parentheses; utime and stime are the
        // 14th and 15th of the line.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13 || ticks <= 0)
            continue;
        times[name] += (fields[11].toLongLong() + fields[12].toLongLong()) * 1000000000 / ticks;
    }
    return times;
}

// The main thread's responsiveness: the gaps between two ticks of a 5 ms
// timer, less the 5 ms, from construction to Stop.
class TLoopGaps {
public:
    TLoopGaps()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 gap = m_tick.nsecsElapsed() - 5000000;
            m_longestNs = std::max(m_longestNs, gap);
            m_over50 += gap > 50000000 ? 1 : 0;
            m_tick.restart();
        });
        m_tick.start();
        m_timer.start(5);
    }
    void Stop() { m_timer.stop(); }
    qint64 LongestNs() const { return m_longestNs; }
    int Over50() const { return m_over50; }

private:
    QTimer m_timer;
    QElapsedTimer m_tick;
    qint64 m_longestNs = 0;
    int m_over50 = 0;
};

// The same gaps with nothing running: what the machine allows now.
void ReportIdleGaps()
{
    TLoopGaps gaps;
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    gaps.Stop();
    std::printf("idle:   longest gap between two turns of the main event loop over 2 s %.1f ms (%d over 50 ms)\n",
                gaps.LongestNs() / 1e6, gaps.Over50());
}

// The engine: queue Rows rows spread over the contacts of the endpoints
// (Contacts per endpoint), send, and wait for the log and the empty out-box.
TRates RunEngine(int rows, const QList<TEndpoint>& endpoints, int contactsPerEndpoint)
{
    const bench::TSendInstallation installation(QStringLiteral("{00000000-0000-0000-0000-00000000BE4C}"));
    std::vector<std::unique_ptr<TNSuperRecipient>> people;
    {
        QSqlDatabase book = ThreadDatabase(installation.BookPath());
        QSqlQuery q(book);
        int contactId = 0;
        for (int e = 0; e < endpoints.size(); ++e) {
            q.exec(QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('S%1', 1, '%2,%3,')")
                       .arg(e + 1)
                       .arg(endpoints[e].host)
                       .arg(endpoints[e].port));
            q.exec(QStringLiteral("insert into Carriers (Name, TypeNo, ServerID, Data) values ('C%1', 6, %1, "
                                  "'host,444')")
                       .arg(e + 1));
            for (int c = 0; c < contactsPerEndpoint; ++c) {
                q.exec(QStringLiteral("insert into Contacts (Name, CarrierID, Data) values ('P%1', %2, '555,false')")
                           .arg(++contactId)
                           .arg(e + 1));
                people.push_back(std::make_unique<TNSuperRecipient>(nkContact, contactId, installation.Client(), 160,
                                                                    QStringLiteral("P%1").arg(contactId)));
            }
        }
    }
    QSqlDatabase local = ThreadDatabase(installation.LocalPath());
    {
        TNRecipients recipients;
        for (int i = 0; i < rows; ++i)
            recipients << people[size_t(i) % people.size()].get();
        OutBox::AddOutMessage(local, recipients, QStringLiteral("Benchmark message"), false);
    }
    TSendBar sendBar;
    SendBarHandle = sendBar.Handle();
    StartMessaging();
    // The first send of an installation makes its AppID and writes it to
    // "Settings.ini" on the main thread: once, not per send, so it is timed
    // on its own.
    QElapsedTimer appIdClock;
    appIdClock.start();
    GetAppID();
    std::printf("engine: AppID made and saved (first send of an installation only) in %.1f ms\n",
                appIdClock.nsecsElapsed() / 1e6);

    const long before = bench::MemoryKb("VmRSS");
    std::atomic<long> atTenth{-1};
    QElapsedTimer clock;
    clock.start();
    // The log and the out-box are watched from a thread of its own, so the
    // main thread does nothing but what the engine asks of it. Every 2 ms,
    // with queries that read an index end, not the tables (the log starts
    // empty and only grows here, so its largest ID is its row count).
    std::atomic<qint64> acceptedNs{-1};
    std::atomic<qint64> emptyNs{-1};
    std::atomic<bool> stopWatching{false};
    const QString localPath = installation.LocalPath();
    std::thread watcher([&] {
        {
            QSqlDatabase db = ThreadDatabase(localPath);
            while (!stopWatching && emptyNs < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                if (acceptedNs < 0) {
                    const int logged = Count(db, "select coalesce(max(ID), 0) from SentMessages");
                    if (atTenth < 0 && logged >= rows / 10)
                        atTenth = bench::MemoryKb("VmRSS");
                    if (logged >= rows)
                        acceptedNs = clock.nsecsElapsed();
                }
                if (acceptedNs >= 0 && Count(db, "select exists (select 1 from OutMessages)") == 0)
                    emptyNs = clock.nsecsElapsed();
            }
        }
        CloseThreadDatabase(localPath);
    });
    qint64 doneNs = -1;
    TLoopGaps gaps;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &check, [&] {
        if (doneNs < 0 && sendBar.Done > 0)
            doneNs = clock.nsecsElapsed();
        if ((doneNs >= 0 && emptyNs >= 0) || clock.elapsed() > 900000)
            loop.quit();
    });
    check.start(10);
    const TUsage usageBefore = Usage();
    const QMap<QString, qint64> threadsBefore = ThreadCpuNs();
    QElapsedTimer sendClock;
    sendClock.start();
    SendOutBox();
    const qint64 sendOutBoxNs = sendClock.nsecsElapsed();
    loop.exec();
    gaps.Stop();
    check.stop();
    const TUsage usage = Usage() - usageBefore;
    const QMap<QString, qint64> threadsAfter = ThreadCpuNs();
    stopWatching = true;
    watcher.join();
    const qint64 completedNs = std::max(doneNs, emptyNs.load());
    if (acceptedNs < 0)
        acceptedNs = completedNs;
    std::printf(
        "engine: %d rows over %d link(s), accepted in %.0f ms, completed in %.0f ms; send-done posts %d, "
        "progress posts %d\n",
        rows, int(endpoints.size()), acceptedNs.load() / 1e6, completedNs / 1e6, sendBar.Done, sendBar.Progress);
    std::printf("engine: resident memory %ld KiB before, %ld KiB at a tenth, %ld KiB after; peak %ld KiB\n", before,
                atTenth.load(), bench::MemoryKb("VmRSS"), bench::MemoryKb("VmHWM"));
    std::printf("engine: longest gap between two turns of the main event loop %.1f ms (%d over 50 ms)\n",
                gaps.LongestNs() / 1e6, gaps.Over50());
    std::printf(
        "engine: CPU time of the process while sending %.0f ms (%.1f us a row), %.1f context switches a "
        "row (the peer's included)\n",
        usage.cpuNs / 1e6, usage.cpuNs / 1e3 / rows, double(usage.switches) / rows);
    std::printf("engine: CPU time a row by thread:");
    for (auto it = threadsAfter.begin(); it != threadsAfter.end(); ++it)
        if (it.value() - threadsBefore.value(it.key()) > 0)
            std::printf(" %s %.1f us,", qPrintable(it.key()),
                        (it.value() - threadsBefore.value(it.key())) / 1e3 / rows);
    std::printf(" (clock ticks of %ld us)\n", 1000000 / std::max(1L, sysconf(_SC_CLK_TCK)));
    std::printf("engine: SendOutBox on the main thread %.1f ms\n", sendOutBoxNs / 1e6);
    std::printf("engine: sent-message log %d rows, out-box %d rows\n",
                Count(local, "select count(*) from SentMessages"), Count(local, "select count(*) from OutMessages"));
    StopMessaging();
    SendBarHandle = 0;
    people.clear();
    local = QSqlDatabase();  // no handle of it may outlive the installation
    return {PerSecond(rows, acceptedNs.load()), PerSecond(rows, completedNs)};
}

bool ParseEndpoint(const QString& text, TEndpoint* endpoint)
{
    bool ok = false;
    endpoint->host = text.section(u':', 0, 0);
    const int port = text.section(u':', 1).toInt(&ok);
    endpoint->port = static_cast<quint16>(port);
    return ok && port > 0 && port < 65536 && !endpoint->host.isEmpty();
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rows = 10000;
    bool spread = false;
    TEndpoint given;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--spread")) {
            spread = true;
        } else if (arguments[i] == QLatin1String("--endpoint") && i + 1 < arguments.size()) {
            if (!ParseEndpoint(arguments[++i], &given)) {
                std::fprintf(stderr, "--endpoint takes HOST:PORT\n");
                return 2;
            }
        } else {
            rows = std::max(1, arguments[i].toInt());
        }
    }

    // The floor first, on a peer of its own, then the engine.
    bench::TFloorResult floor;
    {
        bench::TFloorPeer peer;
        floor = given.port ? bench::RunFloorClient(qPrintable(given.host), given.port, rows)
                           : bench::RunFloorClient("127.0.0.1", peer.Port(), rows);
    }
    if (!floor.ok) {
        std::fprintf(stderr, "the floor client failed\n");
        return 1;
    }
    std::printf("floor:  %d rows on plain sockets, accepted in %.0f ms, completed in %.0f ms\n", rows,
                floor.acceptedNs / 1e6, floor.completedNs / 1e6);

    ReportIdleGaps();

    std::vector<std::unique_ptr<bench::TFloorPeer>> peers;
    QList<TEndpoint> endpoints;
    const int links = spread ? 4 : 1;
    for (int i = 0; i < links; ++i) {
        if (given.port) {
            endpoints.append(given);
            continue;
        }
        peers.push_back(std::make_unique<bench::TFloorPeer>());
        endpoints.append({QStringLiteral("127.0.0.1"), peers.back()->Port()});
    }
    const TRates engine = RunEngine(rows, endpoints, spread ? 25 : 1);
    int received = 0;
    for (const auto& peer : peers)
        received += peer->Messages();
    if (!peers.empty())
        std::printf("peer:   %d MESSAGE frames received for %d rows%s\n", received, rows,
                    received == rows ? "" : " (MISMATCH)");

    const TRates floorRates{PerSecond(rows, floor.acceptedNs), PerSecond(rows, floor.completedNs)};
    std::printf("floor:  %.0f rows/s accepted, %.0f rows/s completed\n", floorRates.accepted, floorRates.completed);
    std::printf("engine: %.0f rows/s accepted, %.0f rows/s completed\n", engine.accepted, engine.completed);
    if (floorRates.accepted > 0 && floorRates.completed > 0)
        std::printf("engine/floor: %.3f accepted, %.3f completed\n", engine.accepted / floorRates.accepted,
                    engine.completed / floorRates.completed);
    return received == rows || peers.empty() ? 0 : 1;
}
