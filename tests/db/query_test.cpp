// Queries and commands with bound parameters, editing through single-table
// queries, transactions, SQL text reading, and a worker thread on its own
// connection.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QThread>

#include "db/connection.h"
#include "db/dberror.h"
#include "db/sqldataset.h"
#include "db/sqltext.h"
#include "db/transaction.h"
#include "support/testdatabases.h"

namespace {

class QueryTest : public ::testing::Test {
protected:
    TestDatabases files;
    TNConnection local;
    TNSqlQuery query;
    void SetUp() override
    {
        local.SetDatabasePath(files.LocalDataPath());
        query.SetConnection(&local);
    }
    int Count(const QString& table)
    {
        return local.QueryValue(QStringLiteral("select count(*) from ") + table).toInt();
    }
};

TEST(SqlTextTest, ParametersOutsideLiteralsAndComments)
{
    const TPositionalSql p =
        ToPositionalSql(QStringLiteral("select ':NotOne', \"a:b\" from T -- :Nor\nwhere A = :A and B = :b and C = :A"));
    EXPECT_EQ(p.ParamNames, (QStringList{"A", "b", "A"}));
    EXPECT_EQ(p.Sql, QStringLiteral("select ':NotOne', \"a:b\" from T -- :Nor\nwhere A = ? and B = ? and C = ?"));
    EXPECT_EQ(SqlParamNames(QStringLiteral("x = :A or y = :a or z = :B")), (QStringList{"A", "B"}));
    const QStringList statements = SplitSqlScript(
        QStringLiteral("-- head; no split\ncreate table a (x);\n insert into a values (';');; -- tail;"));
    ASSERT_EQ(statements.size(), 2);
    EXPECT_TRUE(statements[0].endsWith(QStringLiteral("\ncreate table a (x)")));
    EXPECT_EQ(statements[1], QStringLiteral("insert into a values (';')"));
}

TEST(SqlTextTest, SingleTableQueriesAreRecognised)
{
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select * from Databases\norder by OrderNo")),
              QStringLiteral("Databases"));
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select * from Servers s where s.Name = :Name")),
              QStringLiteral("Servers"));
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select ID  from OutMessageTexts where ID in (select MessageTextID "
                                               "from OutMessages where (HostName = :HostName))")),
              QStringLiteral("OutMessageTexts"));
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select s.TypeNo from Servers s, Carriers car")), QString());
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select * from A inner join B on A.ID = B.ID")), QString());
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select distinct IpAddress from OutMessages")), QString());
    EXPECT_EQ(SingleSelectTable(QStringLiteral("select max(OrderNo) from Databases group by TypeNo")), QString());
    EXPECT_EQ(SelectTables(QStringLiteral("SELECT GroupAssigns.ContactID FROM Groups INNER JOIN (Contacts INNER JOIN "
                                          "GroupAssigns ON Contacts.ID = GroupAssigns.ContactID) ON Groups.ID = "
                                          "GroupAssigns.GroupID")),
              (QStringList{"Groups", "Contacts", "GroupAssigns"}));
}

TEST_F(QueryTest, ParametersAreBoundNeverPasted)
{
    query.SetSQL(
        QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data) "
                       "values (:TypeNo, :Name, :OrderNo, :Data)"));
    EXPECT_EQ(query.ParamNames(), (QStringList{"TypeNo", "Name", "OrderNo", "Data"}));
    query.SetParam(QStringLiteral("TypeNo"), 1);
    query.SetParam(QStringLiteral("name"), QStringLiteral("O'Brien's \"book\"; drop table Databases"));
    query.SetParam(QStringLiteral("OrderNo"), QVariant());
    // Data is never set: bound as NULL.
    EXPECT_EQ(query.ExecSQL(), 1);
    EXPECT_THROW(query.SetParam(QStringLiteral("Nope"), 1), EDatabaseError);

    query.SetSQL(QStringLiteral("select ID, OrderNo, Data from Databases where Name = :Name"));
    query.SetParam(QStringLiteral("Name"), QStringLiteral("o'brien's \"BOOK\"; drop table Databases"));
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1);
    EXPECT_TRUE(query.FieldByName(QStringLiteral("OrderNo"))->IsNull());
    EXPECT_TRUE(query.FieldByName(QStringLiteral("Data"))->IsNull());
    EXPECT_EQ(Count(QStringLiteral("Databases")), 2);
}

