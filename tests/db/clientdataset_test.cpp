// The in-memory client dataset: built from definitions or from a table, the
// same cursor, lookup, filter, sort and model behaviour as the SQL datasets,
// and a change log with net counts, save points and cancel.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFile>

#include "db/clientdataset.h"
#include "db/clientdatasetfile.h"
#include "db/connection.h"
#include "db/datasetmodel.h"
#include "db/dberror.h"
#include "db/sqldataset.h"
#include "platform/durablefile.h"
#include "support/filesizelimit.h"
#include "support/rawcachefile.h"
#include "support/tempfolder.h"
#include "support/testdatabases.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <stdexcept>

namespace {

QStringList Column(TNDataSet& ds, const char* field)
{
    QStringList values;
    TNDataSetPosition keep(ds);
    for (ds.First(); !ds.Eof(); ds.Next())
        values << ds.FieldByName(QString::fromLatin1(field))->AsString();
    return values;
}

void AddRow(TNDataSet& ds, int id, const char* name)
{
    ds.Append();
    if (id != 0)
        ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(id);
    ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(name));
    ds.Post();
}

void SetName(TNDataSet& ds, const char* name)
{
    ds.Edit();
    ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(name));
    ds.Post();
}

TEST(ClientDataSetTest, BehavesAsADataSetBuiltFromDefinitions)
{
    TNClientDataSet kinds;
    kinds.AddFieldDef(QStringLiteral("TypeNo"), TFieldKind::fkInteger);
    kinds.AddFieldDef(QStringLiteral("Title"), TFieldKind::fkString, 20);
    kinds.CreateDataSet();
    for (const auto& [no, title] : {std::pair{1, "Pager"}, std::pair{2, "Mail"}}) {
        kinds.Append();
        kinds.FieldByName(QStringLiteral("TypeNo"))->SetAsInteger(no);
        kinds.FieldByName(QStringLiteral("Title"))->SetAsString(QString::fromLatin1(title));
        kinds.Post();
    }

    TNClientDataSet members;
    EXPECT_EQ(members.Kind(), TDataSetKind::dkClient);
    EXPECT_THROW(members.Open(), EDatabaseError);  // nothing defines its fields
    members.SetFieldDefs({{QStringLiteral("ID"), TFieldKind::fkInteger},
                          {QStringLiteral("Name"), TFieldKind::fkString, 5},
                          {QStringLiteral("TypeNo"), TFieldKind::fkInteger}});
    members.AddLookupField(QStringLiteral("Kind"), QStringLiteral("TypeNo"), &kinds, QStringLiteral("TypeNo"),
                           QStringLiteral("Title"));
    members.SetIndexFieldNames(QStringLiteral("Name"));
    members.CreateDataSet();
    TNDataSetModel model(&members);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    AddRow(members, 3, "bob");
    AddRow(members, 1, "Anna");
    AddRow(members, 2, "anders");
    members.Edit();
    members.FieldByName(QStringLiteral("TypeNo"))->SetAsInteger(2);
    members.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Andersen"));  // cut to 5
    members.Post();
    EXPECT_EQ(Column(members, "Name"), (QStringList{"Ander", "Anna", "bob"}));
    EXPECT_EQ(members.FieldByName(QStringLiteral("Kind"))->AsString(), QStringLiteral("Mail"));
    EXPECT_EQ(model.rowCount(), 3);

    members.SetSortCaseSensitive(true);
    EXPECT_EQ(Column(members, "Name"), (QStringList{"Ander", "Anna", "bob"}));
    AddRow(members, 4, "Carl");
    EXPECT_EQ(Column(members, "Name"), (QStringList{"Ander", "Anna", "Carl", "bob"}));
    EXPECT_TRUE(members.Locate(QStringLiteral("Name"), QStringLiteral("an"), loCaseInsensitive | loPartialKey));
    EXPECT_EQ(members.FieldByName(QStringLiteral("ID"))->AsInteger(), 2);
    EXPECT_EQ(members.Lookup(QStringLiteral("ID"), 3, QStringLiteral("Name")), QVariant(QStringLiteral("bob")));

    members.SetFilter(QStringLiteral("TypeNo = 2"));
    members.SetFiltered(true);
    EXPECT_EQ(Column(members, "Name"), (QStringList{"Ander"}));
    EXPECT_EQ(model.rowCount(), 1);
    AddRow(members, 5, "Hid");  // hidden by the filter, still readable
    EXPECT_EQ(members.FieldByName(QStringLiteral("ID"))->AsInteger(), 5);
    EXPECT_EQ(members.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Hid"));
    members.SetFiltered(false);

    // Closing keeps the rows; the log counts every row added.
    members.Close();
    members.Open();
    EXPECT_EQ(members.RecordCount(), 5);
    EXPECT_EQ(members.ChangeCount(), 5);
    members.EmptyDataSet();
    EXPECT_TRUE(members.IsEmpty());
    EXPECT_EQ(members.ChangeCount(), 0);
}

class ClientChangeLogTest : public ::testing::Test {
protected:
    TestDatabases files;
    TNConnection book;
    TNSqlTable contacts;
    TNClientDataSet copy;
    void SetUp() override
    {
        book.SetDatabasePath(files.AddressBookPath());
        book.ExecSQL(QStringLiteral("insert into Contacts (ID, Name) values (1, 'Anna'), (2, 'Bert'), (3, 'Carl')"));
        contacts.SetConnection(&book);
        contacts.SetTableName(QStringLiteral("Contacts"));
        contacts.SetIndexFieldNames(QStringLiteral("Name"));
        contacts.Open();
        contacts.Last();
        copy.LoadFromDataSet(contacts);
        copy.SetIndexFieldNames(QStringLiteral("Name"));
    }
};

TEST_F(ClientChangeLogTest, LoadsAnotherDataSetsRowsAndLogsNetChanges)
{
    EXPECT_EQ(contacts.RecNo(), 3);  // the source's cursor did not move
    EXPECT_EQ(Column(copy, "Name"), (QStringList{"Anna", "Bert", "Carl"}));
    EXPECT_EQ(copy.ChangeCount(), 0);

    copy.First();
    SetName(copy, "Ann");
    SetName(copy, "Annie");  // the same row twice: one change
    copy.Next();
    copy.Delete();  // Bert
    AddRow(copy, 0, "Dora");
    AddRow(copy, 0, "Emil");
    copy.Delete();  // Emil again: no change at all
    EXPECT_EQ(copy.ChangeCount(), 3);

    const std::vector<TNRowChange> delta = copy.Delta();
    ASSERT_EQ(delta.size(), 3u);
    const int name = copy.FieldByName(QStringLiteral("Name"))->Index();
    EXPECT_EQ(delta[0].Kind, TUpdateKind::ukModify);
    EXPECT_EQ(delta[0].OldValues[size_t(name)].toString(), QStringLiteral("Anna"));
    EXPECT_EQ(delta[0].NewValues[size_t(name)].toString(), QStringLiteral("Annie"));
    EXPECT_EQ(delta[1].Kind, TUpdateKind::ukDelete);
    EXPECT_EQ(delta[1].OldValues[size_t(name)].toString(), QStringLiteral("Bert"));
    EXPECT_TRUE(delta[1].NewValues.empty());
    EXPECT_EQ(delta[2].Kind, TUpdateKind::ukInsert);
    EXPECT_EQ(delta[2].NewValues[size_t(name)].toString(), QStringLiteral("Dora"));
    EXPECT_EQ(book.QueryValue(QStringLiteral("select count(*) from Contacts where Name = 'Anna'")).toInt(), 1);

    copy.MergeChangeLog();
    EXPECT_EQ(copy.ChangeCount(), 0);
    EXPECT_EQ(Column(copy, "Name"), (QStringList{"Annie", "Carl", "Dora"}));
}

TEST_F(ClientChangeLogTest, SavePointsUndoLaterChangesAndCancelUndoesAll)
{
    copy.Locate(QStringLiteral("Name"), QStringLiteral("Carl"));
    const TBookmark carl = copy.GetBookmark();
    SetName(copy, "Carla");
    const qint64 point = copy.SavePoint();
    AddRow(copy, 0, "Dora");
    copy.First();
    SetName(copy, "Zoe");
    copy.Locate(QStringLiteral("Name"), QStringLiteral("Bert"));
    copy.Delete();
    copy.Edit();
    copy.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("pending"));
    EXPECT_EQ(copy.ChangeCount(), 4);

    copy.SetSavePoint(point);  // the pending edit goes too
    EXPECT_EQ(copy.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Column(copy, "Name"), (QStringList{"Anna", "Bert", "Carla"}));
    EXPECT_EQ(copy.ChangeCount(), 1);
    EXPECT_TRUE(copy.GotoBookmark(carl));  // rows keep their bookmarks
    EXPECT_THROW(copy.SetSavePoint(TNClientDataSet::SavePoint() + 1), EDatabaseError);

    copy.CancelUpdates();
    EXPECT_EQ(Column(copy, "Name"), (QStringList{"Anna", "Bert", "Carl"}));
    EXPECT_EQ(copy.ChangeCount(), 0);
    EXPECT_EQ(copy.LogCount(), 0);
}

