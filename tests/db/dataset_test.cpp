// The dataset layer on a real address-book file: cursor, bookmarks, locate
// and lookup, fields, lookup and calculated fields, editing, order, filters
// and refresh.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "db/connection.h"
#include "db/dberror.h"
#include "db/sqldataset.h"
#include "support/testdatabases.h"

namespace {

class DataSetTest : public ::testing::Test {
protected:
    TestDatabases files;
    TNConnection book;
    TNSqlTable carriers;
    TNSqlTable contacts;

    void SetUp() override
    {
        book.SetDatabasePath(files.AddressBookPath());
        book.ExecSQL(QStringLiteral("insert into Servers (ID, Name, TypeNo, Data) values (1, 'Main', 1, 'x')"));
        book.ExecSQL(
            QStringLiteral("insert into Carriers (ID, TypeNo, ServerID, Name) values "
                           "(10, 4, 1, 'Vodafone SMS'), (11, 1, 1, 'Pager Co')"));
        // Added out of name order, so the index order differs from the
        // order of the keys.
        book.ExecSQL(
            QStringLiteral("insert into Contacts (ID, CarrierID, Name, FirstName, LastName) values "
                           "(1, 10, 'delta', 'Dan', 'Brown'), (2, 11, 'Alpha', 'Ann', 'Smith'), "
                           "(3, 10, 'charlie', 'Carl', 'Brown'), (4, 99, 'Bravo', 'Bob', 'Adams'), "
                           "(5, 11, 'echo', 'Eve', 'Smith')"));
        carriers.SetConnection(&book);
        carriers.SetTableName(QStringLiteral("Carriers"));
        carriers.SetIndexFieldNames(QStringLiteral("Name"));
        contacts.SetConnection(&book);
        contacts.SetTableName(QStringLiteral("Contacts"));
        contacts.SetIndexFieldNames(QStringLiteral("Name"));
    }

