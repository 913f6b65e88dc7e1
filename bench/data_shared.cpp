// A shared address book of 100,000 contacts on the simulator's remote data
// door (loopback): the first fetch of the contacts, the save of their cache
// file, the load of that cache as the client is made at start-up, and an
// apply of 1,000 changed rows and of 1,000 new rows; and the peak memory of
// the client (the simulator runs as a process of its own, so its memory is
// not counted). Then a fetch of a book of 1,000,000 short contacts (an
// answer of about 52 MB): its time, the peak memory of the fetch alone
// (VmHWM, reset before it) and what stays afterwards (VmRSS) with the rows
// cached and once the client is gone.
#include "benchutil.h"
#include "data/basedataclient.h"
#include "data/dataclientclasses.h"
#include "data/datakinds.h"
#include "data/regdataclients.h"
#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/field.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "platform/memorytrim.h"
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>

namespace {
constexpr int ContactCount = 100000;
constexpr int Changed = 1000;
constexpr int BigCount = 1000000;
const QString Server = QStringLiteral("TovixServer.TovixRemoteDataModule");
const QString BigServer = QStringLiteral("TovixServer.Big");

// Makes an address book at Path and fills it in one transaction.
void MakeBook(const QString& path, const std::function<void(QSqlQuery& insert)>& fill)
{
    CreateAddressBookFile(path);
    const QString name = UniqueConnectionName(QStringLiteral("bench-shared-"));
    {
        QSqlDatabase db = OpenSqliteConnection(name, path);
        TNTransaction transaction(db);
        QSqlQuery insert(db);
        fill(insert);
        transaction.Commit();
    }
    QSqlDatabase::removeDatabase(name);
}

void FillBook(const QString& path)
{
    MakeBook(path, [](QSqlQuery& insert) {
        insert.exec(QStringLiteral("insert into Carriers (Name, TypeNo, Data) values ('SMS', 4, '160')"));
        insert.prepare(
            QStringLiteral("insert into Contacts (Name, FirstName, LastName, Company, CarrierID, Data) "
                           "values (?, ?, ?, 'Company', 1, '5550000,false')"));
        for (int i = 1; i <= ContactCount; ++i) {
            insert.addBindValue(QStringLiteral("Contact %1").arg(i, 6, 10, QLatin1Char('0')));
            insert.addBindValue(QStringLiteral("First %1").arg(i));
            insert.addBindValue(QStringLiteral("Last %1").arg(i));
            insert.exec();
        }
    });
}

// A book of BigCount contacts of a few characters each: every row of the
// fetch answer takes about 52 bytes.
void FillBigBook(const QString& path)
{
    MakeBook(path, [](QSqlQuery& insert) {
        insert.prepare(QStringLiteral("insert into Contacts (Name, CarrierID, Data) values (?, 1, '555')"));
        for (int i = 1; i <= BigCount; ++i) {
            insert.addBindValue(QStringLiteral("C%1").arg(i, 6, 10, QLatin1Char('0')));
            insert.exec();
        }
    });
}

// Starts counting the peak memory (VmHWM) again from what is in use now.
void ResetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.path() + QLatin1Char('/');
    SetProgramFolder(path);
    TDModOptions options;
    RegisterStandardDataClientClasses();

    QElapsedTimer timer;
    timer.start();
    FillBook(path + QStringLiteral("server.db"));
    bench::Report("building the server's book of 100,000 contacts", timer);
    timer.restart();
    FillBigBook(path + QStringLiteral("big.db"));
    bench::Report("building a book of 1,000,000 short contacts", timer);

