// A list window over a shared address book (client datasets served by the
// simulator's remote data door): apply, refresh and cancel-changes show and
// follow the change log, Cancel on the window undoes every change made
// since it opened, Find moves to the typed name, the servers list refuses
// the shared book; a carrier is deleted only when every contact that could
// use it is at hand, and carriers are added and edited without servers.
#include "adminfixture.h"

#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "remotedatasim.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/admin/doorexchangehold.h"
#include "ui/admin/pickonlycombo.h"
#include "ui/dbcontrols/dblookupcombo.h"

#include <QLabel>
#include <QLineEdit>

namespace {
const QString kServer = QStringLiteral("TovixServer.TovixRemoteDataModule");
const QString kGuid = QStringLiteral("{5AAAAAAA-0000-0000-0000-0000000000A1}");

class SharedBookListTest : public AdminFixture {
protected:
    void SetUp() override
    {
        TSimDataOptions options;
        options.listenAddress = QHostAddress(QHostAddress::LocalHost);
        options.port = 0;
        options.tcpDoorPort = 2150;
        options.books.append({kServer, QString(), world.dbs.Folder() + QStringLiteral("server.db")});
        sim = std::make_unique<TRemoteDataSim>(options);
        ASSERT_TRUE(sim->Start());
        {
            TBookBuilder local(world.dbs.LocalDataPath());
            local.Exec(QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) "
                                      "values (2, 'Shared', 2, :D, :G)"),
                       {{QStringLiteral("D"), QStringLiteral("127.0.0.1,%1,%2, ").arg(sim->Port()).arg(kServer)},
                        {QStringLiteral("G"), kGuid}});
        }
        AdminFixture::SetUp();
    }
    void TearDown() override
    {
        AdminFixture::TearDown();
        sim.reset();
    }
    TBaseDataClient* Shared() const { return DataClients.FindByGUID(kGuid); }
    static QVariant Value(TSharedAccessClient* book, qint32 id, const char* field)
    {
        return book->GetDataSet(dkCarriers)->Lookup(QStringLiteral("ID"), id, QString::fromLatin1(field));
    }
    std::unique_ptr<TRemoteDataSim> sim;
};
}  // namespace

TEST_F(SharedBookListTest, ChangeLogActionsFollowTheLogAndCancelUndoesTheWindowsChanges)
{
    ASSERT_NE(Shared(), nullptr);
    // A list over the shared book's groups through its data source.
    auto form = TBaseMultiDBGridListForm::ForDataSource<TFormGroupsListNew>(
        nullptr, nullptr, Shared()->GetDataSource(dkGroups), false, nullptr);
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral("  from Database: \"Shared\"")));
    form->show();
    TNDataSet* groups = form->DataSet();
    EXPECT_TRUE(WaitUntil([&] { return form->actApplyUpdates->isVisible() && !form->actApplyUpdates->isEnabled(); }));
    EXPECT_TRUE(form->actRefresh->isEnabled());
    for (const char* name : {"G1", "G2"}) {
        groups->Append();
        groups->FieldByName(QStringLiteral("ID"))->SetValue(Shared()->GetNextTempIDByKind(dkGroups));
        groups->FieldByName(QStringLiteral("Name"))->SetValue(QString::fromLatin1(name));
        groups->Post();
    }
    EXPECT_TRUE(WaitUntil([&] { return form->actApplyUpdates->isEnabled() && form->actCancelChanges->isEnabled(); }));
    form->actCancelExecute();  // both rows go with the window's Cancel
    EXPECT_EQ(groups->RecordCount(), 0);

    // Applied rows reach the server.
    auto again = TBaseMultiDBGridListForm::ForDataSource<TFormGroupsListNew>(
        nullptr, nullptr, Shared()->GetDataSource(dkGroups), false, nullptr);
    groups->Append();
    groups->FieldByName(QStringLiteral("ID"))->SetValue(Shared()->GetNextTempIDByKind(dkGroups));
    groups->FieldByName(QStringLiteral("Name"))->SetValue(QStringLiteral("Crew"));
    groups->Post();
    again->actApplyUpdates->trigger();
    EXPECT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }));
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'|').toStdString();
    EXPECT_GT(groups->FieldByName(QStringLiteral("ID"))->AsInteger(), 0);

    // The shared book serves no servers: the servers list keeps the local one.
    auto servers = TBaseMultiDBGridListForm::ForDataClients<TFormServersListNew>(
        nullptr, &RecordEditorOf<TFormServerEditor>, Books(), dkServers, false, nullptr);
    servers->cbDatabases->setCurrentIndex(Books().indexOf(Shared()));
    servers->MyCbDatabasesCloseUp();
    EXPECT_EQ(servers->ListDataClient(), Book(0));
    EXPECT_EQ(Answerer.Texts().size(), 1);
}

