// The ways back of a shared address book, by one table: each way back (a
// list window's Cancel, Cancel Changes, the reconcile dialog's Cancel and
// Refresh) after each kind of change (an edit, the delete of a contact with
// a placement and a membership, a new carrier other rows name, an apply in
// between), checked by the rows here, the folder tree and the server after
// the next apply. The group editor's Cancel and Esc take back what the
// editor did and nothing stored before it.
#include "data/folderstreeload.h"
#include "data/remotedataprotocol.h"
#include "data/sharedbookfixture.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/admin/doorexchangehold.h"
#include "ui/admin/entitylists.h"
#include "ui/admin/groupeditor.h"
#include "ui/admin/recordeditors.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"
#include "ui_main/eventwaits.h"

#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {
enum class TWay { Cancel, CancelChanges, ReconcileCancel, ReconcileRefresh };
enum class TChange { Edit, DeletePlaced, NewNamed, ApplyBetween };

struct TWayBackCase {
    const char* Name;
    TWay Way;
    TChange Change;
    QString BobHere;  // "Name:CarrierID" after the way back
    int BobNodes;     // Bob's nodes in the folder "Sales" after it
    QString Server;   // the server's contacts after the next apply, "Name:CarrierID"
    int Placements;   // the server's placements of Bob then
    QString Told;     // the end of what the operator was told, empty for nothing
};

const QString kGone = QStringLiteral(
    "the contact \"B1\" keeps its other changes, but its carrier goes back to the carrier \"Door\": the new "
    "carrier \"Night\" is no longer in the book\nthe new contact \"Ann\" goes with the new carrier \"Night\"\n"
    "the placement of the new contact \"Ann\" in the folder \"Sales\" goes with the new contact \"Ann\"");
const QString kBack =
    QStringLiteral("the placement of the contact \"Bob\" in the folder \"Sales\" comes back with the contact \"Bob\"");

const TWayBackCase kCases[] = {
    {"edit, Cancel", TWay::Cancel, TChange::Edit, "Bob:1", 1, "Bob:1", 1, ""},
    {"edit, Cancel Changes", TWay::CancelChanges, TChange::Edit, "Bob:1", 1, "Bob:1", 1, ""},
    {"edit, reconcile Cancel", TWay::ReconcileCancel, TChange::Edit, "Bob:1", 1, "Bob:1", 1, ""},
    {"edit, reconcile Refresh", TWay::ReconcileRefresh, TChange::Edit, "Bob:1", 1, "Bob:1", 1, ""},
    {"delete, Cancel", TWay::Cancel, TChange::DeletePlaced, "Bob:1", 1, "Bob:1", 1, ""},
    {"delete, Cancel Changes", TWay::CancelChanges, TChange::DeletePlaced, "Bob:1", 1, "Bob:1", 1, ""},
    {"delete, reconcile Cancel", TWay::ReconcileCancel, TChange::DeletePlaced, "Bob:1", 1, "Bob:1", 1, kBack},
    {"delete, reconcile Refresh", TWay::ReconcileRefresh, TChange::DeletePlaced, "Bob:1", 1, "Bob:1", 1, kBack},
    {"new carrier, Cancel", TWay::Cancel, TChange::NewNamed, "Bob:1", 1, "Bob:1", 1, ""},
    {"new carrier, Cancel Changes", TWay::CancelChanges, TChange::NewNamed, "B1:1", 1, "B1:1", 1, kGone},
    {"new carrier, reconcile Cancel", TWay::ReconcileCancel, TChange::NewNamed, "B1:1", 1, "B1:1", 1, kGone},
    {"new carrier, reconcile Refresh", TWay::ReconcileRefresh, TChange::NewNamed, "B1:1", 1, "B1:1", 1, kGone},
    {"apply between, Cancel", TWay::Cancel, TChange::ApplyBetween, "B1:1", 1, "B1:1", 1, ""},
    {"apply between, Cancel Changes", TWay::CancelChanges, TChange::ApplyBetween, "B1:1", 1, "B1:1", 1, ""},
    {"apply between, reconcile Cancel", TWay::ReconcileCancel, TChange::ApplyBetween, "B1:1", 1, "B1:1", 1, ""},
    {"apply between, reconcile Refresh", TWay::ReconcileRefresh, TChange::ApplyBetween, "B1:1", 1, "B1:1", 1, ""},
};