TEST_F(ClientChangeLogTest, DefinitionsOfAnotherDataSetCanBeAdjusted)
{
    EXPECT_TRUE(copy.FieldByName(QStringLiteral("ID"))->ReadOnly());  // as the table's auto-number
    std::vector<TNFieldDef> defs = TNClientDataSet::FieldDefsOf(contacts);
    ASSERT_EQ(defs.size(), copy.FieldDefs().size());
    for (TNFieldDef& def : defs)
        def.ReadOnly = false;
    copy.SetFieldDefs(defs);
    copy.CreateDataSet();
    EXPECT_TRUE(copy.IsEmpty());
    AddRow(copy, 7, "Gus");
    EXPECT_EQ(copy.FieldByName(QStringLiteral("ID"))->AsInteger(), 7);
}

// --- cache files

QByteArray FileBytes(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void DefineContacts(TNClientDataSet& ds)
{
    ds.SetFieldDefs({{QStringLiteral("ID"), TFieldKind::fkInteger},
                     {QStringLiteral("Name"), TFieldKind::fkString, 50},
                     {QStringLiteral("Pager"), TFieldKind::fkBoolean},
                     {QStringLiteral("Since"), TFieldKind::fkDateTime},
                     {QStringLiteral("Rate"), TFieldKind::fkFloat}});
    ds.CreateDataSet();
}

TEST(ClientDataSetFileTest, KeepsRowsAndLogAndReadsOnlyTheFieldsOfItsDataSet)
{
    TempFolder folder;
    const QString file = folder.File(QStringLiteral("cdsContacts.cds"));
    TNClientDataSet saved;
    DefineContacts(saved);
    const QDateTime since(QDate(2024, 5, 6), QTime(7, 8, 9));
    for (int id : {1, 2, 3}) {
        saved.Append();
        saved.FieldByName(QStringLiteral("ID"))->SetValue(id);
        saved.FieldByName(QStringLiteral("Name"))->SetValue(QStringLiteral("N%1").arg(id));
        saved.FieldByName(QStringLiteral("Pager"))->SetValue(id == 2);
        saved.FieldByName(QStringLiteral("Since"))->SetValue(since);
        saved.FieldByName(QStringLiteral("Rate"))->SetValue(id / 4.0);
        saved.Post();
    }
    saved.MergeChangeLog();
    SetName(saved, "changed");  // the last row; its Rate stays set
    saved.First();
    saved.Delete();
    SaveClientDataSetToFile(saved, file);

    TNClientDataSet loaded;  // no definitions yet: it takes the file's
    LoadClientDataSetFromFile(loaded, file);
    EXPECT_EQ(Column(loaded, "Name"), (QStringList{"N2", "changed"}));
    EXPECT_EQ(loaded.ChangeCount(), 2);
    loaded.First();
    EXPECT_TRUE(loaded.FieldByName(QStringLiteral("Pager"))->AsBoolean());
    EXPECT_EQ(loaded.FieldByName(QStringLiteral("Since"))->Value().toDateTime(), since);
    EXPECT_DOUBLE_EQ(loaded.FieldByName(QStringLiteral("Rate"))->Value().toDouble(), 0.5);
    loaded.CancelUpdates();
    EXPECT_EQ(Column(loaded, "Name"), (QStringList{"N1", "N2", "N3"}));

    // A well-formed file of other fields is not this dataset's cache.
    TNClientDataSet narrow;
    narrow.SetFieldDefs(
        {{QStringLiteral("ID"), TFieldKind::fkInteger}, {QStringLiteral("Name"), TFieldKind::fkString}});
    narrow.CreateDataSet();
    const QString narrowFile = folder.File(QStringLiteral("narrow.cds"));
    SaveClientDataSetToFile(narrow, narrowFile);
    TNClientDataSet contacts;
    DefineContacts(contacts);
    try {
        LoadClientDataSetFromFile(contacts, narrowFile);
        ADD_FAILURE() << "a cache of other fields was taken";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("narrow.cds"))) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("ID, Name, not ID, Name, Pager"))) << e.what();
    }
    EXPECT_EQ(contacts.FieldDefs().size(), 5u);

    // A value no field holds (here a list nested deeper than any stack) is
    // refused before it is read.
    QByteArray nested;
    {
        QDataStream out(&nested, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out.writeRawData("TVXCDS\r\n", 8);
        out << quint32(1) << quint32(2);
        for (const char* name : {"ID", "Name"})
            out << QString::fromLatin1(name) << qint32(TFieldKind::fkInteger) << qint32(0) << false;
        out << qint64(2) << quint32(1) << qint64(1) << quint32(2) << QVariant(1);
        for (int depth = 0; depth < 200000; ++depth)
            out << quint32(QMetaType::QVariantList) << qint8(0) << quint32(1);
        out << quint32(0) << qint8(1) << quint32(0);
        out.writeRawData("END!", 4);
    }
    const QString nestedFile = folder.File(QStringLiteral("nested.cds"));
    QFile write(nestedFile);
    ASSERT_TRUE(write.open(QIODevice::WriteOnly) && write.write(nested) == nested.size());
    write.close();
    TNClientDataSet any;
    EXPECT_THROW(LoadClientDataSetFromFile(any, nestedFile), EDatabaseError);
    EXPECT_EQ(FileBytes(nestedFile), nested);
}