TEST_F(SharedBookListTest, FindMovesToTheTypedNameAsInALocalBook)
{
    ASSERT_NE(Shared(), nullptr);
    TNDataSet* contacts = Shared()->GetDataSet(dkContacts);
    for (const char* name : {"Anna", "Bob", "Carl"}) {
        contacts->Append();
        contacts->FieldByName(QStringLiteral("ID"))->SetValue(Shared()->GetNextTempIDByKind(dkContacts));
        contacts->FieldByName(QStringLiteral("Name"))->SetValue(QString::fromLatin1(name));
        contacts->Post();
    }
    auto form = TBaseMultiDBGridListForm::ForDataSource<TFormContactsListNew>(
        nullptr, nullptr, Shared()->GetDataSource(dkContacts), false, nullptr);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(form->edtSearch->isEnabled());
    QTest::keyClicks(form->edtSearch, QStringLiteral("bo"));
    EXPECT_EQ(contacts->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Bob"));
    QTest::keyClicks(form->edtSearch, QStringLiteral("x"));  // no match: the row stays
    EXPECT_EQ(contacts->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Bob"));
    form->actCancelExecute();
}

TEST_F(SharedBookListTest, ACarrierIsDeletedOnlyWhenEveryContactThatCouldUseItIsAtHand)
{
    qint32 door = 0;
    {
        TBookBuilder server(world.dbs.Folder() + QStringLiteral("server.db"));
        door = server.Carrier(QStringLiteral("Door"), 6, 0);
        server.Contact(QStringLiteral("Ann"), door);
        server.Contact(QStringLiteral("Bob"), door);
    }
    auto* shared = qobject_cast<TSharedAccessClient*>(Shared());
    ASSERT_NE(shared, nullptr);
    QString error;
    ASSERT_TRUE(RefreshSharedDataSet(*shared, dkCarriers, &error)) << error.toStdString();
    TNDataSet* carriers = shared->GetDataSet(dkCarriers);
    auto form = TBaseMultiDBGridListForm::ForDataSource<TFormCarriersListNew>(
        nullptr, &RecordEditorOf<TFormCarrierEditorNew>, shared->GetDataSource(dkCarriers), false, nullptr);
    // The contacts were never fetched: none is in the cache, yet the server
    // holds two that use it.
    ASSERT_TRUE(form->LocateByID(door));
    form->actDeleteExecute();
    EXPECT_EQ(Answerer.Texts(),
              QStringList{QStringLiteral(
                  "\"Door\" cannot be deleted yet: the contacts of the address book \"Shared\" are not in its "
                  "cache as fetched from its server, so it is not known whether any of them use it. Refresh the "
                  "Contacts list first.")});
    EXPECT_TRUE(carriers->Locate(QStringLiteral("ID"), door));
    // A carrier made here and never applied: no row of the server names it.
    carriers->Append();
    carriers->FieldByName(QStringLiteral("ID"))->SetValue(shared->GetNextTempIDByKind(dkCarriers));
    carriers->FieldByName(QStringLiteral("Name"))->SetValue(QStringLiteral("Typo"));
    carriers->Post();
    form->actDeleteExecute();
    EXPECT_FALSE(carriers->Locate(QStringLiteral("Name"), QStringLiteral("Typo")));
    EXPECT_EQ(Answerer.Texts().size(), 1);

    // Once the contacts are fetched, they are counted.
    ASSERT_TRUE(RefreshSharedDataSet(*shared, dkContacts, &error)) << error.toStdString();
    ASSERT_TRUE(form->LocateByID(door));
    form->actDeleteExecute();
    EXPECT_EQ(Answerer.Texts().value(1), QStringLiteral("\"Door\" cannot be deleted: 2 contacts use it."));
    EXPECT_EQ(ClientChangeCount(carriers), 0);

    // A delete that reaches the server all the same is refused there, as
    // any refused row: the server's row comes back with Cancel.
    TReconcileRequest refused;
    const TReconcileHandler dialog = SetReconcileHandler([&](const TReconcileRequest& request, QVariantMap*) {
        refused = request;
        return TReconcileAction::raCancel;
    });
    ASSERT_TRUE(carriers->Locate(QStringLiteral("ID"), door));
    carriers->Delete();
    ApplySharedUpdates(*shared);
    SetReconcileHandler(dialog);
    EXPECT_EQ(refused.ErrorCode, 1);
    EXPECT_EQ(refused.ErrorText, QStringLiteral("\"Door\" cannot be deleted: 2 contacts use it."));
    EXPECT_TRUE(carriers->Locate(QStringLiteral("ID"), door));
    EXPECT_EQ(ClientChangeCount(carriers), 0);
}

TEST_F(SharedBookListTest, ASharedBooksCarriersAreAddedAndEditedWithoutServers)
{
    auto* shared = qobject_cast<TSharedAccessClient*>(Shared());
    ASSERT_NE(shared, nullptr);
    qint32 door = 0;
    {
        TBookBuilder server(world.dbs.Folder() + QStringLiteral("server.db"));
        door = server.Carrier(QStringLiteral("Door"), 5, 0, QStringLiteral("mail.example.org,25,0,x,secret"));
    }
    QString error;
    ASSERT_TRUE(RefreshSharedDataSet(*shared, dkCarriers, &error)) << error.toStdString();
    auto form = TBaseMultiDBGridListForm::ForDataSource<TFormCarriersListNew>(
        nullptr, &RecordEditorOf<TFormCarrierEditorNew>, shared->GetDataSource(dkCarriers), false, nullptr);
    // Its type is not cached, yet its type's settings editor shows them.
    QString embedded;
    WhenModal<TFormCarrierEditorNew>([&](TFormCarrierEditorNew* editor) {
        if (editor->EmbeddedEditor())
            embedded = editor->GetEmbeddedData() + u'@' +
                       QString::fromLatin1(editor->EmbeddedEditor()->metaObject()->className());
        editor->reject();
    });
    TNItemInfo info;
    ASSERT_TRUE(form->LocateByID(door));
    form->EditRecord(info);
    EXPECT_EQ(embedded, QStringLiteral("mail.example.org,25,0,x,secret@TFormCarrierSMTP"));
    // No carrier type is cached yet: a new carrier could have none.
    form->AddRecord(info);
    EXPECT_FALSE(info.Accepted);
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts()[0].startsWith(
        QStringLiteral("You need to define at least one Carrier Type before adding Carriers !")));
    EXPECT_EQ(form->DataSet()->RecordCount(), 1);

    EXPECT_TRUE(Answerer.Texts()[0].endsWith(QStringLiteral("Refresh the Carriers list.)")));
    // No window lists the carrier types: the carriers list's Refresh
    // brings them with the carriers.
    form->actRefresh->trigger();
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }));
    EXPECT_GT(shared->GetRecordCount(dkCarrierTypes), 0);
    const auto whenEditor = [](const QString& name) {
        WhenModal<TFormCarrierEditorNew>([name](TFormCarrierEditorNew* editor) {
            // The book's own paging server pages its contacts.
            EXPECT_FALSE(editor->dblcbServers->isVisibleTo(editor));
            ASSERT_NE(editor->findChild<QLabel*>(QStringLiteral("lblBookServer")), nullptr);
            const int smtp = editor->dblcbCarrierType->findData(5);
            editor->dblcbCarrierType->setCurrentIndex(smtp);
            emit editor->dblcbCarrierType->activated(smtp);
            editor->SetEmbeddedData(QStringLiteral("mail.example.org,25,0,x,secret"));
            editor->edtCarrierName->setText(name);
            editor->UpdateOkAction();
            editor->btnOK->click();
            if (editor->isVisible()) {
                ADD_FAILURE() << "the carrier editor stayed open";
                editor->reject();
            }
        });
    };
    whenEditor(QStringLiteral("Post"));
    form->AddRecord(info);
    ASSERT_TRUE(info.Accepted);
    EXPECT_LT(info.ID, 0);
    EXPECT_EQ(Value(shared, info.ID, "TypeNo").toInt(), 5);
    EXPECT_TRUE(Value(shared, info.ID, "ServerID").isNull());
    whenEditor(QStringLiteral("Mail"));
    form->EditRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(Value(shared, info.ID, "Name").toString(), QStringLiteral("Mail"));
    EXPECT_EQ(Answerer.Texts().size(), 1) << Answerer.Texts().join(u'|').toStdString();
}