// What the operator's click does (the window is not shown, so its idle-time
// updates have not enabled the action).
void Trigger(QAction* action)
{
    action->setEnabled(true);
    action->trigger();
}

class WaysBackTest : public SharedBookFixture, public ::testing::WithParamInterface<TWayBackCase> {
protected:
    // The server's book: the carrier "Door" (1), "Bob" (10) on it, a member
    // of "Crew" (20) and placed in the folder "Sales" (40); all fetched.
    TSharedAccessClient* StartBook()
    {
        for (const char* sql :
             {"insert into Carriers (ID, Name, TypeNo) values (1, 'Door', 6)",
              "insert into Contacts (ID, Name, CarrierID) values (10, 'Bob', 1)",
              "insert into Groups (ID, Name) values (20, 'Crew')",
              "insert into GroupAssigns (ID, GroupID, ContactID) values (30, 20, 10)",
              "insert into Folders (ID, Name, ParentID) values (40, 'Sales', 0)",
              "insert into FolderAssigns (ID, FolderID, ContactID, GroupID) values (50, 40, 10, -2147483648)"})
            ServerSql(QString::fromLatin1(sql));
        AddBook();
        StartLocalData();
        TSharedAccessClient* client = Client();
        if (!client)
            return nullptr;
        for (int kind = dkCarrierTypes; kind <= dkFolderAssigns; ++kind) {
            QString error;
            if (!RefreshSharedDataSet(*client, TDataKind(kind), &error)) {
                ADD_FAILURE() << error.toStdString();
                return nullptr;
            }
        }
        FoldersTreeState->AttachToForm(nullptr, &m_tree, &m_clipboard);
        LoadFoldersTree(&m_tree);
        return client;
    }
    void TearDown() override
    {
        m_tree.clear();
        FoldersTreeState->ForgetAllNodes();
        SharedBookFixture::TearDown();
    }
    // The nodes of contact ID in the folder Folder.
    int NodesIn(const QString& folder, qint32 id)
    {
        int count = 0;
        for (const TNTreeNode* node : AllNodes(&m_tree))
            if (node->Kind == nkContact && node->ID == id && node->ParentNode() &&
                node->ParentNode()->Caption() == folder)
                ++count;
        return count;
    }
    static void SetBob(TSharedAccessClient* client, const QVariantMap& values)
    {
        TNDataSet* contacts = client->GetDataSet(dkContacts);
        ASSERT_TRUE(contacts->Locate(QStringLiteral("ID"), 10));
        contacts->Edit();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            contacts->FieldByName(it.key())->SetValue(it.value());
        contacts->Post();
    }
    // The window's Apply Updates, run to its end; refused rows are
    // answered with Action.
    static void ApplyInWindow(TBaseMultiDBGridListForm& window, TReconcileAction action = TReconcileAction::raSkip)
    {
        SetReconcileHandler([action](const TReconcileRequest&, QVariantMap*) { return action; });
        Trigger(window.actApplyUpdates);
        ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
        SetReconcileHandler({});
    }

    TSCGTreeView m_tree;
    QTreeWidget m_clipboard;
};