TEST_F(QueryTest, DateTimesAreStoredAsLocalIsoText)
{
    const QDateTime when(QDate(2024, 2, 29), QTime(23, 59, 58, 123));
    EXPECT_EQ(local.ExecSQL(QStringLiteral("insert into OutMessageTexts (MessageText, MessageTime) values (:T, :W)"),
                            {{QStringLiteral("T"), QStringLiteral("hi")}, {QStringLiteral("W"), when}}),
              1);
    EXPECT_EQ(local.QueryValue(QStringLiteral("select MessageTime from OutMessageTexts")).toString(),
              QStringLiteral("2024-02-29 23:59:58.123"));
    query.SetSQL(QStringLiteral("select * from OutMessageTexts where MessageTime = :W"));
    query.SetParam(QStringLiteral("W"), when);
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1);
    TNField* time = query.FieldByName(QStringLiteral("MessageTime"));
    EXPECT_EQ(time->Kind(), TFieldKind::fkDateTime);
    EXPECT_EQ(time->AsDateTime(), when);
    EXPECT_TRUE(query.FieldByName(QStringLiteral("SentMessageTextID"))->IsNull());

    // Booleans as 0 and 1, through a dataset too.
    query.Close();
    query.SetSQL(QStringLiteral("select * from SentMessages"));
    query.Open();
    query.Append();
    query.FieldByName(QStringLiteral("SendConfirmed"))->SetAsBoolean(true);
    query.FieldByName(QStringLiteral("SendTime"))->SetAsDateTime(when);
    query.Post();
    EXPECT_EQ(local
                  .QueryValue(QStringLiteral("select SendConfirmed || '|' || ReceiveConfirmed || '|' || SendTime "
                                             "from SentMessages"))
                  .toString(),
              QStringLiteral("1|0|2024-02-29 23:59:58.123"));
}

TEST_F(QueryTest, TextCanBeReplacedAtRunTime)
{
    query.SetSQL(QStringLiteral("select count(*) from Databases"));
    query.Open();
    EXPECT_EQ(query.Field(0)->AsInteger(), 1);
    EXPECT_FALSE(query.CanModify());
    query.SetSQL(QStringLiteral("select max(OrderNo) as MaxOrderNo from Databases where TypeNo > 5"));
    EXPECT_FALSE(query.Active());
    query.Open();
    ASSERT_EQ(query.FieldCount(), 1);
    EXPECT_TRUE(query.FieldByName(QStringLiteral("MaxOrderNo"))->IsNull());
    EXPECT_EQ(query.FieldByName(QStringLiteral("MaxOrderNo"))->AsInteger(), 0);
    query.SetSQL(QStringLiteral("delete from FoldersOpen"));
    EXPECT_THROW(query.Open(), EDatabaseError);
}

TEST_F(QueryTest, CommandsReportTheRowsTheyChanged)
{
    query.SetSQL(
        QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) Values(:DataBaseGuidString, "
                       ":FolderID)"));
    query.SetParam(QStringLiteral("DataBaseGuidString"), QStringLiteral("{G}"));
    for (int id : {0, 4, 9}) {
        query.SetParam(QStringLiteral("FolderID"), id);
        EXPECT_EQ(query.ExecSQL(), 1);
    }
    query.SetSQL(QStringLiteral("delete from FoldersOpen where FolderID > :Min"));
    query.SetParam(QStringLiteral("Min"), 0);
    EXPECT_EQ(query.ExecSQL(), 2);
    EXPECT_EQ(query.ExecSQL(), 0);
}