    static QStringList Column(TNDataSet& ds, const QString& field)
    {
        QStringList values;
        TNDataSetPosition keep(ds);
        for (ds.First(); !ds.Eof(); ds.Next())
            values << ds.FieldByName(field)->AsString();
        return values;
    }
    QString Name() const { return contacts.FieldByName(QStringLiteral("Name"))->AsString(); }
};

TEST_F(DataSetTest, CursorWalksTheRowsInIndexOrder)
{
    contacts.Open();
    EXPECT_EQ(contacts.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(contacts.RecordCount(), 5);
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Alpha", "Bravo", "charlie", "delta", "echo"}));
    contacts.First();
    EXPECT_TRUE(contacts.Bof());
    EXPECT_FALSE(contacts.Eof());
    EXPECT_EQ(contacts.RecNo(), 1);
    contacts.Prior();
    EXPECT_TRUE(contacts.Bof());
    EXPECT_EQ(Name(), QStringLiteral("Alpha"));
    contacts.Last();
    EXPECT_TRUE(contacts.Eof());
    EXPECT_EQ(Name(), QStringLiteral("echo"));
    contacts.Next();
    EXPECT_TRUE(contacts.Eof());
    EXPECT_EQ(contacts.RecNo(), 5);
    EXPECT_EQ(contacts.MoveBy(-2), -2);
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_FALSE(contacts.Eof());
    contacts.SetRecNo(2);
    EXPECT_EQ(Name(), QStringLiteral("Bravo"));

    contacts.Close();
    EXPECT_FALSE(contacts.Active());
    EXPECT_THROW(contacts.First(), EDatabaseError);
    EXPECT_TRUE(contacts.FieldByName(QStringLiteral("Name"))->IsNull());
}

TEST_F(DataSetTest, EmptyTableHasNoCurrentRow)
{
    TNSqlTable groups;
    groups.SetConnection(&book);
    groups.SetTableName(QStringLiteral("Groups"));
    groups.Open();
    EXPECT_TRUE(groups.IsEmpty());
    EXPECT_TRUE(groups.Eof());
    EXPECT_TRUE(groups.Bof());
    EXPECT_EQ(groups.RecNo(), 0);
    EXPECT_TRUE(groups.FieldByName(QStringLiteral("Name"))->IsNull());
    EXPECT_THROW(groups.Delete(), EDatabaseError);
}

TEST_F(DataSetTest, LocateVariants)
{
    contacts.Open();
    // No options: exact and case-sensitive.
    EXPECT_FALSE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("ALPHA")));
    EXPECT_FALSE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("Alp")));
    EXPECT_TRUE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("charlie")));
    EXPECT_EQ(contacts.RecNo(), 3);
    // A failed locate leaves the cursor.
    EXPECT_FALSE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("zulu")));
    EXPECT_EQ(Name(), QStringLiteral("charlie"));

    EXPECT_TRUE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("ALPHA"), loCaseInsensitive));
    EXPECT_EQ(Name(), QStringLiteral("Alpha"));
    EXPECT_TRUE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("DEL"), loCaseInsensitive | loPartialKey));
    EXPECT_EQ(Name(), QStringLiteral("delta"));
    EXPECT_FALSE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("DEL"), loPartialKey));

    // Several fields: the first row in index order that matches both.
    EXPECT_TRUE(contacts.Locate(QStringLiteral("LastName;CarrierID"), QVariantList{"Brown", 10}));
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_TRUE(contacts.Locate(QStringLiteral("LastName;FirstName"), QVariantList{"smith", "e"},
                                loCaseInsensitive | loPartialKey));
    EXPECT_EQ(Name(), QStringLiteral("echo"));
    EXPECT_FALSE(contacts.Locate(QStringLiteral("LastName;CarrierID"), QVariantList{"Smith", 10}));

    // Numbers: text that reads as the number matches, other text does not.
    EXPECT_TRUE(contacts.Locate(QStringLiteral("ID"), QStringLiteral("4")));
    EXPECT_EQ(Name(), QStringLiteral("Bravo"));
    EXPECT_FALSE(contacts.Locate(QStringLiteral("ID"), QStringLiteral("abc")));
    EXPECT_FALSE(contacts.Locate(QStringLiteral("ID"), QStringLiteral("abc"), loCaseInsensitive));
    EXPECT_EQ(Name(), QStringLiteral("Bravo"));

    EXPECT_THROW(contacts.Locate(QStringLiteral("Nope"), 1), EDatabaseError);
}

TEST_F(DataSetTest, LookupNeitherMovesNorPosts)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("delta"));
    EXPECT_EQ(contacts.Lookup(QStringLiteral("ID"), 2, QStringLiteral("Name")).toString(), QStringLiteral("Alpha"));
    EXPECT_EQ(contacts.Lookup(QStringLiteral("ID"), 2, QStringLiteral("FirstName;LastName")),
              QVariant(QVariantList{"Ann", "Smith"}));
    EXPECT_FALSE(contacts.Lookup(QStringLiteral("ID"), 42, QStringLiteral("Name")).isValid());
    EXPECT_FALSE(contacts.Lookup(QStringLiteral("ID"), QStringLiteral("x"), QStringLiteral("Name")).isValid());
    EXPECT_EQ(Name(), QStringLiteral("delta"));

    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("changed"));
    EXPECT_EQ(contacts.Lookup(QStringLiteral("ID"), 1, QStringLiteral("Name")).toString(), QStringLiteral("delta"));
    EXPECT_EQ(contacts.State(), TDataSetState::dsEdit);
    EXPECT_EQ(Name(), QStringLiteral("changed"));
    contacts.Cancel();
    EXPECT_EQ(book.QueryValue(QStringLiteral("select Name from Contacts where ID = 1")).toString(),
              QStringLiteral("delta"));
}

TEST_F(DataSetTest, BookmarksSurvivePostsAndDeletesOfOtherRows)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("charlie"));
    const TBookmark charlie = contacts.GetBookmark();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("Alpha"));
    contacts.Delete();
    contacts.Append();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Aaron"));
    contacts.Post();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("echo"));
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Able"));
    contacts.Post();
    ASSERT_TRUE(contacts.GotoBookmark(charlie));
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_EQ(contacts.RecNo(), 4);  // Aaron, Able, Bravo, charlie

    contacts.Delete();
    EXPECT_FALSE(contacts.BookmarkValid(charlie));
    EXPECT_FALSE(contacts.GotoBookmark(charlie));
    EXPECT_EQ(Name(), QStringLiteral("delta"));
}

