// Start-up of the local data module: missing files, compaction, the
// built-in address book's folder, the clients it makes, and the maintenance
// module that follows it.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/dataerror.h"
#include "db/databasefiles.h"
#include "db/sqldataset.h"
#include "platform/commatext.h"

#include <QDir>

namespace {
const QString MissingLocalDataText =
    QStringLiteral("Error: \"LocalData2.mdb\" database file not found in the application's folder.\r\rExiting ...");
const QString MissingBookText = QStringLiteral(
    "Error: Local Recipients (\"Tovix2Database.mdb\") database file not found in the application's "
    "folder.\r\rExiting ...");

qint32 AddDatabaseRow(const QString& localData, int typeNo, const QString& name, int orderNo, const QString& data)
{
    return TBookBuilder(localData).DatabaseRow(typeNo, name, orderNo, data);
}
}  // namespace

using StartupTest = LocalDataFixture;

TEST_F(StartupTest, MissingLocalDatabaseWarnsEndsTheProgramAndCreatesNothing)
{
    QFile::remove(Dbs.LocalDataPath());
    StartLocalData();
    Maintenance = std::make_unique<TDModMaintenance>();
    EXPECT_EQ(Answerer.Texts(), QStringList{MissingLocalDataText});
    EXPECT_TRUE(TerminateRequested());
    EXPECT_TRUE(LocalData->LocalFilesMissing());
    EXPECT_FALSE(Maintenance->Usable());
    EXPECT_EQ(DataClients.Count(), 0);
    EXPECT_FALSE(QFile::exists(Dbs.LocalDataPath()));
    EXPECT_FALSE(QFile::exists(Dbs.LocalDataPath() + QStringLiteral("-wal")));
    // Panes still save their state while the program ends: nothing is
    // opened, nothing raised, nothing created.
    Maintenance->ClearOutMessages();
    LocalData->ClearOpenFolders();
    LocalData->SaveOpenFolders(QStringLiteral("{G}"), {1});
    QList<qint32> ids{5};
    LocalData->LoadOpenFolders(QStringLiteral("{G}"), ids);
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_FALSE(QFile::exists(Dbs.LocalDataPath()));
}

TEST_F(StartupTest, MissingAddressBookWarnsEndsTheProgramAndOpensNoBook)
{
    QFile::remove(Dbs.AddressBookPath());
    StartLocalData();
    Maintenance = std::make_unique<TDModMaintenance>();
    EXPECT_EQ(Answerer.Texts(), QStringList{MissingBookText});
    EXPECT_TRUE(TerminateRequested());
    EXPECT_EQ(DataClients.Count(), 0);
    EXPECT_FALSE(QFile::exists(Dbs.AddressBookPath()));
    EXPECT_FALSE(Maintenance->Usable());
}

TEST_F(StartupTest, CompactionKeepsEveryRowAndLeavesNoTempFile)
{
    {
        TBookBuilder book(Dbs.AddressBookPath());
        const qint32 server = book.Server(QStringLiteral("S"), 1, QStringLiteral("127.0.0.1,2000,host"));
        const qint32 carrier = book.Carrier(QStringLiteral("C"), 4, server);
        for (int i = 0; i < 200; ++i)
            book.Contact(QStringLiteral("Contact %1").arg(i), carrier);
        book.Exec(QStringLiteral("delete from Contacts where ID % 2 = 0"));
        TBookBuilder local(Dbs.LocalDataPath());
        for (int i = 0; i < 30; ++i)
            local.Exec(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values ('{G}', :ID)"),
                       {{QStringLiteral("ID"), i}});
    }
    StartLocalData();
    EXPECT_TRUE(Answerer.Texts().isEmpty());
    EXPECT_FALSE(TerminateRequested());
    EXPECT_FALSE(QFile::exists(Dbs.Folder() + QStringLiteral("TempLocalData2.mdb")));
    EXPECT_FALSE(QFile::exists(Dbs.Folder() + QStringLiteral("TempTovix2Database.mdb")));
    LocalData.reset();
    TBookBuilder book(Dbs.AddressBookPath());
    EXPECT_EQ(book.Count(QStringLiteral("Contacts")), 100);
    EXPECT_EQ(book.Count(QStringLiteral("CarrierTypes")), 9);
    TBookBuilder local(Dbs.LocalDataPath());
    EXPECT_EQ(local.Count(QStringLiteral("FoldersOpen")), 30);
    EXPECT_EQ(local.Count(QStringLiteral("DatabaseTypes")), 2);
}