TEST(ClientDataSetFileTest, AFileWithAValueOfTheWrongKindRowsUnderOneKeyOrAChangeInFlightWithoutValuesIsRefused)
{
    TempFolder folder;
    const QString file = folder.File(QStringLiteral("cdsContacts.cds"));
    TNClientDataSet defined;
    DefineContacts(defined);
    using Row = std::vector<QVariant>;
    const auto contact = [](const QVariant& id, const QVariant& name, const QVariant& pager) {
        return Row{id, name, pager, QVariant(), 0.5};
    };
    const Row ann = contact(1, QStringLiteral("Ann"), false);
    const Row bob = contact(2, QStringLiteral("Bob"), true);
    const auto packet = [&](std::vector<std::pair<qint64, Row>> rows) {
        TNClientPacket p;
        p.Defs = defined.FieldDefs();
        p.Rows = std::move(rows);
        p.NextKey = 3;
        return p;
    };
    const auto inFlight = [&](TUpdateKind kind, Row before, Row after) {
        TNClientPacket p = packet({{1, ann}, {2, bob}});
        p.ApplyId = QStringLiteral("apply-1");
        p.Applying.push_back({kind, 2, std::move(before), std::move(after)});
        return p;
    };
    TNClientPacket deletedAbc = packet({{1, ann}});
    deletedAbc.Log.push_back({TUpdateKind::ukDelete, 2, contact(QStringLiteral("abc"), QStringLiteral("Bob"), true)});
    TNClientPacket noApplyId = inFlight(TUpdateKind::ukModify, bob, bob);
    noApplyId.ApplyId.clear();
    const struct {
        const char* What;
        TNClientPacket Packet;
        QString Fault;  // empty: the file is whole
        QStringList Required;
    } cases[] = {
        {"whole", packet({{1, ann}, {2, contact(QVariant(), QVariant(), QVariant())}}), {}, {}},
        {"a change in flight, whole", inFlight(TUpdateKind::ukModify, bob, ann), {}, {}},
        {"a text ID",
         packet({{1, contact(QStringLiteral("abc"), QStringLiteral("Ann"), false)}}),
         QStringLiteral("in row 1, ID holds \"abc\", which is not a whole number within 32 bits"),
         {}},
        {"an ID beyond 32 bits",
         packet({{1, contact(qint64(1) << 40, QStringLiteral("Ann"), false)}}),
         QStringLiteral("in row 1, ID holds 1099511627776"),
         {}},
        {"a text in a Boolean",
         packet({{1, ann}, {2, contact(2, QStringLiteral("Bob"), QStringLiteral("yes"))}}),
         QStringLiteral("in row 2, Pager holds \"yes\", which is not true or false"),
         {}},
        {"a number in a text",
         packet({{1, contact(1, 5, false)}}),
         QStringLiteral("in row 1, Name holds 5, which is not a text"),
         {}},
        {"no ID where one is needed",
         packet({{1, ann}, {2, contact(QVariant(), QStringLiteral("Bob"), true)}}),
         QStringLiteral("in row 2, ID holds no value"),
         {QStringLiteral("ID")}},
        {"a text in a logged row", deletedAbc, QStringLiteral("in change 1, ID holds \"abc\""), {}},
        {"two rows under one key",
         packet({{1, ann}, {1, bob}}),
         QStringLiteral("rows 1 and 2 are stored under one key"),
         {}},
        {"two rows under one key, apart",
         packet({{2, ann}, {1, bob}, {2, bob}}),
         QStringLiteral("two rows are stored under the key 2"),
         {}},
        {"a change in flight without its values",
         inFlight(TUpdateKind::ukModify, bob, {}),
         QStringLiteral("change in flight 1 (a change) lacks the values it was sent with"),
         {}},
        {"a new row in flight without values",
         inFlight(TUpdateKind::ukInsert, {}, {}),
         QStringLiteral("change in flight 1 (a new row) lacks the values it was sent with"),
         {}},
        {"a delete in flight with the values of a change",
         inFlight(TUpdateKind::ukDelete, bob, bob),
         QStringLiteral("change in flight 1 (a delete) lacks the values it was sent with"),
         {}},
        {"a text in a change in flight",
         inFlight(TUpdateKind::ukModify, bob, contact(2, 7, true)),
         QStringLiteral("in change in flight 1, Name holds 7"),
         {}},
        {"changes in flight without an apply ID", noApplyId, QStringLiteral("changes in flight have no apply ID"), {}},
        {"two rows with one ID",
         packet({{1, ann}, {2, bob}, {3, contact(2, QStringLiteral("Bobby"), true)}}),
         QStringLiteral("rows 2 and 3 hold the same ID 2"),
         {}},
        {"two rows without an ID, whole",
         packet({{1, contact(QVariant(), QStringLiteral("Ann"), false)}, {2, contact(QVariant(), QVariant(), true)}}),
         {},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const QByteArray bytes = RawCacheFile(c.Packet);
        QFile raw(file);
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly | QIODevice::Truncate) && raw.write(bytes) == bytes.size());
        raw.close();
        TNClientDataSet loaded;
        DefineContacts(loaded);
        AddRow(loaded, 9, "Kept");
        const QString unique = QStringLiteral("ID");
        if (c.Fault.isEmpty()) {
            LoadClientDataSetFromFile(loaded, file, c.Required, unique);
            EXPECT_EQ(loaded.RecordCount(), int(c.Packet.Rows.size()));
            continue;
        }
        try {
            LoadClientDataSetFromFile(loaded, file, c.Required, unique);
            ADD_FAILURE() << "taken";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(
                e.Message().startsWith(QStringLiteral("The cache file \"%1\" cannot be read: %2").arg(file, c.Fault)))
                << e.what();
        }
        EXPECT_EQ(Column(loaded, "Name"), QStringList{QStringLiteral("Kept")}) << "the dataset is left as it was";
        EXPECT_EQ(FileBytes(file), bytes);
    }
}