TEST_F(DataSetTest, NestedScansPutTheCursorBack)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("Bravo"));
    QStringList pairs;
    for (contacts.First(); !contacts.Eof(); contacts.Next()) {
        const QString outer = Name();
        TNDataSetPosition keep(contacts);
        for (contacts.First(); !contacts.Eof(); contacts.Next()) {
            if (Name() != outer &&
                contacts.FieldByName(QStringLiteral("LastName"))->AsString() ==
                    contacts.Lookup(QStringLiteral("Name"), outer, QStringLiteral("LastName")).toString())
                pairs << outer + u'/' + Name();
        }
    }
    EXPECT_EQ(pairs, (QStringList{"Alpha/echo", "charlie/delta", "delta/charlie", "echo/Alpha"}));

    // A scope opens a closed dataset and closes it again.
    contacts.Close();
    {
        TNDataSetScope scope(contacts);
        EXPECT_TRUE(contacts.Active());
    }
    EXPECT_FALSE(contacts.Active());
    contacts.Open();
    contacts.SetRecNo(3);
    {
        TNDataSetScope scope(contacts);
        contacts.Last();
    }
    EXPECT_TRUE(contacts.Active());
    EXPECT_EQ(contacts.RecNo(), 3);
}

TEST_F(DataSetTest, LookupAndCalculatedFieldsAreComputedForEachRow)
{
    TNSqlTable carrierTypes;
    carrierTypes.SetConnection(&book);
    carrierTypes.SetTableName(QStringLiteral("CarrierTypes"));
    carrierTypes.SetIndexFieldNames(QStringLiteral("TypeNo"));
    // Keyed on TypeNo, not on ID.
    carriers.AddLookupField(QStringLiteral("FLCarrierTypes_Name"), QStringLiteral("TypeNo"), &carrierTypes,
                            QStringLiteral("TypeNo"), QStringLiteral("Name"), 50);
    contacts.AddLookupField(QStringLiteral("FLCarriers_Name"), QStringLiteral("CarrierID"), &carriers,
                            QStringLiteral("ID"), QStringLiteral("Name"), 50);
    // Chained: the carrier's type name through the carrier's own lookup field.
    contacts.AddLookupField(QStringLiteral("FLCarriers_Type"), QStringLiteral("CarrierID"), &carriers,
                            QStringLiteral("ID"), QStringLiteral("FLCarrierTypes_Name"));
    contacts.AddCalculatedField(QStringLiteral("FullName"), TFieldKind::fkString, [](const TNRecord& r) {
        return QVariant(r.Value(QStringLiteral("FirstName")).toString() + u' ' +
                        r.Value(QStringLiteral("LastName")).toString());
    });

    contacts.Open();  // opens carriers and carrier types too
    EXPECT_TRUE(carriers.Active());
    EXPECT_TRUE(carrierTypes.Active());
    EXPECT_EQ(Column(contacts, QStringLiteral("FLCarriers_Name")),
              (QStringList{"Pager Co", "", "Vodafone SMS", "Vodafone SMS", "Pager Co"}));
    EXPECT_EQ(Column(contacts, QStringLiteral("FLCarriers_Type")),
              (QStringList{"TAP Modem", "", "SMS", "SMS", "TAP Modem"}));
    EXPECT_EQ(Column(contacts, QStringLiteral("FullName")).first(), QStringLiteral("Ann Smith"));
    TNField* lookup = contacts.FieldByName(QStringLiteral("FLCarriers_Name"));
    EXPECT_EQ(lookup->FieldClass(), TFieldClass::fcLookup);
    EXPECT_TRUE(lookup->ReadOnly());
    EXPECT_EQ(lookup->Kind(), TFieldKind::fkString);

    // Edited values count at once, even before the post.
    contacts.First();
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("CarrierID"))->SetAsInteger(10);
    contacts.FieldByName(QStringLiteral("FirstName"))->SetAsString(QStringLiteral("Anne"));
    EXPECT_EQ(lookup->AsString(), QStringLiteral("Vodafone SMS"));
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("FullName"))->AsString(), QStringLiteral("Anne Smith"));
    EXPECT_THROW(lookup->SetAsString(QStringLiteral("x")), EDatabaseError);
    contacts.Post();
    EXPECT_EQ(lookup->AsString(), QStringLiteral("Vodafone SMS"));

    // A renamed carrier shows in the contacts' lookup field.
    carriers.Locate(QStringLiteral("ID"), 10);
    carriers.Edit();
    carriers.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Spark"));
    carriers.Post();
    EXPECT_EQ(lookup->AsString(), QStringLiteral("Spark"));
}

