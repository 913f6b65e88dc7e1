// The client registry, DataClients and the base client's construction path.
#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "data/dataerror.h"
#include "data/regdataclients.h"
#include "support/messageanswerer.h"

#include <gtest/gtest.h>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>

namespace {
// A client whose settings are usable when its settings text is "ok".
class TTestClient : public TBaseDataClient {
public:
    ~TTestClient() override { ReleaseClient(); }
    bool InitConnection(const QString& data) override { return data == QStringLiteral("ok"); }
    TNDataSet* GetDataSet(TDataKind) override { throw EDataError(QStringLiteral("no datasets")); }
    QList<TNDataSet*> DataSets() override { return {}; }
};

TBaseDataClient* Make(const QString& name, const QString& guid, const QString& data = QStringLiteral("ok"))
{
    return CreateDataClient(&DataClientClassOf<TTestClient>, name, guid, data);
}

struct TClientsCleanup {
    ~TClientsCleanup()
    {
        while (DataClients.Count() > 0)
            delete DataClients.Items(DataClients.Count() - 1);
    }
};
}  // namespace

TEST(DataClientRegistry, DuplicateTypeNoRaisesAndAddsNothing)
{
    TDataClientClassesList list;
    list.Add(7, &DataClientClassOf<TTestClient>);
    try {
        list.Add(7, &DataClientClassOf<TTestClient>);
        FAIL() << "no exception";
    } catch (const EDataError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Error (TDataClientClassesList.Add()): TypeNo= 7 already exists"));
    }
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.FindClass(7), &DataClientClassOf<TTestClient>);
    EXPECT_EQ(list.FindClass(8), nullptr);
}

TEST(DataClients, FindByGUIDReturnsTheFirstInListOrderAndIsCaseSensitive)
{
    TClientsCleanup cleanup;
    TBaseDataClient* first = Make(QStringLiteral("A"), QStringLiteral("{AAAA}"));
    TBaseDataClient* second = Make(QStringLiteral("B"), QStringLiteral("{AAAA}"));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(DataClients.FindByGUID(QStringLiteral("{AAAA}")), first);
    EXPECT_EQ(DataClients.FindByGUID(QStringLiteral("{aaaa}")), nullptr);
    delete first;
    EXPECT_EQ(DataClients.FindByGUID(QStringLiteral("{AAAA}")), second);
    EXPECT_EQ(DataClients.IndexOf(first), -1);
}

TEST(DataClients, FillStringsListsNamesInOrderAndEmptiesTheTarget)
{
    TClientsCleanup cleanup;
    TDataClientEntries entries{{QStringLiteral("stale"), nullptr}};
    EXPECT_EQ(DataClients.FillStrings(entries), 0);
    EXPECT_TRUE(entries.isEmpty());
    TBaseDataClient* a = Make(QStringLiteral("Alpha"), QStringLiteral("{1}"));
    TBaseDataClient* b = Make(QStringLiteral("Beta"), QStringLiteral("{2}"));
    ASSERT_EQ(DataClients.FillStrings(entries), 2);
    EXPECT_EQ(entries.at(0).first, QStringLiteral("Alpha"));
    EXPECT_EQ(entries.at(0).second, a);
    EXPECT_EQ(entries.at(1).second, b);
}

TEST(DataClients, IsLocalDatabaseMatchesTheExactName)
{
    TClientsCleanup cleanup;
    EXPECT_TRUE(Make(QStringLiteral("Local Database"), QStringLiteral("{1}"))->IsLocalDatabase());
    EXPECT_FALSE(Make(QStringLiteral("local database"), QStringLiteral("{2}"))->IsLocalDatabase());
}

TEST(DataClients, UnusableClientWarnsOnceAndIsDropped)
{
    TClientsCleanup cleanup;
    MessageAnswerer answerer;
    EXPECT_EQ(Make(QStringLiteral("Broken"), QStringLiteral("{1}"), QStringLiteral("bad")), nullptr);
    TBaseDataClient* next = Make(QStringLiteral("Next"), QStringLiteral("{2}"));
    ASSERT_EQ(answerer.Texts(),
              QStringList{QStringLiteral("Can't work with the database: \"Broken\". Please check its settings.")});
    EXPECT_EQ(DataClients.Count(), 1);
    EXPECT_EQ(DataClients.Items(0), next);

    TDataClientWarnings deferred;
    EXPECT_EQ(CreateDataClient(&DataClientClassOf<TTestClient>, QStringLiteral("Later"), QStringLiteral("{3}"),
                               QStringLiteral("bad"), nullptr, &deferred),
              nullptr);
    EXPECT_EQ(answerer.Texts().size(), 1);  // deferred: not shown yet
    ShowDataClientWarnings(deferred);
    EXPECT_EQ(answerer.Texts().size(), 2);
}