TEST(ClientDataSetFileTest, AFileThatCannotBeWrittenWhollyKeepsItsOldContent)
{
    TempFolder folder;
    const QString file = folder.File(QStringLiteral("cdsContacts.cds"));
    TNClientDataSet ds;
    DefineContacts(ds);
    AddRow(ds, 1, "Anna");
    SaveClientDataSetToFile(ds, file);
    const QByteArray old = FileBytes(file);
    for (int id = 2; id < 40; ++id)
        AddRow(ds, id, "A name long enough to fill the disk soon");

    {
        // As a disk with little room left; the new file is small enough to
        // meet the end of the room only when its last bytes are written.
        const FileSizeLimit full(old.size() + 512);
        EXPECT_THROW(SaveClientDataSetToFile(ds, file), EDatabaseError);
    }
    EXPECT_EQ(FileBytes(file), old);
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("cdsContacts.cds")})
        << "the new file is removed";

    // A folder that cannot take a new file (here: it is a file).
    try {
        SaveClientDataSetToFile(ds, file + QStringLiteral("/cdsGroups.cds"));
        ADD_FAILURE() << "written into a file";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(
            e.Message().startsWith(QStringLiteral("The cache file \"%1/cdsGroups.cds\" cannot be written: ").arg(file)))
            << e.what();
    }
    EXPECT_EQ(FileBytes(file), old);
}

