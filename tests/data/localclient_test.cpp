// The local address-book client: its queries on the book's file, its
// datasets with their lookups and display texts, and its life in the
// dataset-state registry.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/dataerror.h"
#include "data/datasetstate.h"
#include "data/localaccessclient.h"
#include "db/dataset.h"
#include "db/datasource.h"
#include "platform/commatext.h"

namespace {
class LocalClientTest : public LocalDataFixture {
protected:
    void SetUp() override
    {
        LocalDataFixture::SetUp();
        Book = std::make_unique<TBookBuilder>(Dbs.AddressBookPath());
        StartLocalData();
        ASSERT_EQ(DataClients.Count(), 1);
        Client = DataClients.Items(0);
    }
    void TearDown() override
    {
        Book.reset();
        LocalDataFixture::TearDown();
    }
    std::unique_ptr<TBookBuilder> Book;
    TBaseDataClient* Client = nullptr;
};
}  // namespace

TEST_F(LocalClientTest, ServerOfAContactNeedsExactlyThreeSettingsItems)
{
    const qint32 good = Book->Server(QStringLiteral("Good"), 1, QStringLiteral("10.0.0.1,2001,alpha"));
    const qint32 noPort = Book->Server(QStringLiteral("NoPort"), 2, QStringLiteral("10.0.0.2,,beta"));
    const qint32 badPort = Book->Server(QStringLiteral("BadPort"), 1, QStringLiteral("10.0.0.3,abc,gamma"));
    const qint32 two = Book->Server(QStringLiteral("Two"), 1, QStringLiteral("10.0.0.4,2004"));
    const qint32 four = Book->Server(QStringLiteral("Four"), 1, QStringLiteral("10.0.0.5,2005,delta,x"));
    auto contactOn = [&](qint32 server) {
        return Book->Contact(QStringLiteral("c"), Book->Carrier(QStringLiteral("car"), 4, server));
    };

    TNServerEndpoint endpoint;
    ASSERT_TRUE(Client->GetServerByContactID(contactOn(good), endpoint));
    EXPECT_EQ(endpoint.ServerTypeNo, 1);
    EXPECT_EQ(endpoint.IpAddress, QStringLiteral("10.0.0.1"));
    EXPECT_EQ(endpoint.PortNo, 2001);
    EXPECT_EQ(endpoint.HostName, QStringLiteral("alpha"));

    ASSERT_TRUE(Client->GetServerByContactID(contactOn(noPort), endpoint));
    EXPECT_EQ(endpoint.PortNo, 215);
    EXPECT_EQ(endpoint.ServerTypeNo, 2);
    ASSERT_TRUE(Client->GetServerByContactID(contactOn(badPort), endpoint));
    EXPECT_EQ(endpoint.PortNo, 215);

    qint32 type = -1, port = -1;
    QString ip = QStringLiteral("untouched"), host = QStringLiteral("untouched");
    EXPECT_FALSE(Client->GetServerByContactID(contactOn(two), type, ip, port, host));
    EXPECT_FALSE(Client->GetServerByContactID(contactOn(four), type, ip, port, host));
    EXPECT_FALSE(Client->GetServerByContactID(contactOn(9999), type, ip, port, host));  // carrier without server
    EXPECT_FALSE(Client->GetServerByContactID(123456, type, ip, port, host));           // no such contact
    EXPECT_EQ(ip, QStringLiteral("untouched"));
    EXPECT_EQ(port, -1);
}

TEST_F(LocalClientTest, GroupMembersWithAndWithoutDeletedContacts)
{
    const qint32 carrier = Book->Carrier(QStringLiteral("car"), 4, 0);
    const qint32 ann = Book->Contact(QStringLiteral("Ann"), carrier);
    const qint32 gone = Book->Contact(QStringLiteral("Gone"), carrier);
    const qint32 bob = Book->Contact(QStringLiteral("Bob"), carrier);
    const qint32 group = Book->Group(QStringLiteral("Staff"));
    Book->Member(group, bob);
    Book->Member(group, gone);
    Book->Member(group, ann);
    Book->Exec(QStringLiteral("delete from Contacts where ID = :ID"), {{QStringLiteral("ID"), gone}});

    QList<qint32> ids{42};
    Client->GetContactsOfGroup(group, ids);
    EXPECT_EQ(ids, (QList<qint32>{bob, gone, ann}));
    QStringList names{QStringLiteral("stale")};
    Client->GetContactIDsNamesOfGroup(group, ids, names);
    EXPECT_EQ(ids, (QList<qint32>{bob, ann}));
    EXPECT_EQ(names, (QStringList{QStringLiteral("Bob"), QStringLiteral("Ann")}));
    Client->GetContactsOfGroup(group + 1, ids);
    EXPECT_TRUE(ids.isEmpty());
}