TEST_P(WaysBackTest, TakesBackWhatItNamesWithItsRowsAndNothingElse)
{
    {
        const TWayBackCase& c = GetParam();
        TSharedAccessClient* client = StartBook();
        ASSERT_NE(client, nullptr);
        ASSERT_EQ(NodesIn(QStringLiteral("Sales"), 10), 1);
        // A change made before the windows open is none of theirs to take back.
        SetBob(client, {{QStringLiteral("Company"), QStringLiteral("Acme")}});
        const bool onCarriers = c.Change == TChange::NewNamed;
        auto list = TBaseMultiDBGridListForm::ForDataSource<TFormContactsListNew>(
            nullptr, nullptr, client->GetDataSource(dkContacts), false, nullptr);
        std::unique_ptr<TBaseMultiDBGridListForm> carriers;
        if (onCarriers)
            carriers = TBaseMultiDBGridListForm::ForDataSource<TFormCarriersListNew>(
                nullptr, nullptr, client->GetDataSource(dkCarriers), false, nullptr);
        TBaseMultiDBGridListForm& window = onCarriers ? *carriers : *list;

        // The change, and the refusal a reconcile way back answers.
        QList<TSimDataFault> faults;
        switch (c.Change) {
            case TChange::Edit:
                SetBob(client, {{QStringLiteral("Name"), QStringLiteral("B2")}});
                faults.append({QStringLiteral("prvContacts"), 10, RemoteData::RowConflict});
                break;
            case TChange::DeletePlaced:
                ASSERT_TRUE(list->LocateByID(10));
                list->actDeleteExecute();
                ASSERT_EQ(NodesIn(QStringLiteral("Sales"), 10), 0);
                faults.append({QStringLiteral("prvContacts"), 10, RemoteData::RowConflict});
                break;
            case TChange::NewNamed: {
                const qint32 night =
                    AddRow(client, dkCarriers,
                           {{QStringLiteral("Name"), QStringLiteral("Night")}, {QStringLiteral("TypeNo"), 6}});
                SetBob(client, {{QStringLiteral("Name"), QStringLiteral("B1")}, {QStringLiteral("CarrierID"), night}});
                const qint32 ann =
                    AddRow(client, dkContacts,
                           {{QStringLiteral("Name"), QStringLiteral("Ann")}, {QStringLiteral("CarrierID"), night}});
                AddRow(client, dkFolderAssigns,
                       {{QStringLiteral("FolderID"), 40},
                        {QStringLiteral("ContactID"), ann},
                        {QStringLiteral("GroupID"), NoneID}});
                faults.append({QStringLiteral("prvCarriers"), night, RemoteData::RowConstraint});
                break;
            }
            case TChange::ApplyBetween:
                SetBob(client, {{QStringLiteral("Name"), QStringLiteral("B1")}});
                ApplyInWindow(window);
                ASSERT_EQ(RowsThere(QStringLiteral("Contacts"), {QStringLiteral("Name")}), QStringLiteral("B1"));
                SetBob(client, {{QStringLiteral("Name"), QStringLiteral("B2")}});
                faults.append({QStringLiteral("prvContacts"), 10, RemoteData::RowConflict});
                break;
        }

        // The way back.
        switch (c.Way) {
            case TWay::Cancel:
                window.actCancelExecute();
                break;
            case TWay::CancelChanges:
                Trigger(window.actCancelChanges);
                break;
            case TWay::ReconcileCancel:
            case TWay::ReconcileRefresh:
                StartSim(Sim->Port(), faults);
                ApplyInWindow(
                    window, c.Way == TWay::ReconcileCancel ? TReconcileAction::raCancel : TReconcileAction::raRefresh);
                StartSim(Sim->Port(), {});
                break;
        }
        const QString told = Answerer.Texts().join(u'\n');
        if (c.Told.isEmpty())
            EXPECT_TRUE(told.isEmpty()) << told.toStdString();
        else
            EXPECT_TRUE(told.endsWith(c.Told)) << told.toStdString();
        EXPECT_EQ(QStringLiteral("%1:%2").arg(Value(client, dkContacts, 10, "Name").toString(),
                                              Value(client, dkContacts, 10, "CarrierID").toString()),
                  c.BobHere);
        EXPECT_EQ(NodesIn(QStringLiteral("Sales"), 10), c.BobNodes);

        // The next apply stores what is left, and nothing that went back.
        ASSERT_TRUE(ApplySharedUpdates(*client).Ok);
        EXPECT_EQ(BookChangeCount(client), 0);
        EXPECT_EQ(RowsThere(QStringLiteral("Contacts"), {QStringLiteral("Name"), QStringLiteral("CarrierID")}),
                  c.Server);
        EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from FolderAssigns where ContactID = 10 and FolderID = 40"))
                      .toInt(),
                  c.Placements);
        EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from GroupAssigns where ContactID = 10")).toInt(), 1);
        EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from Carriers")).toInt(), 1);
    }
}