TEST(DataClients, AbstractQueriesOfTheBaseRaise)
{
    TClientsCleanup cleanup;
    TBaseDataClient* client = Make(QStringLiteral("A"), QStringLiteral("{1}"));
    TNServerEndpoint endpoint;
    QList<qint32> ids;
    EXPECT_THROW(client->GetServerByContactID(1, endpoint), EDataError);
    EXPECT_THROW(client->GetContactsOfGroup(1, ids), EDataError);
    EXPECT_THROW(client->GetRecordCount(dkCarriers), EDataError);
    EXPECT_EQ(client->CalcNewTempID(nullptr), -1);
    EXPECT_EQ(client->GetNextTempID(nullptr), -1);
}

// A worker looks clients up by GUID while the main thread rebuilds the list
// again and again: the worker sees a live client or none, never a freed one.
TEST(DataClients, WorkerLookupIsSafeWhileTheMainThreadRebuilds)
{
    TClientsCleanup cleanup;
    const QString guid = QStringLiteral("{SHARED}");
    Make(QStringLiteral("First"), guid);
    std::atomic<bool> stop{false};
    std::atomic<int> found{0};
    std::thread worker([&] {
        while (!stop.load()) {
            DataClients.WithClientByGUID(guid, [&](TBaseDataClient& client) {
                if (client.Name().startsWith(u'R') || client.Name() == QStringLiteral("First"))
                    found.fetch_add(1);
            });
        }
    });
    for (int round = 0; round < 300; ++round) {
        TDataClientsWriteScope scope(DataClients);
        for (int i = DataClients.Count() - 1; i >= 0; --i)
            delete DataClients.Items(i);
        Make(QStringLiteral("R%1").arg(round), guid);
        Make(QStringLiteral("Other"), QStringLiteral("{OTHER}"));
    }
    // Let the worker see the final list at least once.
    while (found.load() == 0)
        QThread::yieldCurrentThread();
    stop.store(true);
    worker.join();
    EXPECT_GT(found.load(), 0);
    EXPECT_EQ(DataClients.Count(), 2);
}

TEST(AdminLaunchers, MissingEntriesDoNothingAndRegisteredOnesRun)
{
    ClearAdminLaunchers();
    TNSelectionList picked{{QStringLiteral("kept"), 1}};
    TNItemInfo info;
    info.ID = 7;
    EXPECT_FALSE(ShowContactsList());
    EXPECT_FALSE(AdminListRegistered(dkContacts));
    EXPECT_EQ(PickFromAllBooks(dkContacts, picked), nullptr);
    EXPECT_FALSE(PickFromBook(dkGroups, nullptr, picked));
    EXPECT_FALSE(AddRecordInBook(dkContacts, nullptr, info));
    EXPECT_FALSE(EditRecordInBook(dkContacts, nullptr, 3, info));
    EXPECT_FALSE(DeleteRecordInBook(dkContacts, nullptr, 3));
    EXPECT_EQ(picked.size(), 1);
    EXPECT_EQ(info.ID, 7);

    int shown = 0;
    TAdminLauncher launcher;
    launcher.ShowList = [&] { ++shown; };
    launcher.EditRecord = [](TBaseDataClient*, qint32 id, TNItemInfo& i) {
        i.ID = id;
        i.Accepted = true;
        return id == 3;
    };
    RegisterAdminLauncher(dkContacts, launcher);
    EXPECT_TRUE(ShowContactsList());
    EXPECT_FALSE(ShowCarriersList());
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(EditRecordInBook(dkContacts, nullptr, 3, info));
    EXPECT_FALSE(EditRecordInBook(dkContacts, nullptr, 4, info));
    EXPECT_EQ(info.ID, 4);
    EXPECT_FALSE(AddRecordInBook(dkContacts, nullptr, info));  // that member stays missing
    ClearAdminLaunchers();
    EXPECT_FALSE(ShowContactsList());
}