TEST_F(LocalClientTest, RecordCountsServerNamesAndContactCarrier)
{
    EXPECT_EQ(Client->GetRecordCount(dkCarriers), 0);
    const qint32 server = Book->Server(QStringLiteral("Main's"), 1, QStringLiteral("1.2.3.4,5,h"));
    const qint32 carrier = Book->Carrier(QStringLiteral("SMS"), 4, server, QStringLiteral("160,x"));
    const qint32 contact = Book->Contact(QStringLiteral("Ann"), carrier, QStringLiteral("021555,true"));
    EXPECT_EQ(Client->GetRecordCount(dkCarriers), 1);
    EXPECT_EQ(Client->GetRecordCount(dkServers), 1);
    EXPECT_EQ(Client->GetRecordCount(dkContacts), -1);
    EXPECT_TRUE(Client->ServerNameExists(QStringLiteral("MAIN'S")));
    EXPECT_FALSE(Client->ServerNameExists(QStringLiteral("Main")));

    TNContactCarrier route;
    ASSERT_TRUE(Client->GetContactCarrier(contact, route));
    EXPECT_EQ(route.CarrierID, carrier);
    EXPECT_EQ(route.ContactData, QStringLiteral("021555,true"));
    EXPECT_EQ(route.CarrierTypeNo, 4);
    EXPECT_EQ(route.CarrierData, QStringLiteral("160,x"));
    EXPECT_FALSE(Client->GetContactCarrier(contact + 1, route));
}

TEST_F(LocalClientTest, DataSetsByKindWithLookupsAndDisplayTexts)
{
    const qint32 server = Book->Server(QStringLiteral("Srv"), 2, QStringLiteral("1.2.3.4,5,h"));
    const qint32 carrier = Book->Carrier(QStringLiteral("Text"), 4, server);
    const qint32 contact = Book->Contact(QStringLiteral("Ann"), carrier);
    const qint32 group = Book->Group(QStringLiteral("Staff"));
    Book->Exec(QStringLiteral("update Groups set Description = :D"), {{QStringLiteral("D"), QStringLiteral("a\r\nb")}});
    Book->Member(group, contact);
    Book->Exec(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (0, :G, :N)"),
               {{QStringLiteral("G"), group}, {QStringLiteral("N"), NoneID}});

    TNDataSet* folderAssigns = Client->GetDataSet(dkFolderAssigns);
    EXPECT_EQ(folderAssigns->objectName(), QStringLiteral("tblFolderAssigns"));
    EXPECT_EQ(folderAssigns->OwnerObject(), Client);  // windows find the book of a dataset
    folderAssigns->Open();                            // opens the datasets its lookups read
    EXPECT_TRUE(Client->GetDataSet(dkContacts)->Active());
    EXPECT_TRUE(Client->GetDataSet(dkGroups)->Active());
    EXPECT_EQ(folderAssigns->FieldByName(QStringLiteral("FLGroups_Name"))->AsString(), QStringLiteral("Staff"));

    TNDataSet* carriers = Client->GetDataSet(dkCarriers);
    carriers->Open();
    EXPECT_EQ(carriers->FieldByName(QStringLiteral("FLCarrierTypes_Name"))->AsString(), QStringLiteral("SMS"));
    TNDataSet* members = Client->GetDataSet(dkGroupAssigns);
    members->Open();
    EXPECT_EQ(members->FieldByName(QStringLiteral("FLContacts_FLCarriers_Name"))->AsString(), QStringLiteral("Text"));

    TNDataSet* groups = Client->GetDataSet(dkGroups);
    EXPECT_EQ(groups->FieldByName(QStringLiteral("Description"))->DisplayText(), QStringLiteral("a b"));
    TNDataSet* servers = Client->GetDataSet(dkServers);
    servers->Open();
    EXPECT_EQ(servers->FieldByName(QStringLiteral("TypeNo"))->DisplayText(), QStringLiteral("COM"));

    quint8 typeNo = 0;
    EXPECT_TRUE(Client->GetCarrierTypeNo(carrier, typeNo));
    EXPECT_EQ(typeNo, 4);
    typeNo = 77;
    EXPECT_FALSE(Client->GetCarrierTypeNo(carrier + 1, typeNo));
    EXPECT_EQ(typeNo, 77);

    EXPECT_EQ(Client->GetDataSource(dkServers)->DataSet(), servers);
    EXPECT_EQ(Client->GetDataSource(dkServers)->objectName(), QStringLiteral("dsServers"));
    EXPECT_THROW(Client->GetDataSource(static_cast<TDataKind>(9)), EDataError);
    try {
        Client->GetDataSet(static_cast<TDataKind>(9));
        FAIL() << "no exception";
    } catch (const EDataError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("From \"TLocalAccessClient.GetDataSet()\" - Unknown dataKind"));
    }
}

TEST_F(LocalClientTest, DataSetStateIsSavedAndRestoredAndFollowsTheClientsLife)
{
    TNDataSet* templates = Client->GetDataSet(dkTemplates);
    ASSERT_GE(NDataSetsList.IndexOf(templates), 0);
    SaveDataSetState(templates, true);
    EXPECT_TRUE(templates->Active());
    RestoreDataSetState(templates);
    EXPECT_FALSE(templates->Active());

    templates->Open();
    SaveDataSetState(templates, true);
    RestoreDataSetState(templates);
    EXPECT_TRUE(templates->Active());

    try {
        NDataSetsList.Add(templates);
        FAIL() << "no exception";
    } catch (const EDataError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("From TNDataSetsList.Add() - Dataset already registered: \"tblTemplates\""));
    }
    const int registered = NDataSetsList.Count();
    LocalData->DestroyDataClients();  // a destroyed client unregisters its nine datasets and never throws
    EXPECT_EQ(NDataSetsList.Count(), registered - DataKindCount);
    EXPECT_EQ(NDataSetsList.IndexOf(templates), -1);
}