    QProcess sim;
    sim.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/paging-server-sim"));
    sim.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                      QStringLiteral("0"), QStringLiteral("--data-port"), QStringLiteral("0"),
                      QStringLiteral("--data-book"), Server + QStringLiteral("=") + path + QStringLiteral("server.db"),
                      QStringLiteral("--data-book"),
                      BigServer + QStringLiteral("=") + path + QStringLiteral("big.db")});
    sim.start();
    QString greeting;
    const QRegularExpression door(QStringLiteral("remote data door listening on [0-9.]+:([0-9]+)"));
    QRegularExpressionMatch match;
    while (sim.waitForReadyRead(10000)) {
        greeting += QString::fromLocal8Bit(sim.readAll());
        match = door.match(greeting);
        if (match.hasMatch())
            break;
    }
    if (!match.hasMatch()) {
        std::fprintf(stderr, "the simulator did not start: %s\n", qPrintable(greeting));
        return 1;
    }
    const QString data = QStringLiteral("127.0.0.1,%1,%2").arg(match.captured(1), Server);
    const QString guid = QStringLiteral("{5AAAAAAA-0000-0000-0000-0000000BE4C0}");
    auto client = std::unique_ptr<TBaseDataClient>(
        CreateDataClient(FindDataClientClass(DATABASE_TYPE_ACCESS_SHARED_NO), QStringLiteral("Bench"), guid, data));
    auto* shared = qobject_cast<TSharedAccessClient*>(client.get());
    if (!shared)
        return 1;

    QString error;
    timer.restart();
    if (!RefreshSharedDataSet(*shared, dkContacts, &error)) {
        std::fprintf(stderr, "fetch: %s\n", qPrintable(error));
        return 1;
    }
    bench::Report("first fetch of 100,000 contacts (cache saved)", timer);
    timer.restart();
    shared->SaveClientDataSetToFile(dkContacts);
    bench::Report("saving the contacts' cache file", timer);

    client.reset();
    timer.restart();
    client.reset(
        CreateDataClient(FindDataClientClass(DATABASE_TYPE_ACCESS_SHARED_NO), QStringLiteral("Bench"), guid, data));
    shared = qobject_cast<TSharedAccessClient*>(client.get());
    bench::Report("start-up: making the client, loading its cache", timer);
    TNDataSet* contacts = shared->GetDataSet(dkContacts);
    bench::Out() << "contacts loaded from the cache: " << contacts->RecordCount() << "\n";

    contacts->First();
    for (int i = 0; i < Changed; ++i) {
        contacts->Edit();
        contacts->FieldByName(QStringLiteral("Company"))->SetValue(QStringLiteral("Changed %1").arg(i));
        contacts->Post();
        contacts->MoveBy(97);
    }
    timer.restart();
    TApplyResult result = ApplySharedUpdates(*shared, {dkContacts});
    bench::Report("apply of 1,000 changed contacts (cache saved)", timer);
    bench::Out() << "  applied " << result.Applied << ", refused " << result.Refused << "\n";

    for (int i = 0; i < Changed; ++i) {
        const qint32 id = shared->GetNextTempIDByKind(dkContacts);
        contacts->Append();
        contacts->FieldByName(QStringLiteral("ID"))->SetValue(id);
        contacts->FieldByName(QStringLiteral("Name"))->SetValue(QStringLiteral("New %1").arg(i));
        contacts->FieldByName(QStringLiteral("CarrierID"))->SetValue(1);
        contacts->Post();
    }
    timer.restart();
    result = ApplySharedUpdates(*shared, {dkContacts});
    bench::Report("apply of 1,000 new contacts (IDs replaced, cache saved)", timer);
    bench::Out() << "  applied " << result.Applied << ", refused " << result.Refused << "\n";
    bench::Out() << "peak memory (VmHWM): " << bench::MemoryKb("VmHWM") / 1024 << " MB\n";
    bench::Out().flush();
    client.reset();

    // The big book, on its own: what the fetch takes at its peak, and what
    // stays.
    const QString bigData = QStringLiteral("127.0.0.1,%1,%2").arg(match.captured(1), BigServer);
    client.reset(CreateDataClient(FindDataClientClass(DATABASE_TYPE_ACCESS_SHARED_NO), QStringLiteral("Big"),
                                  QStringLiteral("{5AAAAAAA-0000-0000-0000-0000000B1600}"), bigData));
    shared = qobject_cast<TSharedAccessClient*>(client.get());
    if (!shared)
        return 1;
    ReleaseFreedMemory();  // what the first book left freed does not count
    const long before = bench::MemoryKb("VmRSS");
    ResetPeakMemory();
    timer.restart();
    if (!RefreshSharedDataSet(*shared, dkContacts, &error)) {
        std::fprintf(stderr, "big fetch: %s\n", qPrintable(error));
        return 1;
    }
    bench::Report("fetch of 1,000,000 short contacts (cache saved)", timer);
    bench::Out() << "  rows: " << shared->GetDataSet(dkContacts)->RecordCount() << "; in use before " << before / 1024
                 << " MB, peak of the fetch (VmHWM) " << bench::MemoryKb("VmHWM") / 1024
                 << " MB, in use after it (VmRSS) " << bench::MemoryKb("VmRSS") / 1024 << " MB\n";
    client.reset();
    ReleaseFreedMemory();
    bench::Out() << "  in use once the client is gone (VmRSS): " << bench::MemoryKb("VmRSS") / 1024 << " MB\n";
    bench::Out().flush();
    sim.write("quit\n");
    sim.waitForFinished(5000);
    SetProgramFolder(QString());
    return 0;
}