TEST_F(DataSetTest, FieldsHaveKindsNullsAndDisplaySettings)
{
    contacts.Open();
    TNField* id = contacts.FieldByName(QStringLiteral("id"));
    EXPECT_EQ(id->FieldName(), QStringLiteral("ID"));
    EXPECT_EQ(id->Kind(), TFieldKind::fkAutoInc);
    EXPECT_TRUE(id->ReadOnly());
    EXPECT_EQ(contacts.FindField(QStringLiteral("Missing")), nullptr);
    EXPECT_THROW(contacts.FieldByName(QStringLiteral("Missing")), EDatabaseError);

    contacts.Locate(QStringLiteral("Name"), QStringLiteral("Alpha"));
    TNField* company = contacts.FieldByName(QStringLiteral("Company"));
    TNField* prune = contacts.FieldByName(QStringLiteral("Prune"));
    EXPECT_TRUE(company->IsNull());
    EXPECT_EQ(company->AsString(), QString());
    EXPECT_EQ(prune->Kind(), TFieldKind::fkBoolean);
    EXPECT_FALSE(prune->AsBoolean());
    EXPECT_EQ(prune->AsString(), QStringLiteral("False"));
    EXPECT_EQ(id->Alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(company->Alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(company->DisplayWidth(), 50);
    company->SetDisplayLabel(QStringLiteral("Firm"));
    company->SetDisplayWidth(12);
    EXPECT_EQ(company->DisplayLabel(), QStringLiteral("Firm"));
    EXPECT_EQ(company->DisplayWidth(), 12);

    // Writing needs the edit state; the key cannot be written.
    EXPECT_THROW(company->SetAsString(QStringLiteral("x")), EDatabaseError);
    contacts.Edit();
    EXPECT_THROW(id->SetAsInteger(100), EDatabaseError);
    EXPECT_THROW(contacts.FieldByName(QStringLiteral("CarrierID"))->SetAsString(QStringLiteral("abc")), EDatabaseError);
    company->SetAsString(QString(60, u'x'));  // cut to the column's 50 characters
    prune->SetAsBoolean(true);
    contacts.FieldByName(QStringLiteral("CarrierID"))->Clear();
    contacts.Post();
    EXPECT_EQ(company->AsString(), QString(50, u'x'));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select Prune from Contacts where ID = 2")).toInt(), 1);
    EXPECT_TRUE(book.QueryValue(QStringLiteral("select CarrierID from Contacts where ID = 2")).isNull());
    EXPECT_TRUE(contacts.FieldByName(QStringLiteral("CarrierID"))->IsNull());
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("CarrierID"))->AsInteger(), 0);
}