TEST_F(QueryTest, SingleTableQueriesCanBeEditedAndDeletedThrough)
{
    local.ExecSQL(
        QStringLiteral("insert into Databases (TypeNo, Name, OrderNo) values (2, 'Shared One', 3), "
                       "(1, 'Second', 2)"));
    TNSqlQuery databases;
    databases.SetConnection(&local);
    databases.SetSQL(QStringLiteral("select * from Databases\norder by OrderNo"));
    databases.Open();
    EXPECT_TRUE(databases.CanModify());
    QStringList names;
    for (databases.First(); !databases.Eof(); databases.Next())
        names << databases.FieldByName(QStringLiteral("Name"))->AsString();
    EXPECT_EQ(names, (QStringList{"Local Database", "Second", "Shared One"}));

    databases.SetRecNo(2);
    databases.Edit();
    databases.FieldByName(QStringLiteral("Data"))->SetAsString(QStringLiteral("\"/tmp/a b/\""));
    databases.Post();
    EXPECT_EQ(local.QueryValue(QStringLiteral("select Data from Databases where Name = 'Second'")).toString(),
              QStringLiteral("\"/tmp/a b/\""));
    databases.Append();
    databases.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("New"));
    databases.Post();
    EXPECT_GT(databases.FieldByName(QStringLiteral("ID"))->AsInteger(), 3);
    EXPECT_EQ(databases.FieldByName(QStringLiteral("Prune"))->AsBoolean(), false);

    // The out-box deletes: walk a query of text rows and delete until empty.
    local.ExecSQL(QStringLiteral("insert into OutMessageTexts (ID) values (1), (2), (3)"));
    local.ExecSQL(
        QStringLiteral("insert into OutMessages (MessageTextID, IpAddress, PortNo, ServerTypeNo) values "
                       "(1, '10.0.0.1', 215, 1), (1, '10.0.0.2', 215, 1), (2, '10.0.0.1', 215, 1), "
                       "(3, '10.0.0.2', 215, 1)"));
    TNSqlQuery texts;
    texts.SetConnection(&local);
    texts.SetSQL(
        QStringLiteral("select ID  from OutMessageTexts where ID in\n(select MessageTextID  from OutMessages "
                       "where (IpAddress = :IpAddress ) and (PortNo = :PortNo )\nand (ServerTypeNo = "
                       ":ServerTypeNo))"));
    texts.SetParam(QStringLiteral("IpAddress"), QStringLiteral("10.0.0.1"));
    texts.SetParam(QStringLiteral("PortNo"), 215);
    texts.SetParam(QStringLiteral("ServerTypeNo"), 1);
    texts.Open();
    EXPECT_EQ(texts.RecordCount(), 2);
    while (!texts.IsEmpty())
        texts.Delete();
    texts.Close();
    EXPECT_EQ(local.QueryValue(QStringLiteral("select group_concat(ID) from OutMessageTexts")).toString(),
              QStringLiteral("3"));
    EXPECT_EQ(Count(QStringLiteral("OutMessages")), 1);
}

TEST_F(QueryTest, JoinsAndDistinctAreReadOnly)
{
    query.SetSQL(QStringLiteral("select distinct IpAddress, PortNo, HostName, ServerTypeNo\nfrom OutMessages"));
    query.Open();
    EXPECT_FALSE(query.CanModify());
    EXPECT_EQ(query.FieldByName(QStringLiteral("PortNo"))->Kind(), TFieldKind::fkInteger);
    EXPECT_THROW(query.Append(), EDatabaseError);
    EXPECT_THROW(query.Edit(), EDatabaseError);
}

TEST_F(QueryTest, TransactionsCommitOrLeaveNothing)
{
    {
        TNTransaction tx(local);
        local.ExecSQL(QStringLiteral("insert into OutMessageTexts (MessageText) values ('kept')"));
        tx.Commit();
    }
    try {
        TNTransaction tx(local);
        local.ExecSQL(QStringLiteral("insert into OutMessageTexts (MessageText) values ('lost')"));
        local.ExecSQL(QStringLiteral("insert into NoSuchTable values (1)"));
        tx.Commit();
        FAIL() << "the second statement must fail";
    } catch (const EDatabaseError&) {
    }
    EXPECT_EQ(local.QueryValue(QStringLiteral("select group_concat(MessageText) from OutMessageTexts")).toString(),
              QStringLiteral("kept"));
}

TEST_F(QueryTest, AWorkerThreadWritesOnItsOwnConnection)
{
    TNSqlTable texts;
    texts.SetConnection(&local);
    texts.SetTableName(QStringLiteral("OutMessageTexts"));
    texts.Open();
    const QString path = local.DatabasePath();
    QString error;
    QThread* worker = QThread::create([path, &error] {
        try {
            TNConnection own(ThreadConnectionName());
            own.SetDatabasePath(path);
            TNTransaction tx(own);
            for (int i = 0; i < 50; ++i)
                own.ExecSQL(QStringLiteral("insert into OutMessageTexts (MessageText) values (:T)"),
                            {{QStringLiteral("T"), QString::number(i)}});
            tx.Commit();
        } catch (const EDatabaseError& e) {
            error = e.Message();
        }
    });
    worker->setObjectName(QStringLiteral("sender"));
    worker->start();
    // The main thread reads meanwhile; WAL lets it.
    for (int i = 0; i < 20; ++i)
        texts.Refresh();
    worker->wait();
    delete worker;
    EXPECT_EQ(error, QString());
    texts.Refresh();
    EXPECT_EQ(texts.RecordCount(), 50);
}

}  // namespace