TEST(ClientDataSetFileTest, ContentWrittenPieceByPieceReplacesTheFileOnlyWhenWhole)
{
    TempFolder folder;
    const QString file = folder.File(QStringLiteral("cdsContacts.cds"));
    QString error;
    ASSERT_TRUE(ReplaceFileDurably(file, QByteArray("old"), &error)) << error.toStdString();
    // Pieces both smaller and larger than what is gathered before a write.
    const QByteArray piece(300000, 'x');
    qint64 total = 0;
    const auto content = [&](QIODevice& out) {
        total = 0;
        for (int i = 0; i < 12; ++i) {
            const qint64 size = i % 3 == 0 ? piece.size() : 1000;
            if (out.write(piece.constData(), size) != size)
                return false;
            total += size;
        }
        return true;
    };
    {
        // The room ends while pieces are still coming: every write after
        // that fails as well.
        const FileSizeLimit full(700 * 1024);
        EXPECT_FALSE(ReplaceFileDurably(file, content, &error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("cannot write: "))) << error.toStdString();
    }
    EXPECT_EQ(FileBytes(file), QByteArray("old"));
    const auto givenUp = [](QIODevice& out) { return out.write("half") == 4 && false; };
    EXPECT_FALSE(ReplaceFileDurably(file, givenUp, &error));
    EXPECT_EQ(FileBytes(file), QByteArray("old"));
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("cdsContacts.cds")})
        << "the new files are removed";

    ASSERT_TRUE(ReplaceFileDurably(file, content, &error)) << error.toStdString();
    EXPECT_EQ(FileBytes(file), piece.left(300000).repeated(4) + QByteArray(8000, 'x'));
    EXPECT_EQ(total, 4 * 300000 + 8 * 1000);

    // Content that throws: the exception goes on, the new file and its
    // handle do not stay behind.
    const auto openFiles = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size(); };
    const qsizetype open = openFiles();
    const auto throws = [](QIODevice& out) -> bool {
        out.write("half");
        throw std::runtime_error("no more");
    };
    EXPECT_THROW(ReplaceFileDurably(file, throws, &error), std::runtime_error);
    EXPECT_EQ(openFiles(), open);
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("cdsContacts.cds")});
}

