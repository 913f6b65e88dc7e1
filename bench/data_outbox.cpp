// Out-box and address-book figures: an address book of 100,000 contacts in
// 1,000 groups (one of them with 10,000 members), then the time to start the
// local data module, to open the client's nine datasets, to queue one
// message for the big group, and to list the pending endpoints; and the
// peak memory of the whole run.
#include "benchutil.h"
#include "data/basedataclient.h"
#include "data/dmlocaldata.h"
#include "data/recipient.h"
#include "data/regdataclients.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/dataset.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "foundation/options.h"
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

namespace {
constexpr int ContactCount = 100000;
constexpr int GroupCount = 1000;
constexpr int BigGroupSize = 10000;
constexpr int SmallGroupSize = 100;
constexpr int FolderCount = 100;
constexpr int ServerCount = 10;

void Prepare(QSqlQuery& query, const char* sql)
{
    if (!query.prepare(QString::fromLatin1(sql)))
        std::fprintf(stderr, "prepare failed: %s\n", sql);
}

void FillAddressBook(const QString& path)
{
    const QString name = UniqueConnectionName(QStringLiteral("bench-fill-"));
    {
        QSqlDatabase db = OpenSqliteConnection(name, path);
        TNTransaction transaction(db);
        QSqlQuery insert(db);
        Prepare(insert, "insert into Servers (Name, TypeNo, Data) values (?, 1, ?)");
        for (int s = 1; s <= ServerCount; ++s) {
            insert.addBindValue(QStringLiteral("Server %1").arg(s));
            insert.addBindValue(QStringLiteral("10.0.0.%1,%2,host%1").arg(s).arg(2000 + s));
            insert.exec();
        }
        Prepare(insert, "insert into Carriers (Name, TypeNo, ServerID, Data) values (?, 4, ?, '160')");
        for (int c = 1; c <= 2 * ServerCount; ++c) {
            insert.addBindValue(QStringLiteral("Carrier %1").arg(c));
            insert.addBindValue((c - 1) % ServerCount + 1);
            insert.exec();
        }
        Prepare(insert,
                "insert into Contacts (Name, FirstName, LastName, Company, CarrierID, Data) "
                "values (?, ?, ?, 'Tovix', ?, '0215550000,false')");
        for (int i = 1; i <= ContactCount; ++i) {
            insert.addBindValue(QStringLiteral("Contact %1").arg(i, 6, 10, QLatin1Char('0')));
            insert.addBindValue(QStringLiteral("First%1").arg(i));
            insert.addBindValue(QStringLiteral("Last%1").arg(i));
            insert.addBindValue((i - 1) % (2 * ServerCount) + 1);
            insert.exec();
        }
        Prepare(insert, "insert into Groups (Name, Description) values (?, 'bench')");
        for (int g = 1; g <= GroupCount; ++g) {
            insert.addBindValue(QStringLiteral("Group %1").arg(g, 4, 10, QLatin1Char('0')));
            insert.exec();
        }
        // Group 1 holds contacts 1..10,000; every other group 100 of the rest.
        Prepare(insert, "insert into GroupAssigns (GroupID, ContactID) values (?, ?)");
        for (int i = 1; i <= BigGroupSize; ++i) {
            insert.addBindValue(1);
            insert.addBindValue(i);
            insert.exec();
        }
        for (int g = 2; g <= GroupCount; ++g) {
            for (int m = 0; m < SmallGroupSize; ++m) {
                insert.addBindValue(g);
                insert.addBindValue(BigGroupSize + ((g - 2) * SmallGroupSize + m) % (ContactCount - BigGroupSize) + 1);
                insert.exec();
            }
        }
        Prepare(insert, "insert into Folders (Name, ParentID) values (?, 0)");
        for (int f = 1; f <= FolderCount; ++f) {
            insert.addBindValue(QStringLiteral("Folder %1").arg(f));
            insert.exec();
        }
        Prepare(insert, "insert into FolderAssigns (FolderID, GroupID, ContactID) values (?, ?, ?)");
        for (int i = 1; i <= ContactCount; ++i) {
            insert.addBindValue((i - 1) % FolderCount + 1);
            insert.addBindValue(NoneID);
            insert.addBindValue(i);
            insert.exec();
        }
        for (int g = 1; g <= GroupCount; ++g) {
            insert.addBindValue((g - 1) % FolderCount + 1);
            insert.addBindValue(g);
            insert.addBindValue(NoneID);
            insert.exec();
        }
        transaction.Commit();
    }
    CloseSqliteConnection(name);
}

double Ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.path() + u'/';
    CreateMissingDatabaseFiles(path);
    SetProgramFolder(path);

    QElapsedTimer timer;
    timer.start();
    FillAddressBook(path + AddressBookFileName());
    std::printf("build address book (%d contacts, %d groups): %.0f ms, resident %ld MB\n", ContactCount, GroupCount,
                Ms(timer), bench::MemoryKb("VmRSS") / 1024);

    TDModOptions options;
    timer.restart();
    TDModLocalData localData;
    std::printf("start local data module (compact both files, make clients): %.0f ms\n", Ms(timer));
    TBaseDataClient* client = DataClients.Items(0);

    timer.restart();
    for (int kind = 0; kind < DataKindCount; ++kind)
        client->GetDataSet(static_cast<TDataKind>(kind))->Open();
    std::printf("open the client's nine datasets (%d contacts): %.0f ms, resident %ld MB\n",
                client->GetDataSet(dkContacts)->RecordCount(), Ms(timer), bench::MemoryKb("VmRSS") / 1024);

    const TNSuperRecipient group{nkGroup, 1, client, 9, QStringLiteral("Group 0001")};
    for (bool names : {false, true}) {
        Options->OptionByName(QStringLiteral("ShowContactNamesOfGroups"))->SetValue(names);
        timer.restart();
        // Another text each time: the same one would find its rows queued.
        localData.AddOutMessage({&group}, QStringLiteral("Benchmark message %1").arg(names ? 2 : 1));
        std::printf("queue one message for a group of %d members (%s): %.0f ms\n", BigGroupSize,
                    names ? "with member names" : "group name only", Ms(timer));
    }

    TNEndpointList endpoints;
    timer.restart();
    localData.GetPendingServers(endpoints);
    std::printf("pending endpoints of %d queued rows: %d in %.1f ms\n", 2 * BigGroupSize, int(endpoints.size()),
                Ms(timer));

    std::printf("peak memory (VmHWM): %ld MB\n", bench::MemoryKb("VmHWM") / 1024);
    SetProgramFolder(QString());
    return 0;
}
