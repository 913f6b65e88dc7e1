// The two database files as the schema SQL makes them: tables, columns and
// their kinds, default rows, the out-box cascade, letter case, and the
// connection settings every connection gets.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <chrono>
#include <thread>

#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/dberror.h"
#include "db/sqldataset.h"
#include "support/testdatabases.h"

namespace {

using Columns = QList<QPair<QString, TFieldKind>>;

// Every column of a table as the dataset layer reads it.
QList<QPair<QString, TFieldKind>> TableFields(TNConnection& connection, const QString& table)
{
    TNSqlTable t;
    t.SetConnection(&connection);
    t.SetTableName(table);
    t.Open();
    QList<QPair<QString, TFieldKind>> fields;
    for (int i = 0; i < t.FieldCount(); ++i)
        fields << qMakePair(t.Field(i)->FieldName(), t.Field(i)->Kind());
    return fields;
}

const TFieldKind Auto = TFieldKind::fkAutoInc;
const TFieldKind Int = TFieldKind::fkInteger;
const TFieldKind Small = TFieldKind::fkSmallInt;
const TFieldKind Text = TFieldKind::fkString;
const TFieldKind Memo = TFieldKind::fkMemo;
const TFieldKind Bool = TFieldKind::fkBoolean;
const TFieldKind Time = TFieldKind::fkDateTime;

Columns C(std::initializer_list<QPair<QString, TFieldKind>> list)
{
    return Columns(list);
}

QPair<QString, TFieldKind> F(const char* name, TFieldKind kind)
{
    return qMakePair(QString::fromLatin1(name), kind);
}

class SchemaTest : public ::testing::Test {
protected:
    TestDatabases files;
    TNConnection local;
    TNConnection book;
    void SetUp() override
    {
        local.SetDatabasePath(files.LocalDataPath());
        book.SetDatabasePath(files.AddressBookPath());
    }
};

TEST_F(SchemaTest, LocalDataTablesHaveEveryColumnWithItsKind)
{
    EXPECT_EQ(TableFields(local, QStringLiteral("DatabaseTypes")),
              C({F("ID", Auto), F("TypeNo", Int), F("IconID", Small), F("Name", Text), F("Prune", Bool)}));
    EXPECT_EQ(TableFields(local, QStringLiteral("Databases")),
              C({F("ID", Auto), F("IconID", Small), F("TypeNo", Int), F("Name", Text), F("Prune", Bool),
                 F("OrderNo", Int), F("Data", Memo), F("GUID", Text)}));
    EXPECT_EQ(TableFields(local, QStringLiteral("OutMessageTexts")),
              C({F("ID", Auto), F("MessageText", Memo), F("MessageTime", Time), F("SentMessageTextID", Int)}));
    EXPECT_EQ(TableFields(local, QStringLiteral("OutMessages")),
              C({F("ID", Auto), F("ContactID", Int), F("Name", Text), F("DatabaseGUID", Text), F("MessageTextID", Int),
                 F("ServerTypeNo", Int), F("IpAddress", Text), F("PortNo", Int), F("HostName", Text),
                 F("sentMessagesID", Int)}));
    EXPECT_EQ(TableFields(local, QStringLiteral("SentMessageTexts")), C({F("ID", Auto), F("Message", Memo)}));
    EXPECT_EQ(
        TableFields(local, QStringLiteral("SentMessages")),
        C({F("ID", Auto), F("ContactID", Int), F("Name", Text), F("DatabaseGUID", Text), F("SentMessageTextID", Int),
           F("MessageTime", Time), F("ReceiveConfirmed", Bool), F("ReceiveTime", Time), F("SendConfirmed", Bool),
           F("SendTime", Time), F("ErrorStatus", Int), F("IpAddress", Text), F("PortNo", Int), F("HostName", Text),
           F("ServerTypeNo", Int), F("ServerRecordID", Int), F("ClientRecordID", Int)}));
    EXPECT_EQ(TableFields(local, QStringLiteral("FoldersOpen")), C({F("DatabaseGUID", Text), F("FolderID", Int)}));
}

TEST_F(SchemaTest, AddressBookTablesHaveEveryColumnWithItsKind)
{
    EXPECT_EQ(TableFields(book, QStringLiteral("CarrierTypes")),
              C({F("ID", Auto), F("IconID", Small), F("TypeNo", Small), F("Name", Text), F("Prune", Bool)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("Carriers")),
              C({F("ID", Auto), F("IconID", Small), F("TypeNo", Small), F("ServerID", Int), F("Name", Text),
                 F("Prune", Bool), F("Data", Memo)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("Contacts")),
              C({F("ID", Auto), F("CarrierID", Int), F("Name", Text), F("FirstName", Text), F("LastName", Text),
                 F("Company", Text), F("JobTitle", Text), F("Prune", Bool), F("Data", Memo)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("Templates")),
              C({F("ID", Auto), F("Name", Text), F("ParentID", Int), F("IconID", Small), F("Content", Memo)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("Groups")), C({F("ID", Auto), F("Name", Text), F("Description", Memo)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("GroupAssigns")),
              C({F("ID", Auto), F("GroupID", Int), F("ContactID", Int)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("Folders")), C({F("ID", Auto), F("Name", Text), F("ParentID", Int)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("FolderAssigns")),
              C({F("ID", Auto), F("FolderID", Int), F("GroupID", Int), F("ContactID", Int)}));
    EXPECT_EQ(TableFields(book, QStringLiteral("Servers")),
              C({F("ID", Auto), F("Name", Text), F("TypeNo", Small), F("Data", Memo)}));
}

TEST_F(SchemaTest, NameColumnsHoldFiftyCharactersAndOutBoxNamesAGroupMember)
{
    TNSqlTable contacts;
    contacts.SetConnection(&book);
    contacts.SetTableName(QStringLiteral("Contacts"));
    contacts.Open();
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("Name"))->Size(), 50);

    // A 50-character group, "[", a 50-character contact, "]".
    const QString member = QString(50, u'G') + u'[' + QString(50, u'C') + u']';
    ASSERT_EQ(member.size(), 102);
    for (const char* table : {"OutMessages", "SentMessages"}) {
        TNSqlTable t;
        t.SetConnection(&local);
        t.SetTableName(QLatin1String(table));
        t.Open();
        t.Append();
        t.FieldByName(QStringLiteral("Name"))->SetAsString(member);
        t.Post();
        t.Refresh();
        EXPECT_EQ(t.FieldByName(QStringLiteral("Name"))->AsString(), member) << table;
    }
}

TEST_F(SchemaTest, DefaultRowsAreThereAndNoContacts)
{
    EXPECT_EQ(local
                  .QueryValue(QStringLiteral("select group_concat(TypeNo || '=' || Name, ',') from "
                                             "(select * from DatabaseTypes order by TypeNo)"))
                  .toString(),
              QStringLiteral("1=Local,2=Shared"));
    TNSqlQuery databases;
    databases.SetConnection(&local);
    databases.SetSQL(QStringLiteral("select * from Databases"));
    databases.Open();
    ASSERT_EQ(databases.RecordCount(), 1);
    EXPECT_EQ(databases.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Local Database"));
    EXPECT_EQ(databases.FieldByName(QStringLiteral("TypeNo"))->AsInteger(), 1);
    EXPECT_EQ(databases.FieldByName(QStringLiteral("OrderNo"))->AsInteger(), 1);
    const QString guid = databases.FieldByName(QStringLiteral("GUID"))->AsString();
    EXPECT_EQ(guid.size(), 38);
    EXPECT_TRUE(guid.startsWith(u'{') && guid.endsWith(u'}'));
    EXPECT_EQ(guid, guid.toUpper());

    // Every file gets a GUID of its own.
    TestDatabases other;
    TNConnection otherLocal;
    otherLocal.SetDatabasePath(other.LocalDataPath());
    EXPECT_NE(otherLocal.QueryValue(QStringLiteral("select GUID from Databases")).toString(), guid);

    EXPECT_EQ(book.QueryValue(QStringLiteral("select group_concat(Name, ',') from "
                                             "(select * from CarrierTypes order by TypeNo)"))
                  .toString(),
              QStringLiteral("TAP Modem,Telecom NZ PACNET,TAP Direct,SMS,SMTP,SNPP,WCTP,MSG,ACU"));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from CarrierTypes where TypeNo between 1 and 9")).toInt(),
              9);
    for (const char* table : {"Contacts", "Carriers", "Servers", "Groups", "Folders", "Templates"})
        EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt(), 0);
}

TEST_F(SchemaTest, DeletingAMessageTextDeletesItsOutBoxRows)
{
    local.ExecSQL(QStringLiteral("insert into OutMessageTexts (ID, MessageText) values (7, 'hello'), (8, 'other')"));
    local.ExecSQL(QStringLiteral("insert into OutMessages (MessageTextID, Name) values (7, 'a'), (7, 'b'), (8, 'c')"));
    EXPECT_EQ(local.ExecSQL(QStringLiteral("delete from OutMessageTexts where ID = 7")), 1);
    EXPECT_EQ(local.QueryValue(QStringLiteral("select group_concat(Name) from OutMessages")).toString(),
              QStringLiteral("c"));
}

TEST_F(SchemaTest, TextComparesWithoutRegardToCase)
{
    EXPECT_EQ(local
                  .QueryValue(QStringLiteral("select count(*) from Databases where Name = :Name"),
                              {{QStringLiteral("Name"), QStringLiteral("LOCAL database")}})
                  .toInt(),
              1);
    book.ExecSQL(QStringLiteral("insert into Servers (Name) values ('Main Server')"));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from Servers s where s.Name = :Name"),
                              {{QStringLiteral("Name"), QStringLiteral("main SERVER")}})
                  .toInt(),
              1);
}

TEST_F(SchemaTest, ConnectionsUseWalBusyTimeOutAndForeignKeys)
{
    EXPECT_EQ(local.QueryValue(QStringLiteral("pragma journal_mode")).toString(), QStringLiteral("wal"));
    EXPECT_EQ(local.QueryValue(QStringLiteral("pragma foreign_keys")).toInt(), 1);
}

// A write that meets another writer's lock waits for it to go; once the
// waits are bounded (the close) and the bound has passed, it fails at once.
TEST_F(SchemaTest, WritesWaitForAnotherWriterUntilTheWaitsAreBounded)
{
    local.ExecSQL(QStringLiteral("select 1"));
    std::thread other([path = files.LocalDataPath()] {
        const QString name = UniqueConnectionName(QStringLiteral("other-writer-"));
        {
            QSqlDatabase db = OpenSqliteConnection(name, path);
            QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        }
        CloseSqliteConnection(name);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NO_THROW(local.ExecSQL(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values ('a', 1)")));
    other.join();

    const QString name = UniqueConnectionName(QStringLiteral("holder-"));
    {
        QSqlDatabase db = OpenSqliteConnection(name, files.LocalDataPath());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")));
        LimitDatabaseWaits(0);
        EXPECT_THROW(local.ExecSQL(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values ('b', 1)")),
                     EDatabaseError);
        ResetDatabaseWaits();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    }
    CloseSqliteConnection(name);
    EXPECT_EQ(local.QueryValue(QStringLiteral("select count(*) from FoldersOpen")).toInt(), 1);
}

TEST_F(SchemaTest, AMissingFileIsAnErrorAndIsNotCreated)
{
    TNConnection missing;
    const QString path = files.Folder() + QStringLiteral("Missing.mdb");
    missing.SetDatabasePath(path);
    EXPECT_THROW(missing.Open(), EDatabaseError);
    EXPECT_FALSE(missing.Connected());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(SchemaTest, CreatingOverAnExistingFileLeavesItAlone)
{
    local.ExecSQL(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values ('x', 3)"));
    local.Close();
    EXPECT_THROW(CreateLocalDataFile(files.LocalDataPath()), EDatabaseError);
    EXPECT_EQ(local.QueryValue(QStringLiteral("select count(*) from FoldersOpen")).toInt(), 1);
    EXPECT_TRUE(CreateMissingDatabaseFiles(files.Folder()).isEmpty());
}

TEST_F(SchemaTest, MissingFilesAreCreatedInAFolderWithABlank)
{
    TempFolder folder;
    const QString withBlank = folder.Path() + QStringLiteral("My Folder");
    ASSERT_TRUE(QDir().mkpath(withBlank));
    EXPECT_EQ(CreateMissingDatabaseFiles(withBlank), (QStringList{LocalDataFileName(), AddressBookFileName()}));
    TNConnection created;
    created.SetDatabasePath(withBlank + QStringLiteral("/") + AddressBookFileName());
    EXPECT_EQ(created.QueryValue(QStringLiteral("select count(*) from CarrierTypes")).toInt(), 9);
}

}  // namespace
