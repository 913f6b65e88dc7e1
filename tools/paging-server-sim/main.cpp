// paging-server-sim: a paging server for tests and demonstrations.
//   paging-server-sim --listen 127.0.0.1 --port 2150 --log frames.jsonl
//   paging-server-sim --automation --no-tcp      (the automation door only)
// Lines typed on standard input control it: "broadcast TEXT", "close"
// (drop every connection) and "quit".
#include "pagingserversim.h"
#include "remotedatasim.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {
std::atomic<bool> g_stopRequested{false};

void OnStopSignal(int)
{
    g_stopRequested = true;
}

void HandleCommand(const QString& line, TPagingServerSim& sim, QTextStream& out)
{
    const QString command = line.section(u' ', 0, 0);
    if (command == QStringLiteral("broadcast")) {
        out << "broadcast sent to " << sim.Broadcast(line.section(u' ', 1)) << " connection(s)\n";
    } else if (command == QStringLiteral("close")) {
        sim.CloseConnections();
        out << "closing every connection\n";
    } else if (command == QStringLiteral("quit")) {
        QCoreApplication::quit();
    } else if (!command.isEmpty()) {
        out << "commands: broadcast TEXT | close | quit\n";
    }
    out.flush();
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("paging-server-sim"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    TSimOptions options;
    // A long-running server keeps only the recent part of its log in memory.
    options.memoryLogLimit = 10000;
    QString error;
    QString help;
    TSimDataOptions dataOptions;
    bool dataDoor = false;
    QStringList tcpArguments;
    if (!ParseSimDataArguments(QCoreApplication::arguments(), &dataOptions, &dataDoor, &tcpArguments, &error)) {
        err << error << "\n";
        return 2;
    }
    if (!ParseSimArguments(tcpArguments, &options, &error, &help)) {
        if (!help.isEmpty()) {
            out << help << "\n" << SimDataHelpText();
            return 0;
        }
        err << error << "\n";
        return 2;
    }

    TPagingServerSim sim(options);
    if (!sim.Start(&error)) {
        err << "paging-server-sim: " << error << "\n";
        return 1;
    }
    if (options.tcpDoor)
        out << "paging-server-sim listening on " << sim.Address().toString() << ":" << sim.Port() << "\n";
    // A server the bus started ends with the bus.
    QDBusConnection bus = options.automationDoor ? QDBusConnection::sessionBus() : QDBusConnection(QString());
    if (options.automationDoor)
        out << "paging-server-sim automation door " << options.busName << " on the session bus\n";
    // The remote data door names the TCP door in its greeting unless told otherwise.
    if (dataOptions.tcpDoorPort == 0)
        dataOptions.tcpDoorPort = sim.Port();
    dataOptions.listenAddress = options.listenAddress;
    TRemoteDataSim dataSim(dataOptions);
    if (dataDoor) {
        if (!dataSim.Start(&error)) {
            err << "paging-server-sim: remote data door: " << error << "\n";
            return 1;
        }
        out << "remote data door listening on " << dataSim.Address().toString() << ":" << dataSim.Port() << "\n";
    }
    out.flush();

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &app, [&] {
        if (g_stopRequested || (options.automationDoor && !bus.isConnected()))
            QCoreApplication::quit();
    });
    stopPoll.start(200);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray typed;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);  // end of input: keep serving
            return;
        }
        typed.append(buffer, n);
        for (qsizetype eol = typed.indexOf('\n'); eol >= 0; eol = typed.indexOf('\n')) {
            HandleCommand(QString::fromLocal8Bit(typed.left(eol)).trimmed(), sim, out);
            typed.remove(0, eol + 1);
        }
    });

    const int result = QCoreApplication::exec();
    dataSim.Stop();
    sim.Stop();
    return result;
}
