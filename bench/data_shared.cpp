// A shared address book of 100,000 contacts on the simulator's remote data
// door (loopback): the first fetch of the contacts, the save of their cache
// file, the load of that cache as the client is made at start-up, and an
// apply of 1,000 changed rows and of 1,000 new rows; and the peak memory of
// the client (the simulator runs as a process of its own, so its memory is
// not counted).
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
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {
constexpr int ContactCount = 100000;
constexpr int Changed = 1000;
const QString Server = QStringLiteral("TovixServer.TovixRemoteDataModule");

void FillBook(const QString& path)
{
    CreateAddressBookFile(path);
    const QString name = UniqueConnectionName(QStringLiteral("bench-shared-"));
    {
        QSqlDatabase db = OpenSqliteConnection(name, path);
        TNTransaction transaction(db);
        QSqlQuery insert(db);
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
        transaction.Commit();
    }
    QSqlDatabase::removeDatabase(name);
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

    QProcess sim;
    sim.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/paging-server-sim"));
    sim.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                      QStringLiteral("0"), QStringLiteral("--data-port"), QStringLiteral("0"),
                      QStringLiteral("--data-book"),
                      Server + QStringLiteral("=") + path + QStringLiteral("server.db")});
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
    sim.write("quit\n");
    sim.waitForFinished(5000);
    SetProgramFolder(QString());
    return 0;
}
