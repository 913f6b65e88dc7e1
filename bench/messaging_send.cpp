// The send path at full speed: N rows queued in a real local database are
// sent by the engine (dispatcher, TCP link, sent-message log, message
// processor) to the simulator on loopback, which acknowledges and reports at
// once. Prints rows per second for acceptance (every row logged) and for
// completion (the out-box empty), the resident memory along the way, and the
// same exchange by a minimal stop-and-wait client without a database (the
// floor).
//   bench_messaging_send [rows]      (default 10000)
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
#include "messaging/framecutter.h"
#include "messaging/messagetable.h"
#include "messaging/protocol.h"
#include "messaging/sendoutbox.h"
#include "messaging/sendsettings.h"
#include "pagingserversim.h"
#include "platform/commatext.h"
#include "platform/programfolder.h"
#include "platform/tcpsocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
// Resident memory of this process in KiB (VmRSS), or -1.
long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

TSimOptions ImmediateSim()
{
    TSimOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    options.memoryLogLimit = 1000;  // keep the simulator's own memory out of the figures
    return options;
}

int Count(const QSqlDatabase& db, const char* sql)
{
    QSqlQuery query(db);
    return query.exec(QLatin1String(sql)) && query.next() ? query.value(0).toInt() : -1;
}

// Counts the send bar's messages.
class TSendBar : public QObject {
public:
    TNWindowHandle Handle() const { return m_window.Handle(); }
    int Done = 0;
    int Progress = 0;

protected:
    void customEvent(QEvent* event) override
    {
        if (const TNMessageEvent* m = TNMessageEvent::From(event)) {
            if (m->Msg == WM_SEND_DONE && m->WParam == 0)
                ++Done;
            else
                ++Progress;
        }
    }

private:
    TNMessageWindow m_window{this};
};

struct TRates {
    double accepted = 0;
    double completed = 0;
};

// The engine: queue N rows for one contact, send, wait for the log and the
// empty out-box.
TRates RunEngine(int rows)
{
    QTemporaryDir folder;
    const QString path = folder.path() + QLatin1Char('/');
    SetProgramFolder(path);
    CreateLocalDataFile(path + LocalDataFileName());
    CreateAddressBookFile(path + AddressBookFileName());
    TDModOptions options;
    RegisterStandardDataClientClasses();
    TBaseDataClient* client =
        CreateDataClient(FindDataClientClass(DATABASE_TYPE_ACCESS_LOCAL_NO), LocalDatabaseName(),
                         QStringLiteral("{00000000-0000-0000-0000-00000000BE4C}"), CommaTextFromList({path}));
    TPagingServerSim sim(ImmediateSim());
    sim.Start();
    {
        QSqlDatabase book = ThreadDatabase(path + AddressBookFileName());
        QSqlQuery q(book);
        q.exec(QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('Sim', 1, '127.0.0.1,%1,')")
                   .arg(sim.Port()));
        q.exec(QStringLiteral("insert into Carriers (Name, TypeNo, ServerID, Data) values ('C', 6, 1, 'host,444')"));
        q.exec(QStringLiteral("insert into Contacts (Name, CarrierID, Data) values ('Ann', 1, '555,false')"));
    }
    QSqlDatabase local = ThreadDatabase(path + LocalDataFileName());
    {
        // One message to the same contact N times: N out-box rows.
        TNSuperRecipient ann(nkContact, 1, client, 160, QStringLiteral("Ann"));
        TNRecipients recipients;
        for (int i = 0; i < rows; ++i)
            recipients << &ann;
        OutBox::AddOutMessage(local, recipients, QStringLiteral("Benchmark message"), false);
    }
    TNSendSettings settings = CurrentSendSettings();
    settings.LocalDatabasePath = path + LocalDataFileName();
    PublishSendSettings(settings);
    TSendBar sendBar;
    SendBarHandle = sendBar.Handle();
    StartMessaging();

    const long before = ResidentKiB();
    QElapsedTimer clock;
    clock.start();
    SendOutBox();
    qint64 acceptedMs = -1;
    qint64 completedMs = -1;
    long middle = -1;
    while (clock.elapsed() < 600000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
        if (acceptedMs < 0 && Count(local, "select count(*) from SentMessages") >= rows)
            acceptedMs = clock.elapsed();
        if (middle < 0 && Count(local, "select count(*) from SentMessages") >= rows / 2)
            middle = ResidentKiB();
        if (Count(local, "select count(*) from OutMessages") == 0 && sendBar.Done > 0) {
            completedMs = clock.elapsed();
            break;
        }
    }
    const long after = ResidentKiB();
    std::printf("engine: %d rows, accepted in %lld ms, completed in %lld ms, send-done posts %d, progress posts %d\n",
                rows, acceptedMs, completedMs, sendBar.Done, sendBar.Progress);
    std::printf("engine: resident memory %ld KiB before, %ld KiB at half, %ld KiB after\n", before, middle, after);
    StopMessaging();
    SendBarHandle = 0;
    delete client;
    local = QSqlDatabase();  // no handle of it may outlive its closing
    CloseThreadDatabase(path + LocalDataFileName());
    CloseThreadDatabase(path + AddressBookFileName());
    SetProgramFolder(QString());
    TRates rates;
    if (acceptedMs > 0)
        rates.accepted = rows * 1000.0 / acceptedMs;
    if (completedMs > 0)
        rates.completed = rows * 1000.0 / completedMs;
    return rates;
}