TEST_F(DataSetTest, DisplayHandlersShapeTheText)
{
    TNSqlTable servers;
    servers.SetConnection(&book);
    servers.SetTableName(QStringLiteral("Servers"));
    servers.SetIndexFieldNames(QStringLiteral("Name"));
    book.ExecSQL(QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('Com', 2, :Data), ('Odd', 7, '')"),
                 {{QStringLiteral("Data"), QStringLiteral("a\r\nb\nc")}});
    servers.Open();
    servers.FieldByName(QStringLiteral("TypeNo"))->SetOnGetText([](const TNField&, const QVariant& v) {
        switch (v.toInt()) {
            case 1:
                return QStringLiteral("TCP");
            case 2:
                return QStringLiteral("COM");
            default:
                return QStringLiteral("UNKNOWN");
        }
    });
    servers.FieldByName(QStringLiteral("Data"))->SetOnGetText([](const TNField&, const QVariant& v) {
        return v.toString().remove(u'\r').replace(u'\n', u' ');
    });
    QStringList shown;
    for (servers.First(); !servers.Eof(); servers.Next())
        shown << servers.FieldByName(QStringLiteral("TypeNo"))->DisplayText() + u':' +
                     servers.FieldByName(QStringLiteral("Data"))->DisplayText();
    EXPECT_EQ(shown, (QStringList{"COM:a b c", "TCP:x", "UNKNOWN:"}));
    // The stored value is untouched.
    servers.First();
    EXPECT_EQ(servers.FieldByName(QStringLiteral("Data"))->AsString(), QStringLiteral("a\r\nb\nc"));
}

TEST_F(DataSetTest, AppendPostsWithAutoNumberAndDatabaseDefaults)
{
    TNSqlTable assigns;
    assigns.SetConnection(&book);
    assigns.SetTableName(QStringLiteral("FolderAssigns"));
    assigns.Open();
    QSignalSpy states(&assigns, &TNDataSet::StateChanged);
    assigns.Append();
    EXPECT_EQ(assigns.State(), TDataSetState::dsInsert);
    EXPECT_TRUE(assigns.FieldByName(QStringLiteral("ID"))->IsNull());
    assigns.FieldByName(QStringLiteral("ContactID"))->SetAsInteger(3);
    assigns.Post();
    EXPECT_EQ(states.count(), 2);
    const int first = assigns.FieldByName(QStringLiteral("ID"))->AsInteger();
    EXPECT_GT(first, 0);
    // Columns the insert did not set hold the database's defaults.
    EXPECT_EQ(assigns.FieldByName(QStringLiteral("FolderID"))->AsInteger(), 0);
    EXPECT_EQ(assigns.FieldByName(QStringLiteral("GroupID"))->AsInteger(), -2147483647 - 1);
    assigns.Append();
    assigns.Post();
    EXPECT_EQ(assigns.FieldByName(QStringLiteral("ID"))->AsInteger(), first + 1);
    EXPECT_EQ(assigns.RecordCount(), 2);
    EXPECT_EQ(assigns.RecNo(), 2);
}

TEST_F(DataSetTest, PostedRowsTakeTheirPlaceInIndexOrder)
{
    contacts.Open();
    contacts.Append();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Charlie"));
    contacts.Post();
    EXPECT_EQ(contacts.RecNo(), 4);  // after "charlie": the older of equal names first
    EXPECT_EQ(Name(), QStringLiteral("Charlie"));
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("zed"));
    contacts.Post();
    EXPECT_EQ(contacts.RecNo(), 6);
    EXPECT_EQ(Name(), QStringLiteral("zed"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")),
              (QStringList{"Alpha", "Bravo", "charlie", "delta", "echo", "zed"}));
    // A new reader sees the same order.
    TNSqlTable again;
    again.SetConnection(&book);
    again.SetTableName(QStringLiteral("Contacts"));
    again.SetIndexFieldNames(QStringLiteral("Name"));
    again.Open();
    EXPECT_EQ(Column(again, QStringLiteral("Name")), Column(contacts, QStringLiteral("Name")));
}

TEST_F(DataSetTest, CancelForgetsAnInsertOrAnEdit)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("charlie"));
    contacts.Append();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("ghost"));
    contacts.Cancel();
    EXPECT_EQ(contacts.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(contacts.RecordCount(), 5);
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from Contacts")).toInt(), 5);

    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("ghost"));
    contacts.Cancel();
    EXPECT_EQ(Name(), QStringLiteral("charlie"));

    // Moving posts a changed row and drops an unchanged one.
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("FirstName"))->SetAsString(QStringLiteral("Chuck"));
    contacts.Next();
    EXPECT_EQ(book.QueryValue(QStringLiteral("select FirstName from Contacts where ID = 3")).toString(),
              QStringLiteral("Chuck"));
    contacts.Append();
    contacts.First();
    EXPECT_EQ(contacts.RecordCount(), 5);
}

