// A list window's Apply Updates on a shared address book sends the whole
// book in reference order: a new contact's new carrier first, and the
// folders the tree made, which no list shows; a cache that cannot be saved
// afterwards is reported; a new record given up in the reconcile dialog
// leaves the tree and the recipients. The exchange with the door runs while
// the windows go on answering (a popup leaves when its time runs out), and
// Esc cancels it.
#include "data/doorexchange.h"
#include "data/recipients.h"
#include "data/remotedataprotocol.h"
#include "data/sharedbookfixture.h"
#include "messaging/popupwin.h"
#include "support/filesizelimit.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/admin/doorexchangehold.h"
#include "ui/admin/entitylists.h"
#include "ui/admin/recordeditors.h"
#include "ui_main/eventwaits.h"

#include <QKeyEvent>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QWidget>

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
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'\n').toStdString();
    EXPECT_EQ(ServerSql(QStringLiteral("select c.CarrierID = r.ID from Contacts c, Carriers r where c.Name = 'Ann' "
                                       "and r.Name = 'SNPP'"))
                  .toInt(),
              1);
    EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from Folders where Name = 'Sales'")).toInt(), 1);
    for (TDataKind kind : {dkCarriers, dkContacts, dkFolders})
        EXPECT_EQ(client->ClientDataSet(kind)->ChangeCount(), 0);

    // An apply whose answer was lost still has to be asked again when its
    // changes were cancelled here meanwhile: Apply stays available for it.
    AddRow(client, dkContacts, {{QStringLiteral("Name"), QStringLiteral("Bob")}});
    StartSim(Sim->Port(), {}, 1);
    ClientApplyUpdates(client, dkContacts);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    client->ClientDataSet(dkContacts)->CancelUpdates();
    EXPECT_EQ(BookChangeCount(client), 1);
}

TEST_F(SharedListTest, ACachedCarrierItsContactsUseStaysAndAnyWaitingChangeEnablesApply)
{
    AddBook();
    StartLocalData();
    TSharedAccessClient* client = Client();
    ASSERT_NE(client, nullptr);
    const qint32 door =
        AddRow(client, dkCarriers, {{QStringLiteral("Name"), QStringLiteral("Door")}, {QStringLiteral("TypeNo"), 6}});
    AddRow(client, dkContacts, {{QStringLiteral("Name"), QStringLiteral("Ann")}, {QStringLiteral("CarrierID"), door}});
    // Counted in the cache, the contact not yet applied included.
    auto carriers = TBaseMultiDBGridListForm::ForDataSource<TFormCarriersListNew>(
        nullptr, &RecordEditorOf<TFormCarrierEditorNew>, client->GetDataSource(dkCarriers), false, nullptr);
    ASSERT_TRUE(carriers->LocateByID(door));
    carriers->actDeleteExecute();
    EXPECT_EQ(Answerer.Texts(), QStringList{QStringLiteral("\"Door\" cannot be deleted: 1 contact uses it.")});
    EXPECT_TRUE(client->GetDataSet(dkCarriers)->Locate(QStringLiteral("ID"), door));

    ClientApplyUpdates(client, dkCarriers);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }));
    ASSERT_EQ(client->ClientDataSet(dkContacts)->ChangeCount(), 0);
    // A folder made in the tree: the contacts list, with no change of its
    // own, may send it (Apply sends the whole book) but cancels nothing.
    AddRow(client, dkFolders, {{QStringLiteral("Name"), QStringLiteral("Sales")}, {QStringLiteral("ParentID"), 0}});
    auto contacts = TBaseMultiDBGridListForm::ForDataSource<TFormContactsListNew>(
        nullptr, nullptr, client->GetDataSource(dkContacts), false, nullptr);
    contacts->show();
    EXPECT_TRUE(WaitUntil([&] { return contacts->actApplyUpdates->isEnabled(); }));
    EXPECT_FALSE(contacts->actCancelChanges->isEnabled());
    contacts->actApplyUpdates->trigger();
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }));
    EXPECT_EQ(client->ClientDataSet(dkFolders)->ChangeCount(), 0);
    EXPECT_TRUE(WaitUntil([&] { return !contacts->actApplyUpdates->isEnabled(); }));
    EXPECT_EQ(Answerer.Texts().size(), 1) << Answerer.Texts().join(u'|').toStdString();
}