// The group editor: its Esc takes back what it did (a new name, a member
// removed) and nothing else; the groups window's Cancel after an apply in
// it takes back what the editor stored here since, and leaves what the
// apply stored and what was done before the window opened.
TEST_F(WaysBackTest, TheGroupEditorsEscAndItsWindowsCancelAfterAnApplyTakeBackOnlyTheirOwn)
{
    TSharedAccessClient* client = StartBook();
    ASSERT_NE(client, nullptr);
    AddRow(client, dkGroups, {{QStringLiteral("Name"), QStringLiteral("Other")}});
    auto groups = TBaseMultiDBGridListForm::ForDataSource<TFormGroupsListNew>(
        nullptr, &RecordEditorOf<TFormGroupEditor>, client->GetDataSource(dkGroups), false, nullptr);
    const auto edit = [&](const QString& name, bool dropMembers, bool escape) {
        WhenModal<TFormGroupEditor>([=](TFormGroupEditor* editor) {
            editor->dbedtName->selectAll();
            QTest::keyClicks(editor->dbedtName, name);
            if (dropMembers) {
                editor->dbgMembers->selectAll();
                editor->RemoveSelectedMembers();
            }
            if (escape) {
                QTest::keyClick(editor, Qt::Key_Escape);
            } else {
                editor->UpdateOkAction();
                editor->btnOK->click();
            }
        });
        EXPECT_TRUE(groups->LocateByID(20));
        TNItemInfo info;
        groups->EditRecord(info);
        return info.Accepted;
    };
    const auto members = [&] { return client->GetDataSet(dkGroupAssigns)->RecordCount(); };
    ASSERT_TRUE(edit(QStringLiteral("G1"), false, false));
    ApplyInWindow(*groups);
    ASSERT_EQ(RowsThere(QStringLiteral("Groups"), {QStringLiteral("Name")}), QStringLiteral("G1,Other"));

    EXPECT_FALSE(edit(QStringLiteral("G2"), true, true));
    EXPECT_EQ(Value(client, dkGroups, 20, "Name").toString(), QStringLiteral("G1"));
    EXPECT_EQ(members(), 1);
    EXPECT_EQ(BookChangeCount(client), 0);

    ASSERT_TRUE(edit(QStringLiteral("G3"), true, false));
    ASSERT_EQ(members(), 0);
    groups->actCancelExecute();
    EXPECT_EQ(Value(client, dkGroups, 20, "Name").toString(), QStringLiteral("G1"));
    EXPECT_EQ(members(), 1);
    EXPECT_EQ(BookChangeCount(client), 0);
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'\n').toStdString();
    ASSERT_TRUE(ApplySharedUpdates(*client).Ok);
    EXPECT_EQ(RowsThere(QStringLiteral("Groups"), {QStringLiteral("Name")}), QStringLiteral("G1,Other"));
    EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from GroupAssigns where GroupID = 20")).toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(EachWayAfterEachChange, WaysBackTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TWayBackCase>& info) {
                             QString name = QString::fromLatin1(info.param.Name);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z]")), QString());
                             return name.toStdString();
                         });
}  // namespace