TEST_F(DataSetTest, DeleteMakesTheNextRowCurrent)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("Bravo"));
    contacts.Delete();
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_EQ(contacts.RecordCount(), 4);
    contacts.Last();
    contacts.Delete();
    EXPECT_EQ(Name(), QStringLiteral("delta"));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select group_concat(Name) from "
                                             "(select Name from Contacts order by ID)"))
                  .toString(),
              QStringLiteral("delta,Alpha,charlie"));
    // Deleting every row, as a loop does it.
    while (!contacts.IsEmpty())
        contacts.Delete();
    EXPECT_TRUE(contacts.Eof());
    EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from Contacts")).toInt(), 0);
}

TEST_F(DataSetTest, DeleteBookmarksTakesTheNamedRowsInOneChange)
{
    contacts.Open();
    auto bookmarkOf = [&](const char* name) {
        contacts.Locate(QStringLiteral("Name"), QString::fromLatin1(name));
        return contacts.GetBookmark();
    };
    const TBookmark alpha = bookmarkOf("Alpha");
    const TBookmark charlie = bookmarkOf("charlie");
    const TBookmark echo = bookmarkOf("echo");
    QSignalSpy resets(&contacts, &TNDataSet::Reset);
    QSignalSpy removals(&contacts, &TNDataSet::RowRemoved);

    // The current row kept stays current; a repeated or unknown bookmark is
    // passed over.
    bookmarkOf("delta");
    EXPECT_EQ(contacts.DeleteBookmarks({charlie, alpha, charlie, TBookmark(9999)}), 2);
    EXPECT_EQ(Name(), QStringLiteral("delta"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Bravo", "delta", "echo"}));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select group_concat(Name) from (select Name from Contacts order by ID)"))
                  .toString(),
              QStringLiteral("delta,Bravo,echo"));
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(removals.size(), 0);
    EXPECT_FALSE(contacts.BookmarkValid(alpha));

    // A current row taken: the cursor keeps its row number. Rows the filter
    // hides are not taken.
    contacts.SetFilter(QStringLiteral("Name <> 'Bravo'"));
    contacts.SetFiltered(true);
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("delta"));
    contacts.SetFiltered(false);
    const TBookmark delta = contacts.GetBookmark();
    const TBookmark bravo = bookmarkOf("Bravo");
    contacts.SetFiltered(true);
    bookmarkOf("delta");
    EXPECT_EQ(contacts.DeleteBookmarks({delta, bravo}), 1);
    EXPECT_EQ(Name(), QStringLiteral("echo"));
    EXPECT_EQ(contacts.RecNo(), 1);
    contacts.SetFiltered(false);
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Bravo", "echo"}));
    EXPECT_EQ(contacts.DeleteBookmarks({echo, bravo}), 2);
    EXPECT_TRUE(contacts.IsEmpty());
    EXPECT_TRUE(contacts.Eof());
}

TEST_F(DataSetTest, SortingByIndexFieldNamesKeepsTheCurrentRow)
{
    contacts.SetIndexFieldNames(QString());
    contacts.Open();
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"delta", "Alpha", "charlie", "Bravo", "echo"}));
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("echo"));
    contacts.SetIndexFieldNames(QStringLiteral("LastName;FirstName"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Bravo", "charlie", "delta", "Alpha", "echo"}));
    EXPECT_EQ(Name(), QStringLiteral("echo"));
    EXPECT_EQ(contacts.RecNo(), 5);
    contacts.SetIndexFieldNames(QStringLiteral("Name DESC"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"echo", "delta", "charlie", "Bravo", "Alpha"}));
    EXPECT_EQ(contacts.RecNo(), 1);
    EXPECT_THROW(contacts.SetIndexFieldNames(QStringLiteral("Nope")), EDatabaseError);
    EXPECT_EQ(contacts.IndexFieldNames(), QStringLiteral("Name DESC"));

    // Queries sort in memory by the same rules.
    TNSqlQuery query;
    query.SetConnection(&book);
    query.SetSQL(QStringLiteral("select ID, Name, LastName from Contacts"));
    query.SetIndexFieldNames(QStringLiteral("LastName;Name"));
    query.Open();
    EXPECT_EQ(Column(query, QStringLiteral("Name")), (QStringList{"Bravo", "charlie", "delta", "Alpha", "echo"}));

    // With regard to letter case: capitals before small letters.
    contacts.SetIndexFieldNames(QStringLiteral("Name"));
    contacts.SetSortCaseSensitive(true);
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Alpha", "Bravo", "charlie", "delta", "echo"}));
    contacts.Close();
    contacts.Open();  // the database's order is not taken for it
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Alpha", "Bravo", "charlie", "delta", "echo"}));
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Zulu"));
    contacts.Post();
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Bravo", "Zulu", "charlie", "delta", "echo"}));
}