TEST_F(SharedListTest, ApplyNamesWhatItCannotSendYetAndANewContactGivenUpLeavesTheTreeAndTheRecipients)
{
    AddBook();
    StartLocalData();
    TSharedAccessClient* client = Client();
    ASSERT_NE(client, nullptr);
    const qint32 crew = AddRow(client, dkGroups, {{QStringLiteral("Name"), QStringLiteral("Crew")}});
    const qint32 xtemp = AddRow(client, dkContacts, {{QStringLiteral("Name"), QStringLiteral("Xtemp")}});
    const qint32 member =
        AddRow(client, dkGroupAssigns, {{QStringLiteral("GroupID"), crew}, {QStringLiteral("ContactID"), xtemp}});
    StartSim(Sim->Port(), {{QStringLiteral("prvContacts"), xtemp, RemoteData::RowConstraint}});
    auto groups = TBaseMultiDBGridListForm::ForDataSource<TFormGroupsListNew>(
        nullptr, nullptr, client->GetDataSource(dkGroups), false, nullptr);
    groups->show();
    // The contact refused and skipped, the membership waits: the operator
    // is told which and why.
    groups->actApplyUpdates->trigger();
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts()[0].endsWith(
        QStringLiteral("GroupAssigns row %1 names the Contacts row %2 \"Xtemp\", which the server refused")
            .arg(member)
            .arg(xtemp)))
        << Answerer.Texts()[0].toStdString();
    // The groups list may give up the membership, the only change of its own.
    ASSERT_EQ(client->ClientDataSet(dkGroups)->ChangeCount(), 0);
    EXPECT_TRUE(WaitUntil([&] { return groups->actCancelChanges->isEnabled(); }));
    groups->actCancelChanges->trigger();
    EXPECT_EQ(client->GetDataSet(dkGroupAssigns)->RecordCount(), 0);
    EXPECT_EQ(BookChangeCount(client), 1);  // Xtemp
    EXPECT_TRUE(WaitUntil([&] { return !groups->actCancelChanges->isEnabled(); }));

    // Placed in the tree and a recipient, then given up in the reconcile
    // dialog: it leaves the tree and the recipients with its rows.
    const TContactInTree placed(client, xtemp);
    TNRecipientList recipients;
    RecipientList = &recipients;
    const auto noList = qScopeGuard([] { RecipientList = nullptr; });
    recipients.AddItem(nkContact, QStringLiteral("Xtemp"), xtemp, client);
    ASSERT_EQ(placed.Nodes(), 1);
    SetReconcileHandler([](const TReconcileRequest&, QVariantMap*) { return TReconcileAction::raCancel; });
    groups->actApplyUpdates->trigger();
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    SetReconcileHandler({});
    EXPECT_EQ(BookChangeCount(client), 0);
    EXPECT_EQ(client->GetDataSet(dkFolderAssigns)->RecordCount(), 0);
    EXPECT_EQ(placed.Nodes(), 0);
    EXPECT_EQ(recipients.GetCount(), 0);
    // Its placement went with it, and the operator is told.
    ASSERT_EQ(Answerer.Texts().size(), 2) << Answerer.Texts().join(u'|').toStdString();
    EXPECT_TRUE(Answerer.Texts()[1].endsWith(QStringLiteral(
        "the placement of the new contact \"Xtemp\" in the top level goes with the new contact \"Xtemp\"")))
        << Answerer.Texts()[1].toStdString();
}

TEST_F(SharedListTest, AnApplyWhoseCacheCannotBeSavedAfterwardsNamesTheBook)
{
    AddBook();
    StartLocalData();
    TSharedAccessClient* client = Client();
    ASSERT_NE(client, nullptr);
    // Cached contacts too many for the room left on the disk, with no
    // change of their own: only the saving after the apply meets them.
    std::vector<std::vector<QVariant>> rows;
    for (int id = 1; id <= 4000; ++id)
        rows.push_back({id,
                        0,
                        QStringLiteral("Contact %1").arg(id),
                        {},
                        {},
                        {},
                        {},
                        false,
                        QStringLiteral("a contact's settings text, long enough to take some room")});
    client->ClientDataSet(dkContacts)->LoadData(std::move(rows));
    AddRow(client, dkGroups, {{QStringLiteral("Name"), QStringLiteral("Crew")}});
    {
        const FileSizeLimit full(256 * 1024);
        ClientApplyUpdates(client, dkGroups);
        ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    }
    EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from Groups where Name = 'Crew'")).toInt(), 1);
    const QString unsaved =
        QStringLiteral(
            "The cache of the address book \"%1\" could not be saved.\nThe cache file \"%2/cdsContacts.cds\"")
            .arg(kBook, client->CacheFolder());
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts()[0].startsWith(unsaved)) << Answerer.Texts()[0].toStdString();

    // An apply cancelled with Esc, its answer still out: the saving after it
    // fails alike and is told alike.
    Answerer.Clear();
    TSimDataOptions options = SimOptions();
    options.wrongIds = true;  // the answer never comes under the apply's request ID
    options.wrongIdsEveryMs = 20;
    RestartSim(options);
    AddRow(client, dkGroups, {{QStringLiteral("Name"), QStringLiteral("Night")}});
    QWidget window;
    window.show();
    {
        const FileSizeLimit full(256 * 1024);
        ClientApplyUpdates(client, dkGroups);
        ASSERT_TRUE(WaitUntil([&] { return client->ClientDataSet(dkGroups)->HasPendingApply(); }, 15000));
        QTest::keyClick(&window, Qt::Key_Escape);
        ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    }
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts()[0].startsWith(unsaved)) << Answerer.Texts()[0].toStdString();
}