TEST(ClientDataSetFileTest, OnlyPartialFilesASaveOfThisProgramCutShortAreRemoved)
{
    TempFolder folder;
    const QString file = folder.File(QStringLiteral("cdsContacts.cds"));
    // A save's new file carries the program's mark.
    QStringList whileWriting;
    QString error;
    ASSERT_TRUE(ReplaceFileDurably(
        file,
        [&](QIODevice& out) {
            whileWriting = QDir(folder.Path()).entryList(QDir::Files);
            return out.write("new") == 3;
        },
        &error))
        << error.toStdString();
    ASSERT_EQ(whileWriting.size(), 1);
    EXPECT_TRUE(whileWriting[0].startsWith(QStringLiteral("cdsContacts.cds.tovix2-partial-")))
        << whileWriting[0].toStdString();
    EXPECT_EQ(whileWriting[0].size(), QStringLiteral("cdsContacts.cds.tovix2-partial-").size() + 6);

    const auto make = [&](const char* name) {
        QFile f(folder.File(QString::fromLatin1(name)));
        return f.open(QIODevice::WriteOnly) && f.write("part") == 4;
    };
    for (const char* name : {"cdsContacts.cds.tovix2-partial-a1B2c3", "cdsContacts.cds.tovix2-partial-Zz9yX8",
                             "cdsContacts.cds.tovix2-partial-w0rkin", "cdsContacts.cds.tovix2-partial-toolong",
                             "cdsGroups.cds.tovix2-partial-a1B2c3", "cdsContacts.cds.backup", "cdsContacts.cds.x1Y2z3",
                             "cdsContacts.cds.old"})
        ASSERT_TRUE(make(name));
    // A save under way in another program holds its new file's lock.
    const int writing =
        ::open(QFile::encodeName(folder.File(QStringLiteral("cdsContacts.cds.tovix2-partial-w0rkin"))).constData(),
               O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writing, 0);
    ASSERT_EQ(::flock(writing, LOCK_EX), 0);
    QStringList removed = RemovePartialFiles(file);
    removed.sort();
    ::close(writing);
    EXPECT_EQ(removed, (QStringList{QStringLiteral("cdsContacts.cds.tovix2-partial-Zz9yX8"),
                                    QStringLiteral("cdsContacts.cds.tovix2-partial-a1B2c3")}));
    // The older naming is an operator's too: named, never removed.
    QStringList older = OlderPartialFiles(file);
    older.sort();
    EXPECT_EQ(older, (QStringList{QStringLiteral("cdsContacts.cds.backup"), QStringLiteral("cdsContacts.cds.x1Y2z3")}));
    EXPECT_EQ(
        QDir(folder.Path()).entryList(QDir::Files),
        (QStringList{QStringLiteral("cdsContacts.cds"), QStringLiteral("cdsContacts.cds.backup"),
                     QStringLiteral("cdsContacts.cds.old"), QStringLiteral("cdsContacts.cds.tovix2-partial-toolong"),
                     QStringLiteral("cdsContacts.cds.tovix2-partial-w0rkin"), QStringLiteral("cdsContacts.cds.x1Y2z3"),
                     QStringLiteral("cdsGroups.cds.tovix2-partial-a1B2c3")}));
}

