// Editing the address-book list and a group's membership below the windows:
// the order swap and the membership rewrite are each one change, a book
// that is no address book is left out whole, and the membership model keeps
// its two lists apart and in their orders.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/groupmembers.h"
#include "data/localaccessclient.h"
#include "platform/commatext.h"

#include <QFile>

namespace {
class AddressBooksTest : public LocalDataFixture {
protected:
    QList<qint32> Members(TBookBuilder& book, qint32 groupID)
    {
        QList<qint32> ids;
        QSqlQuery query(book.Db());
        query.exec(QStringLiteral("select ContactID from GroupAssigns where GroupID = %1 order by ID").arg(groupID));
        while (query.next())
            ids << query.value(0).toInt();
        return ids;
    }
    QStringList Names(TNDataSet& dataSet)
    {
        QStringList names;
        for (int row = 0; row < dataSet.RecordCount(); ++row)
            names << dataSet.RowValue(row, dataSet.FieldByName(QStringLiteral("Name"))).toString();
        return names;
    }
};
}  // namespace

TEST_F(AddressBooksTest, OrderSwapIsOneChangeAndAFailureLeavesBothRows)
{
    const QString second = Dbs.AddAddressBook(QStringLiteral("second"));
    const qint32 secondID =
        TBookBuilder(Dbs.LocalDataPath()).DatabaseRow(1, QStringLiteral("Second"), 2, CommaTextFromList({second}));
    StartLocalData();
    TBookBuilder local(Dbs.LocalDataPath());
    const qint32 firstID = local.Value(QStringLiteral("select ID from Databases where OrderNo = 1")).toInt();

    LocalData->SwapDatabaseOrder(secondID, firstID);
    const QString orderOf = QStringLiteral("select OrderNo from Databases where ID = %1");
    EXPECT_EQ(local.Value(orderOf.arg(secondID)).toInt(), 1);
    EXPECT_EQ(local.Value(orderOf.arg(firstID)).toInt(), 2);

    // The second write is refused: the first is taken back with it.
    local.Exec(QStringLiteral("create trigger RefuseOrder before update of OrderNo on Databases "
                              "when new.ID = %1 begin select raise(abort, 'refused'); end")
                   .arg(firstID));
    EXPECT_THROW(LocalData->SwapDatabaseOrder(secondID, firstID), std::exception);
    EXPECT_EQ(local.Value(orderOf.arg(secondID)).toInt(), 1);
    EXPECT_EQ(local.Value(orderOf.arg(firstID)).toInt(), 2);
}