TEST_F(StartupTest, FailedCompactionKeepsTheOriginalAndGoesOn)
{
    // A folder in the way of each compacted copy makes both compactions fail.
    ASSERT_TRUE(QDir(Dbs.Folder()).mkdir(QStringLiteral("TempLocalData2.mdb")));
    ASSERT_TRUE(QDir(Dbs.Folder()).mkdir(QStringLiteral("TempTovix2Database.mdb")));
    const QByteArray before = [&] {
        QFile file(Dbs.AddressBookPath());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    StartLocalData();
    // The local database's failure is shown in a plain box; the address
    // book's is silent.
    ASSERT_EQ(Answerer.Requests().size(), 1);
    EXPECT_EQ(Answerer.Requests().at(0).Type, TMsgDlgType::mtCustom);
    EXPECT_FALSE(TerminateRequested());
    ASSERT_EQ(DataClients.Count(), 1);
    EXPECT_TRUE(DataClients.Items(0)->IsLocalDatabase());
    EXPECT_FALSE(LocalData->LocalFilesMissing());
    LocalData.reset();
    QFile file(Dbs.AddressBookPath());
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(StartupTest, LocalDatabaseRowPointsAtTheProgramFolderQuotedWhenItHasABlank)
{
    StartLocalData();
    {
        TBookBuilder local(Dbs.LocalDataPath());
        const QString data =
            local.Value(QStringLiteral("select Data from Databases where Name = 'Local Database'")).toString();
        EXPECT_EQ(CommaTextToList(data), QStringList{Dbs.Folder()});
    }
    LocalData.reset();

    const QString blank = Dbs.Folder() + QStringLiteral("with blank's/");
    ASSERT_TRUE(QDir().mkpath(blank));
    ASSERT_TRUE(QFile::copy(Dbs.LocalDataPath(), blank + QStringLiteral("LocalData2.mdb")));
    ASSERT_TRUE(QFile::copy(Dbs.AddressBookPath(), blank + QStringLiteral("Tovix2Database.mdb")));
    SetProgramFolder(blank);
    StartLocalData();
    ASSERT_EQ(DataClients.Count(), 1);  // the quoted folder is read back
    LocalData.reset();
    TBookBuilder local(blank + QStringLiteral("LocalData2.mdb"));
    EXPECT_EQ(local.Value(QStringLiteral("select Data from Databases where Name = 'Local Database'")).toString(),
              u'"' + blank + u'"');
}

TEST_F(StartupTest, ClientsFollowOrderNoAndAnUnusableBookIsDropped)
{
    const QString second = Dbs.AddAddressBook(QStringLiteral("second"));
    AddDatabaseRow(Dbs.LocalDataPath(), 1, QStringLiteral("Third"), 5, CommaTextFromList({second.chopped(1) + u'\\'}));
    AddDatabaseRow(Dbs.LocalDataPath(), 1, QStringLiteral("Missing"), 2,
                   CommaTextFromList({Dbs.Folder() + QStringLiteral("nowhere/")}));
    AddDatabaseRow(Dbs.LocalDataPath(), 1, QStringLiteral("Second"), 3, CommaTextFromList({second.chopped(1)}));
    StartLocalData();
    EXPECT_EQ(Answerer.Texts(),
              QStringList{QStringLiteral("Can't work with the database: \"Missing\". Please check its settings.")});
    TDataClientEntries entries;
    ASSERT_EQ(DataClients.FillStrings(entries), 3);
    EXPECT_EQ(entries.at(0).first, QStringLiteral("Local Database"));
    EXPECT_EQ(entries.at(1).first, QStringLiteral("Second"));
    EXPECT_EQ(entries.at(2).first, QStringLiteral("Third"));  // a trailing "\" opens the same file

    // Rebuilding the list: every client goes, the same ones come back.
    LocalData->DestroyDataClients();
    EXPECT_EQ(DataClients.Count(), 0);
    LocalData->CreateDataClients();
    EXPECT_EQ(DataClients.Count(), 3);
    LocalData.reset();
    EXPECT_EQ(DataClients.Count(), 0);
}

TEST_F(StartupTest, UnregisteredTypeNoStopsTheStartUp)
{
    AddDatabaseRow(Dbs.LocalDataPath(), 9, QStringLiteral("Strange"), 2, QString());
    try {
        StartLocalData();
        FAIL() << "no exception";
    } catch (const EDataError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No registered DataClientClass for TypeNo= 9"));
    }
    // The books made before the failing row are released with the module.
    EXPECT_EQ(DataClients.Count(), 0);
}

// The last run (killed mid-batch) left four rows: one never sent, two whose
// frames went out with no answer logged, one accepted and logged whose report
// never came. The start tells so before it empties the out-box; a file made
// before the note of rows on the wire gets its table. A start with nothing
// left says nothing.
TEST_F(StartupTest, MaintenanceEmptiesTheOutBoxAtStartAndTheLogOnCommand)
{
    {
        TBookBuilder local(Dbs.LocalDataPath());
        local.Exec(QStringLiteral("drop table OutMessagesOnWire"));
        const qint32 text = local.Insert(QStringLiteral("insert into OutMessageTexts (MessageText) values ('x')"), {});
        for (const char* sentId : {"null", "null", "null", "7"})
            local.Exec(QStringLiteral("insert into OutMessages (MessageTextID, ServerTypeNo, sentMessagesID) "
                                      "values (:T, 1, %1)")
                           .arg(QLatin1String(sentId)),
                       {{QStringLiteral("T"), text}});
        local.Exec(QStringLiteral("insert into SentMessageTexts (Message) values ('y')"));
        local.Exec(QStringLiteral("insert into SentMessages (Name) values ('z')"));
    }
    StartLocalData();
    TBookBuilder(Dbs.LocalDataPath())
        .Exec(QStringLiteral("insert into OutMessagesOnWire (ID) select ID from OutMessages where ID > 1"));
    Maintenance = std::make_unique<TDModMaintenance>();
    EXPECT_EQ(Maintenance->TakeStartNotice(),
              QStringLiteral("The last run of Tovix 2 left 4 messages in the OutBox; they are removed now and not "
                             "sent.\r\rUp to 2 messages had been sent to the Server with no answer logged: they may have "
                             "reached their pagers although the sent-messages log does not list them.\r\r1 message "
                             "had been accepted by the Server (the sent-messages log lists it) with no delivery "
                             "report."));
    Maintenance.reset();
    Maintenance = std::make_unique<TDModMaintenance>();
    EXPECT_EQ(Maintenance->TakeStartNotice(), QString());
    TBookBuilder local(Dbs.LocalDataPath());
    EXPECT_EQ(local.Count(QStringLiteral("OutMessagesOnWire")), 0);
    EXPECT_EQ(local.Count(QStringLiteral("OutMessages")), 0);
    EXPECT_EQ(local.Count(QStringLiteral("OutMessageTexts")), 0);
    EXPECT_EQ(local.Count(QStringLiteral("SentMessages")), 1);
    Maintenance->ClearSentMessages();
    EXPECT_EQ(local.Count(QStringLiteral("SentMessages")), 0);
    EXPECT_EQ(local.Count(QStringLiteral("SentMessageTexts")), 0);
}

// A file made before the out-box's look-up indexes were added to the schema
// gets them at start, and loses the retired index on the out-box's link to
// the log; its rows stay.
TEST_F(StartupTest, AnOlderFileGetsTheSchemasMissingIndexes)
{
    const auto indexes = [this] {
        TBookBuilder local(Dbs.LocalDataPath());
        return local.Count(QStringLiteral("sqlite_master"), QStringLiteral("type = 'index' and sql is not null"));
    };
    const qint64 all = indexes();
    {
        TBookBuilder local(Dbs.LocalDataPath());
        for (const char* name : {"OutMessageTextsMessageText", "SentMessagesSentMessageTextID"})
            local.Exec(QStringLiteral("drop index ") + QLatin1String(name));
        local.Exec(QStringLiteral("create index OutMessagesSentMessagesID on OutMessages (sentMessagesID)"));
        local.Exec(QStringLiteral("insert into SentMessages (Name) values ('kept')"));
    }
    ASSERT_EQ(indexes(), all - 1);
    StartLocalData();
    EXPECT_EQ(indexes(), all);
    EXPECT_EQ(TBookBuilder(Dbs.LocalDataPath())
                  .Count(QStringLiteral("sqlite_master"), QStringLiteral("name = 'OutMessagesSentMessagesID'")),
              0);
    EXPECT_EQ(TBookBuilder(Dbs.LocalDataPath()).Count(QStringLiteral("SentMessages")), 1);
}

TEST_F(StartupTest, NameChecksBindNamesAndIgnoreLetterCase)
{
    StartLocalData();
    EXPECT_TRUE(LocalData->DatabaseNameExists(QStringLiteral("local database")));
    EXPECT_FALSE(LocalData->DatabaseNameExists(QStringLiteral("O'Brien's book")));
    AddDatabaseRow(Dbs.LocalDataPath(), 1, QStringLiteral("O'Brien's book"), 7, QString());
    EXPECT_TRUE(LocalData->DatabaseNameExists(QStringLiteral("O'Brien's book")));
    EXPECT_TRUE(LocalData->DatabaseTypeNameExists(QStringLiteral("SHARED")));
    EXPECT_FALSE(LocalData->DatabaseTypeNameExists(QStringLiteral("it's")));
    EXPECT_TRUE(LocalData->DatabaseTypeNoExists(2));
    EXPECT_FALSE(LocalData->DatabaseTypeNoExists(3));
    EXPECT_EQ(LocalData->GetMaxOrderNo(), 7);
    TBookBuilder(Dbs.LocalDataPath()).Exec(QStringLiteral("delete from Databases"));
    EXPECT_EQ(LocalData->GetMaxOrderNo(), 0);
}

TEST_F(StartupTest, OpenFoldersAreSavedPerBookAndLoadedInOrder)
{
    StartLocalData();
    LocalData->ClearOpenFolders();
    LocalData->SaveOpenFolders(QStringLiteral("{A}"), {0, 12, 5});
    LocalData->SaveOpenFolders(QStringLiteral("{B}"), {});
    LocalData->SaveOpenFolders(QStringLiteral("{B}"), {7});
    QList<qint32> ids{99};
    LocalData->LoadOpenFolders(QStringLiteral("{A}"), ids);
    EXPECT_EQ(ids, (QList<qint32>{0, 12, 5}));
    LocalData->LoadOpenFolders(QStringLiteral("{C}"), ids);
    EXPECT_TRUE(ids.isEmpty());
    LocalData->ClearOpenFolders();
    LocalData->LoadOpenFolders(QStringLiteral("{B}"), ids);
    EXPECT_TRUE(ids.isEmpty());
}

TEST_F(StartupTest, DatabaseListShowsDataAsGrowingPlainText)
{
    const QString longFolder = QStringLiteral("/x/") + QString(60, u'f') + u'/';
    AddDatabaseRow(Dbs.LocalDataPath(), 1, QStringLiteral("Far away"), 4, longFolder);
    StartLocalData();
    TNSqlQuery* query = LocalData->qryDatabases();
    query->Open();
    ASSERT_EQ(query->RecordCount(), 2);
    TNField* shown = query->FieldByName(QStringLiteral("FCDatabase_Data"));
    EXPECT_EQ(shown->DisplayWidth(), 30);
    query->Last();
    EXPECT_EQ(shown->AsString(), longFolder);
    EXPECT_EQ(shown->DisplayWidth(), longFolder.size());
    EXPECT_EQ(query->FieldByName(QStringLiteral("FLDatabaseTypes_TypeNo"))->AsInteger(), 1);
    query->Close();
}
