// A list window's Apply Updates on a shared address book sends the whole
// book in reference order: a new contact's new carrier first, and the
// folders the tree made, which no list shows.
#include "data/sharedbookfixture.h"
#include "ui/admin/clientdatasetops.h"

using SharedListTest = SharedBookFixture;

TEST_F(SharedListTest, ApplyFromTheContactsListSendsTheWholeBookInReferenceOrder)
{
    AddBook();
    StartLocalData();
    TSharedAccessClient* client = Client();
    ASSERT_NE(client, nullptr);
    const qint32 carrier =
        AddRow(client, dkCarriers, {{QStringLiteral("Name"), QStringLiteral("SNPP")}, {QStringLiteral("TypeNo"), 6}});
    AddRow(client, dkContacts,
           {{QStringLiteral("Name"), QStringLiteral("Ann")}, {QStringLiteral("CarrierID"), carrier}});
    AddRow(client, dkFolders, {{QStringLiteral("Name"), QStringLiteral("Sales")}, {QStringLiteral("ParentID"), 0}});

    ClientApplyUpdates(client, dkContacts);
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'\n').toStdString();
    EXPECT_EQ(ServerSql(QStringLiteral("select c.CarrierID = r.ID from Contacts c, Carriers r where c.Name = 'Ann' "
                                       "and r.Name = 'SNPP'"))
                  .toInt(),
              1);
    EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from Folders where Name = 'Sales'")).toInt(), 1);
    for (TDataKind kind : {dkCarriers, dkContacts, dkFolders})
        EXPECT_EQ(client->ClientDataSet(kind)->ChangeCount(), 0);
}