TEST(ClientDataSetFileTest, AWriteBeyondTheFileSizeLimitFailsInsteadOfEndingTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    const QString file = folder.File(QStringLiteral("cdsContacts.cds"));
    EXPECT_EXIT(
        {
            IgnoreFileSizeSignal();
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            QString error;
            const bool replaced = ReplaceFileDurably(file, QByteArray(100000, 'x'), &error);
            std::_Exit(!replaced && error == QStringLiteral("cannot write: File too large") ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

TEST_F(ClientChangeLogTest, TheApplyInFlightSurvivesTheCacheFileAndOldFilesHaveNone)
{
    copy.First();
    SetName(copy, "Ann");
    copy.SetPendingApply(QStringLiteral("apply-1"), copy.Delta());
    SetName(copy, "Annie");  // edited again while the answer is out
    const QString file = files.Folder() + QStringLiteral("/copy.cds");
    SaveClientDataSetToFile(copy, file);
    TNClientDataSet loaded;
    LoadClientDataSetFromFile(loaded, file);
    EXPECT_EQ(loaded.PendingApplyId(), QStringLiteral("apply-1"));
    ASSERT_EQ(loaded.PendingApply().size(), 1u);
    const size_t name = size_t(copy.FieldByName(QStringLiteral("Name"))->Index());
    EXPECT_EQ(loaded.PendingApply()[0].NewValues[name].toString(), QStringLiteral("Ann")) << "as it was sent";
    EXPECT_EQ(loaded.Delta()[0].NewValues[name].toString(), QStringLiteral("Annie"));

    // The answer taken in: what was sent is what the server holds now.
    std::vector<QVariant> stored = loaded.PendingApply()[0].NewValues;
    loaded.RebaseRow(loaded.PendingApply()[0].RowKey, &stored);
    loaded.ClearPendingApply();
    ASSERT_EQ(loaded.Delta().size(), 1u);
    EXPECT_EQ(loaded.Delta()[0].OldValues[name].toString(), QStringLiteral("Ann"));
    // The row as it stands, its numbers 64-bit and its nulls typed: no change.
    std::vector<QVariant> same = loaded.Delta()[0].NewValues;
    for (QVariant& value : same)
        value = value.isNull()                     ? QVariant(QMetaType::fromType<QString>())
                : value.typeId() == QMetaType::Int ? QVariant(value.toLongLong())
                                                   : value;
    loaded.RebaseRow(loaded.Delta()[0].RowKey, &same);
    EXPECT_EQ(loaded.ChangeCount(), 0);

    // The name of the load the rows came from and the lowest temporary ID
    // go with the file; replacing the rows forgets the name, not the ID.
    copy.ClearPendingApply();
    copy.SetSourceId(QStringLiteral("fetch-7"));
    copy.SetTempIdFloor(-42);
    SaveClientDataSetToFile(copy, file);
    LoadClientDataSetFromFile(loaded, file);
    EXPECT_EQ(loaded.SourceId(), QStringLiteral("fetch-7"));
    EXPECT_EQ(loaded.TempIdFloor(), -42);
    loaded.LoadData({});
    EXPECT_EQ(loaded.SourceId(), QString());
    EXPECT_EQ(loaded.TempIdFloor(), -42);

    // Files of format 2 end before that name (they have none), files of
    // format 1 after the log (no apply in flight either).
    const QByteArray whole = FileBytes(file);
    const qsizetype sourceAndFloor = 4 + 2 * 7 + 8;  // "fetch-7" and a 64-bit number
    const struct {
        char Version;
        qsizetype Cut;  // bytes before "END!" that the format does not have
    } formats[] = {{2, sourceAndFloor}, {1, 4 + 4 + sourceAndFloor}};  // 1: no apply ID, no count
    for (const auto& format : formats) {
        QByteArray bytes = whole;
        bytes.remove(bytes.size() - 4 - format.Cut, format.Cut);
        bytes[11] = format.Version;
        QFile raw(file);
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly | QIODevice::Truncate));
        raw.write(bytes);
        raw.close();
        TNClientDataSet old;
        LoadClientDataSetFromFile(old, file);
        EXPECT_FALSE(old.HasPendingApply());
        EXPECT_EQ(old.ChangeCount(), 1);
        EXPECT_EQ(old.SourceId(), QString());
        EXPECT_EQ(old.TempIdFloor(), 0);
    }
}