TEST_F(DataSetTest, FiltersAreHonouredByCountsScansAndLocates)
{
    contacts.Open();
    contacts.SetFilter(QStringLiteral("CarrierID=10"));
    EXPECT_EQ(contacts.RecordCount(), 5);  // not filtered until Filtered is set
    contacts.SetFiltered(true);
    EXPECT_EQ(contacts.RecordCount(), 2);
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"charlie", "delta"}));
    EXPECT_FALSE(contacts.Locate(QStringLiteral("Name"), QStringLiteral("Alpha")));
    EXPECT_FALSE(contacts.Lookup(QStringLiteral("ID"), 2, QStringLiteral("Name")).isValid());

    contacts.SetFilter(QStringLiteral("(LastName = 'Smith' or LastName='Adams') and not Name = 'echo'"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Alpha", "Bravo"}));
    contacts.SetFilter(QStringLiteral("FirstName = 'E*' or CarrierID = 'abc'"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"echo"}));
    contacts.SetFilter(QStringLiteral("Company is null and ID >= 4"));
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"Bravo", "echo"}));
    EXPECT_THROW(contacts.SetFilter(QStringLiteral("Name = ")), EDatabaseError);
    EXPECT_THROW(contacts.SetFilter(QStringLiteral("Nope = 1")), EDatabaseError);

    // A callback filters together with the text.
    contacts.SetOnFilterRecord(
        [](const TNRecord& r) { return r.Value(QStringLiteral("Name")).toString().startsWith(u'e'); });
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"echo"}));
    contacts.SetFilter(QString());
    EXPECT_EQ(Column(contacts, QStringLiteral("Name")), (QStringList{"echo"}));

    // A posted row that no longer passes leaves the visible rows.
    contacts.First();
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Foxtrot"));
    contacts.Post();
    EXPECT_TRUE(contacts.IsEmpty());
    contacts.SetFiltered(false);
    EXPECT_EQ(contacts.RecordCount(), 5);
}

TEST_F(DataSetTest, APostedRowTheFilterHidesStaysReadableUntilTheCursorMoves)
{
    contacts.Open();
    contacts.SetFilter(QStringLiteral("CarrierID=10"));
    contacts.SetFiltered(true);
    contacts.Append();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Hidden"));
    contacts.Post();
    EXPECT_EQ(contacts.RecordCount(), 2);
    EXPECT_EQ(Name(), QStringLiteral("Hidden"));
    const int id = contacts.FieldByName(QStringLiteral("ID"))->AsInteger();
    EXPECT_EQ(book.QueryValue(QStringLiteral("select Name from Contacts where ID = :I"), {{QStringLiteral("I"), id}})
                  .toString(),
              QStringLiteral("Hidden"));

    // An edit that hides the row reads back the same way.
    contacts.First();
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("CarrierID"))->SetAsInteger(11);
    contacts.Post();
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("CarrierID"))->AsInteger(), 11);

    // Moving shows the visible row again; a later post is unaffected.
    contacts.First();
    EXPECT_EQ(Name(), QStringLiteral("delta"));
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("FirstName"))->SetAsString(QStringLiteral("Dave"));
    contacts.Post();
    EXPECT_EQ(Name(), QStringLiteral("delta"));
}