TEST_F(SharedListTest, AnExchangeWithADoorThatKeepsTalkingLeavesTheWindowsAnsweringAndEscCancelsIt)
{
    TSharedAccessClient* client = StartWithBob();
    ASSERT_NE(client, nullptr);
    TSimDataOptions options = SimOptions();
    options.wrongIds = true;  // answers under wrong request IDs, again and again
    options.wrongIdsEveryMs = 20;
    RestartSim(options);

    QWidget window;
    window.show();
    ClientRefresh(client, {dkContacts}, nullptr);
    TDoorExchange* exchange = RunningDoorExchange();
    ASSERT_NE(exchange, nullptr) << "the refresh returned while its exchange runs";
    ClientRefresh(client, {dkContacts}, nullptr);
    EXPECT_EQ(RunningDoorExchange(), exchange) << "no second exchange meanwhile";
    // The main thread goes on: its timers fire while the door talks.
    bool ticked = false;
    QTimer::singleShot(50, [&] { ticked = true; });
    ASSERT_TRUE(WaitUntil([&] { return ticked; }));
    EXPECT_TRUE(exchange->IsTalking());
    // A popup whose time runs out meanwhile leaves and is freed.
    const QPointer<TPopupWin> popup = ShowPopupWin(QStringLiteral("Sent"), pkSuccess);
    popup->StartSlideOut();
    EXPECT_TRUE(WaitUntil([&] { return popup.isNull(); }));
    EXPECT_TRUE(exchange->IsTalking());
    // Input is held back (a close of the window too), Esc cancels.
    window.close();
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'\n').toStdString();
    EXPECT_EQ(Value(client, dkContacts, 10, "Name").toString(), QStringLiteral("Bob"));
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SharedListTest, AReconcileChoiceThatCannotBeCarriedOutEndsTheExchangeAndKeepsTheEdit)
{
    TSharedAccessClient* client = StartWithBob();
    ASSERT_NE(client, nullptr);
    TNDataSet* contacts = client->GetDataSet(dkContacts);
    ASSERT_TRUE(contacts->Locate(QStringLiteral("ID"), 10));
    contacts->Edit();
    contacts->FieldByName(QStringLiteral("Name"))->SetValue(QStringLiteral("Mine"));
    contacts->Post();
    ServerSql(QStringLiteral("update Contacts set Name = 'Other' where ID = 10"));
    // A corrected value the field cannot take (the dialog refuses it; a
    // handler may not).
    SetReconcileHandler([](const TReconcileRequest&, QVariantMap* corrected) {
        corrected->insert(QStringLiteral("CarrierID"), QStringLiteral("abc"));
        return TReconcileAction::raCorrect;
    });
    ClientApplyUpdates(client, dkContacts);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000)) << "the exchange ends";
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts()[0].startsWith(
        QStringLiteral("The address book \"%1\" could not take in the answer to its changes of Contacts: ").arg(kBook)))
        << Answerer.Texts()[0].toStdString();
    EXPECT_TRUE(Answerer.Texts()[0].contains(QStringLiteral("'abc' is not a valid value for field 'CarrierID'")));
    EXPECT_EQ(contacts->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Value(client, dkContacts, 10, "Name").toString(), QStringLiteral("Mine"));
    EXPECT_EQ(client->ClientDataSet(dkContacts)->ChangeCount(), 1) << "the edit stays pending";

    // The next apply goes, and Merge stores the edit.
    SetReconcileHandler([](const TReconcileRequest&, QVariantMap*) { return TReconcileAction::raMerge; });
    ClientApplyUpdates(client, dkContacts);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    SetReconcileHandler({});
    ClientApplyUpdates(client, dkContacts);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    EXPECT_EQ(ServerSql(QStringLiteral("select Name from Contacts where ID = 10")).toString(), QStringLiteral("Mine"));
    EXPECT_EQ(client->ClientDataSet(dkContacts)->ChangeCount(), 0);
    EXPECT_EQ(Answerer.Texts().size(), 1) << Answerer.Texts().join(u'|').toStdString();
}
