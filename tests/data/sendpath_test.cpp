// The send path's look-ups from worker threads while the main thread edits
// the address book's datasets and rebuilds the list of clients.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/shareddatafolder.h"
#include "data/threadconnections.h"
#include "db/dataset.h"

#include <QDir>
#include <atomic>
#include <thread>
#include <vector>

using SendPathTest = LocalDataFixture;

TEST_F(SendPathTest, WorkerLookupsStaySafeWhileTheMainThreadRebuildsAndEdits)
{
    qint32 contact = 0;
    {
        TBookBuilder book(Dbs.AddressBookPath());
        const qint32 server = book.Server(QStringLiteral("S"), 1, QStringLiteral("127.0.0.1,2775,h"));
        const qint32 carrier = book.Carrier(QStringLiteral("SMS"), 4, server, QStringLiteral("160"));
        contact = book.Contact(QStringLiteral("Ann"), carrier, QStringLiteral("021,true"));
        for (int i = 0; i < 50; ++i)
            book.Contact(QStringLiteral("Other %1").arg(i), carrier);
    }
    StartLocalData();
    const QString guid = DataClients.Items(0)->GUID();

    std::atomic<bool> stop{false};
    std::atomic<int> routed{0};
    std::atomic<int> wrong{0};
    std::atomic<int> errors{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            while (!stop.load()) {
                try {
                    DataClients.WithClientByGUID(guid, [&](TBaseDataClient& client) {
                        TNContactCarrier carrier;
                        TNServerEndpoint endpoint;
                        if (client.GetContactCarrier(contact, carrier) &&
                            client.GetServerByContactID(contact, endpoint)) {
                            routed.fetch_add(1);
                            if (carrier.CarrierTypeNo != 4 || endpoint.PortNo != 2775)
                                wrong.fetch_add(1);
                        }
                    });
                } catch (...) {
                    errors.fetch_add(1);
                }
            }
        });
    }
    for (int round = 0; round < 30; ++round) {
        // The folder-tree reload: every client goes and comes back.
        LocalData->DestroyDataClients();
        LocalData->CreateDataClients();
        // The contact list: browse and edit the contacts on the main thread.
        TNDataSet* contacts = DataClients.Items(0)->GetDataSet(dkContacts);
        contacts->Open();
        for (contacts->First(); !contacts->Eof(); contacts->Next()) {
            if (contacts->FieldByName(QStringLiteral("ID"))->AsInteger() != contact)
                continue;
            contacts->Edit();
            contacts->FieldByName(QStringLiteral("LastName"))->SetAsString(QStringLiteral("Round %1").arg(round));
            contacts->Post();
        }
    }
    while (routed.load() == 0)
        std::this_thread::yield();
    stop.store(true);
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_GT(routed.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(errors.load(), 0);
}

TEST_F(SendPathTest, SharedDataFolderFallsBackToTheProgramFolder)
{
    SetOption("SharedDataFolder", Dbs.Folder() + QStringLiteral("not there"));
    EXPECT_EQ(GetSharedDataFolder(), Dbs.Folder() + QStringLiteral("SharedData"));
    EXPECT_EQ(::Options->OptionByName(QStringLiteral("SharedDataFolder"))->AsString(), Dbs.Folder());

    const QString cache = Dbs.Folder() + QStringLiteral("cache");
    ASSERT_TRUE(QDir().mkpath(cache));
    SetOption("SharedDataFolder", cache);  // no trailing separator
    EXPECT_EQ(GetSharedDataFolder(), cache + QStringLiteral("/SharedData"));
    SetOption("SharedDataFolder", cache + u'\\');
    EXPECT_EQ(GetSharedDataFolder(), cache + QStringLiteral("/SharedData"));

    // A relative folder lies in the program's folder, not in the one the
    // program was started from.
    ASSERT_NE(QDir::currentPath() + u'/', Dbs.Folder());
    SetOption("SharedDataFolder", QStringLiteral("cache"));
    EXPECT_EQ(GetSharedDataFolder(), cache + QStringLiteral("/SharedData"));

    // The default: a first start makes the program's folder + "SharedData"
    // and ends with the option set to the program's folder; a start after a
    // crash, the option never saved, finds the caches in the same folder.
    const QString caches = Dbs.Folder() + QStringLiteral("SharedData");
    ASSERT_TRUE(!QDir(caches).exists() || QDir(caches).removeRecursively());
    SetOption("SharedDataFolder", QStringLiteral("SharedData"));
    EXPECT_EQ(GetSharedDataFolder(), caches);
    EXPECT_EQ(::Options->OptionByName(QStringLiteral("SharedDataFolder"))->AsString(), Dbs.Folder());
    ASSERT_TRUE(QDir().mkpath(caches + QStringLiteral("/Shared Book")));
    EXPECT_EQ(GetSharedDataFolder(), caches) << "saved";
    SetOption("SharedDataFolder", QStringLiteral("SharedData"));
    EXPECT_EQ(GetSharedDataFolder(), caches) << "not saved";
}
