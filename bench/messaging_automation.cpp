// The automation link at speed, beside the TCP link in the same run: N rows
// queued in a real local database for one contact are sent by the engine
// (dispatcher, link, sent-message log, message processor) to the simulator,
// which acknowledges and reports at once: once through its TCP door (a
// type-1 server on loopback), once through its automation door on the
// session bus (a type-2 server). Prints rows per second for acceptance
// (every row logged) and completion (out-box empty, WM_SEND_DONE posted).
//   dbus-run-session -- bench_messaging_automation [rows]   (default 10000)
#include "benchutil.h"
#include "data/basedataclient.h"
#include "data/dataclientclasses.h"
#include "data/outbox.h"
#include "data/recipient.h"
#include "data/regdataclients.h"
#include "data/threadconnections.h"
#include "db/databasefiles.h"
#include "foundation/dmoptions.h"
#include "messaging/messagetable.h"
#include "messaging/sendoutbox.h"
#include "messaging/sendsettings.h"
#include "pagingserversim.h"
#include "platform/commatext.h"
#include "platform/programfolder.h"
#include "sendinstallation.h"
#include "sendprobe.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {
using bench::Count;
using bench::TSendBar;

struct TRates {
    double accepted = 0;
    double completed = 0;
};

TRates Run(int rows, bool automation)
{
    const bench::TSendInstallation installation(QStringLiteral("{00000000-0000-0000-0000-0000000A4701}"));
    TSimOptions simOptions;
    simOptions.listenAddress = QHostAddress(QHostAddress::LocalHost);
    simOptions.port = 0;
    simOptions.memoryLogLimit = 1000;
    simOptions.tcpDoor = !automation;
    simOptions.automationDoor = automation;
    TPagingServerSim sim(simOptions);
    if (!sim.Start())
        return {};
    {
        QSqlQuery q(ThreadDatabase(installation.BookPath()));
        q.exec(automation ? QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('S', 2, ',0,benchhost')")
                          : QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('S', 1, '127.0.0.1,%1,')")
                                .arg(sim.Port()));
        q.exec(QStringLiteral("insert into Carriers (Name, TypeNo, ServerID, Data) values ('C', 6, 1, 'host,444')"));
        q.exec(QStringLiteral("insert into Contacts (Name, CarrierID, Data) values ('Ann', 1, '555,false')"));
    }
    QSqlDatabase local = ThreadDatabase(installation.LocalPath());
    {
        TNSuperRecipient ann(nkContact, 1, installation.Client(), 160, QStringLiteral("Ann"));
        TNRecipients recipients;
        for (int i = 0; i < rows; ++i)
            recipients << &ann;
        OutBox::AddOutMessage(local, recipients, QStringLiteral("Benchmark message"), false);
    }
    TSendBar sendBar;
    SendBarHandle = sendBar.Handle();
    StartMessaging();

    QElapsedTimer clock;
    clock.start();
    SendOutBox();
    qint64 acceptedMs = -1;
    qint64 completedMs = -1;
    while (clock.elapsed() < 600000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
        if (acceptedMs < 0 && Count(local, "select count(*) from SentMessages") >= rows)
            acceptedMs = clock.elapsed();
        if (sendBar.Done > 0 && Count(local, "select count(*) from OutMessages") == 0) {
            completedMs = clock.elapsed();
            break;
        }
    }
    const char* label = automation ? "automation (type 2, D-Bus door)" : "tcp (type 1, loopback)";
    std::printf("%s: %d rows, accepted in %lld ms, completed in %lld ms, send-done posts %d\n", label, rows, acceptedMs,
                completedMs, sendBar.Done);
    StopMessaging();
    SendBarHandle = 0;
    local = QSqlDatabase();  // no handle of it may outlive the installation
    return {acceptedMs > 0 ? rows * 1000.0 / acceptedMs : 0, completedMs > 0 ? rows * 1000.0 / completedMs : 0};
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    if (!QDBusConnection::sessionBus().isConnected()) {
        std::printf("no session bus: run under dbus-run-session\n");
        return 1;
    }
    const TRates tcp = Run(rows, false);
    const TRates automation = Run(rows, true);
    std::printf("tcp:        %.0f rows/s accepted, %.0f rows/s completed\n", tcp.accepted, tcp.completed);
    std::printf("automation: %.0f rows/s accepted, %.0f rows/s completed\n", automation.accepted, automation.completed);
    if (tcp.completed > 0)
        std::printf("automation/tcp (completion): %.2f\n", automation.completed / tcp.completed);
    return 0;
}