TEST_F(AddressBooksTest, ABookThatIsNoAddressBookIsLeftOutAndTheOthersOpen)
{
    const QString junk = Dbs.AddAddressBook(QStringLiteral("junk"));
    {
        QFile file(junk + QStringLiteral("Tovix2Database.mdb"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("this is no database, only text that is long enough to fill a page header");
    }
    const QString empty = Dbs.AddAddressBook(QStringLiteral("empty"));
    {
        TBookBuilder emptyBook(empty + QStringLiteral("Tovix2Database.mdb"));
        emptyBook.Exec(QStringLiteral("drop table Contacts"));
    }
    const QString removed = Dbs.AddAddressBook(QStringLiteral("removed"));
    const QString good = Dbs.AddAddressBook(QStringLiteral("good"));
    {
        TBookBuilder local(Dbs.LocalDataPath());
        local.DatabaseRow(1, QStringLiteral("Junk"), 2, CommaTextFromList({junk}));
        local.DatabaseRow(1, QStringLiteral("Tables"), 3, CommaTextFromList({empty}));
        local.DatabaseRow(1, QStringLiteral("Removed"), 4, CommaTextFromList({removed}));
        local.DatabaseRow(1, QStringLiteral("Good"), 5, CommaTextFromList({good}));
    }
    ASSERT_TRUE(QDir(removed).removeRecursively());

    StartLocalData();
    const QString warning = QStringLiteral("Can't work with the database: \"%1\". Please check its settings.");
    EXPECT_EQ(Answerer.Texts(), (QStringList{warning.arg(QStringLiteral("Junk")), warning.arg(QStringLiteral("Tables")),
                                             warning.arg(QStringLiteral("Removed"))}));
    TDataClientEntries entries;
    ASSERT_EQ(DataClients.FillStrings(entries), 2);
    EXPECT_EQ(entries.at(1).first, QStringLiteral("Good"));
    // The book that opened serves its rows.
    EXPECT_EQ(entries.at(1).second->GetRecordCount(dkServers), 0);
    // The junk file was not touched.
    QFile file(junk + QStringLiteral("Tovix2Database.mdb"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("this is no database"));
}

TEST_F(AddressBooksTest, MembershipRewriteIsOneChangeInTheGivenOrder)
{
    TBookBuilder book(Dbs.AddressBookPath());
    const qint32 carrier = book.Carrier(QStringLiteral("C"), 6, book.Server(QStringLiteral("S"), 1, QString()));
    const qint32 a = book.Contact(QStringLiteral("a"), carrier);
    const qint32 b = book.Contact(QStringLiteral("b"), carrier);
    const qint32 c = book.Contact(QStringLiteral("c"), carrier);
    const qint32 group = book.Group(QStringLiteral("G"));
    const qint32 other = book.Group(QStringLiteral("Other"));
    book.Member(group, a);
    book.Member(other, a);
    StartLocalData();
    TBaseDataClient* client = DataClients.Items(0);

    TNDataSet* assigns = client->GetDataSet(dkGroupAssigns);
    assigns->Open();
    client->SaveGroupMembers(group, {c, a, b});
    EXPECT_EQ(Members(book, group), (QList<qint32>{c, a, b}));
    EXPECT_EQ(Members(book, other), QList<qint32>{a});
    EXPECT_EQ(assigns->RecordCount(), 4);  // the open dataset was read again

    // A row refused half-way: the group keeps the rows it had.
    book.Exec(QStringLiteral("create trigger RefuseMember before insert on GroupAssigns "
                             "when new.ContactID = %1 begin select raise(abort, 'refused'); end")
                  .arg(b));
    EXPECT_THROW(client->SaveGroupMembers(group, {a, b}), std::exception);
    EXPECT_EQ(Members(book, group), (QList<qint32>{c, a, b}));
    EXPECT_EQ(assigns->RecordCount(), 4);
}

TEST_F(AddressBooksTest, MembersAreOrderedByCaseAndNonMembersWithout)
{
    TBookBuilder book(Dbs.AddressBookPath());
    const qint32 carrier = book.Carrier(QStringLiteral("Pager"), 6, book.Server(QStringLiteral("S"), 1, QString()));
    QHash<QString, qint32> id;
    for (const char* name : {"bob", "Anna", "alice", "Carl", "Bea"})
        id[QString::fromLatin1(name)] = book.Contact(QString::fromLatin1(name), carrier);
    const qint32 group = book.Group(QStringLiteral("G"));
    book.Member(group, id[QStringLiteral("bob")]);
    book.Member(group, 9999);  // a contact that no longer exists
    book.Member(group, id[QStringLiteral("Carl")]);
    StartLocalData();
    TBaseDataClient* client = DataClients.Items(0);

    TNGroupMembers members(*client);
    members.Load(group);
    EXPECT_EQ(Names(members.Members()), (QStringList{QStringLiteral("Carl"), QStringLiteral("bob")}));
    EXPECT_EQ(Names(members.NonMembers()),
              (QStringList{QStringLiteral("alice"), QStringLiteral("Anna"), QStringLiteral("Bea")}));
    EXPECT_EQ(members.Members().RowValue(0, members.Members().FieldByName(QString::fromLatin1(CarrierNameField))),
              QVariant(QStringLiteral("Pager")));
    EXPECT_FALSE(members.Changed());

    // alice and Bea in; the members list keeps its case order.
    TNDataSet& non = members.NonMembers();
    const QList<TBookmark> added = members.AddMembers({non.RowBookmark(2), non.RowBookmark(0)});
    ASSERT_EQ(added.size(), 2);
    EXPECT_EQ(members.Members().RowValue(members.Members().RowOfBookmark(added.at(0)),
                                         members.Members().FieldByName(QStringLiteral("Name"))),
              QVariant(QStringLiteral("Bea")));
    EXPECT_EQ(Names(members.Members()), (QStringList{QStringLiteral("Bea"), QStringLiteral("Carl"),
                                                     QStringLiteral("alice"), QStringLiteral("bob")}));
    EXPECT_EQ(Names(non), QStringList{QStringLiteral("Anna")});

    // Carl out: he is shown among the non-members again, and named there.
    const QList<TBookmark> back = members.RemoveMembers({members.Members().RowBookmark(1)});
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(non.RowValue(non.RowOfBookmark(back.at(0)), non.FieldByName(QStringLiteral("Name"))),
              QVariant(QStringLiteral("Carl")));
    EXPECT_TRUE(members.Changed());

    // Nothing is written before Save; Save drops the missing contact's row.
    EXPECT_EQ(Members(book, group), (QList<qint32>{id[QStringLiteral("bob")], 9999, id[QStringLiteral("Carl")]}));
    members.Save(group);
    EXPECT_EQ(Members(book, group),
              (QList<qint32>{id[QStringLiteral("Bea")], id[QStringLiteral("alice")], id[QStringLiteral("bob")]}));
}