TEST_F(DataSetTest, RefreshReadsOtherWritersAndKeepsThePosition)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("Name"), QStringLiteral("charlie"));
    const TBookmark mark = contacts.GetBookmark();
    book.ExecSQL(QStringLiteral("insert into Contacts (Name) values ('Aardvark')"));
    book.ExecSQL(QStringLiteral("update Contacts set FirstName = 'Charlotte' where ID = 3"));
    contacts.Refresh();
    EXPECT_EQ(contacts.RecordCount(), 6);
    EXPECT_EQ(Name(), QStringLiteral("charlie"));
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("FirstName"))->AsString(), QStringLiteral("Charlotte"));
    EXPECT_EQ(contacts.GetBookmark(), mark);

    // When the current row went, the row number stays.
    book.ExecSQL(QStringLiteral("delete from Contacts where ID = 3"));
    contacts.Refresh();
    EXPECT_EQ(contacts.RecNo(), 4);
    EXPECT_EQ(Name(), QStringLiteral("delta"));
}

TEST_F(DataSetTest, AnEditOfARowSomeoneDeletedFails)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("ID"), 5);
    book.ExecSQL(QStringLiteral("delete from Contacts where ID = 5"));
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("x"));
    EXPECT_THROW(contacts.Post(), EDatabaseError);
    EXPECT_EQ(contacts.State(), TDataSetState::dsEdit);
    contacts.Cancel();
}

TEST_F(DataSetTest, APostWritesOnlyTheChangedColumns)
{
    contacts.Open();
    contacts.Locate(QStringLiteral("ID"), 2);
    // Another connection changes one column of the row meanwhile.
    TNConnection other;
    other.SetDatabasePath(files.AddressBookPath());
    other.ExecSQL(QStringLiteral("update Contacts set FirstName = 'Annie' where ID = 2"));
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("LastName"))->SetAsString(QStringLiteral("Jones"));
    contacts.Post();
    EXPECT_EQ(
        book.QueryValue(QStringLiteral("select FirstName || ' ' || LastName from Contacts where ID = 2")).toString(),
        QStringLiteral("Annie Jones"));
    // The row as stored is what the dataset shows after the post.
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("FirstName"))->AsString(), QStringLiteral("Annie"));
}

TEST_F(DataSetTest, NotificationsTellViewsWhatHappened)
{
    contacts.Open();
    QSignalSpy rows(&contacts, &TNDataSet::CurrentRowChanged);
    QSignalSpy fields(&contacts, &TNDataSet::FieldChanged);
    QSignalSpy states(&contacts, &TNDataSet::StateChanged);
    contacts.Next();
    EXPECT_EQ(rows.count(), 1);
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("FirstName"))->SetAsString(QStringLiteral("B"));
    ASSERT_EQ(fields.count(), 1);
    EXPECT_EQ(fields.first().first().value<TNField*>(), contacts.FieldByName(QStringLiteral("FirstName")));
    contacts.Post();
    EXPECT_EQ(states.count(), 2);

    rows.clear();
    contacts.DisableControls();
    for (contacts.First(); !contacts.Eof(); contacts.Next()) {
    }
    EXPECT_EQ(rows.count(), 0);
    contacts.EnableControls();
    EXPECT_EQ(rows.count(), 1);
}

TEST_F(DataSetTest, DeclaredFieldsKeepTheirSettingsAndMustExist)
{
    TNField* name = contacts.DefineField(QStringLiteral("Name"));
    name->SetDisplayLabel(QStringLiteral("Contact"));
    contacts.Open();
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("Name")), name);
    EXPECT_EQ(name->DisplayLabel(), QStringLiteral("Contact"));
    EXPECT_EQ(name->Kind(), TFieldKind::fkString);
    EXPECT_EQ(contacts.Field(0)->FieldName(), QStringLiteral("ID"));
    contacts.Close();
    contacts.Open();
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("Name")), name);

    TNSqlTable groups;
    groups.SetConnection(&book);
    groups.SetTableName(QStringLiteral("Groups"));
    groups.DefineField(QStringLiteral("NotAColumn"));
    EXPECT_THROW(groups.Open(), EDatabaseError);
    EXPECT_FALSE(groups.Active());
}

}  // namespace