// The floor: one socket, one MESSAGE at a time, each after its acceptance;
// done when every report is in.
TRates RunFloor(int rows)
{
    TPagingServerSim sim(ImmediateSim());
    sim.Start();
    TNTcpSocket socket;
    if (!socket.Connect(QStringLiteral("127.0.0.1"), sim.Port(), 5000))
        return {};
    TFrameCutter cutter;
    QList<TClientRawInMessage> frames;
    int accepted = 0, reports = 0;
    bool loggedOn = false;
    char buffer[2048];
    // Reads until Done holds.
    auto readUntil = [&](const std::function<bool()>& done) {
        while (!done()) {
            if (socket.WaitForData(5000) != TNTcpSocket::TWaitResult::wrData)
                return false;
            const qint64 n = socket.Receive(buffer, sizeof buffer);
            if (n <= 0)
                return false;
            cutter.Append(QByteArrayView(buffer, n));
            cutter.Split(frames);
            for (const TClientRawInMessage& frame : frames) {
                loggedOn = loggedOn || frame.Kind == rkLogonOk;
                accepted += frame.Kind == rkMessageAccepted ? 1 : 0;
                reports += frame.Kind == rkMessageSent ? 1 : 0;
            }
        }
        return true;
    };
    const long before = ResidentKiB();
    QElapsedTimer clock;
    clock.start();
    socket.SendAll(FrameLine(LogonLine(QStringLiteral("{00000000-0000-0000-0000-0000000F100R}"))));
    readUntil([&] { return loggedOn; });
    for (int i = 1; i <= rows; ++i) {
        socket.SendAll(FrameLine(
            MessageLine(i, 6, QStringLiteral("host,444"), QStringLiteral("555"), QStringLiteral("Benchmark message"))));
        if (!readUntil([&] { return accepted >= i; }))
            break;
    }
    const qint64 acceptedMs = clock.elapsed();
    readUntil([&] { return reports >= rows; });
    const qint64 completedMs = clock.elapsed();
    std::printf("floor: %d rows, accepted in %lld ms, completed in %lld ms\n", rows, acceptedMs, completedMs);
    std::printf("floor: resident memory %ld KiB before, %ld KiB after\n", before, ResidentKiB());
    return {rows * 1000.0 / std::max<qint64>(acceptedMs, 1), rows * 1000.0 / std::max<qint64>(completedMs, 1)};
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const TRates engine = RunEngine(rows);
    const TRates floor = RunFloor(rows);
    std::printf("engine: %.0f rows/s accepted, %.0f rows/s completed\n", engine.accepted, engine.completed);
    std::printf("floor:  %.0f rows/s accepted, %.0f rows/s completed\n", floor.accepted, floor.completed);
    if (floor.completed > 0)
        std::printf("engine/floor (completion): %.2f\n", engine.completed / floor.completed);
    return 0;
}
