// The group editor over a real address book: members moved both ways
// through the grids, the membership rows written once by OK (read back with
// SQL), Cancel leaving them as they were; over a shared book served by the
// simulator's data door, memberships that keep their IDs to the server and
// back and go with a new record given up; and the carrier-type and template
// editors' checks through their list windows.
#include "adminfixture.h"
#include "data/folderstree.h"
#include "data/sharedbookfixture.h"
#include "db/clientdatasetfile.h"

#include "ui/admin/clientdatasetops.h"
#include "ui/admin/doorexchangehold.h"
#include "ui/admin/groupeditor.h"
#include "ui/admin/typeeditors.h"
#include "ui/admin/typelists.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"
#include "ui/dbcontrols/dbmemo.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSpinBox>

namespace {
QStringList Names(TNDBGrid* grid)
{
    QStringList names;
    TNDataSet* ds = grid->DataSet();
    for (int row = 0; row < ds->RecordCount(); ++row)
        names << ds->RowValue(row, ds->FieldByName(QStringLiteral("Name"))).toString();
    return names;
}

// Marks the rows of these names (the user's Ctrl+click).
void Mark(TNDBGrid* grid, const QStringList& names)
{
    grid->ClearMarks();
    const QStringList all = Names(grid);
    for (const QString& name : names)
        grid->selectionModel()->select(grid->model()->index(int(all.indexOf(name)), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

template <class L>
std::unique_ptr<L> ListOver(TBaseDataClient* book, TDataKind kind, TRecordEditorClass editor)
{
    return TBaseMultiDBGridListForm::ForDataSource<L>(nullptr, editor, book->GetDataSource(kind), false, nullptr);
}
}  // namespace

using GroupEditorTest = AdminFixture;

TEST_F(GroupEditorTest, MembersMoveBothWaysAndOkWritesThemCancelKeepsThem)
{
    auto list = ListOver<TFormGroupsListNew>(Book(), dkGroups, &RecordEditorOf<TFormGroupEditor>);
    WhenModal<TFormGroupEditor>([](TFormGroupEditor* editor) {
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("  New Group"));
        EXPECT_EQ(Names(editor->dbgNonMembers),
                  (QStringList{QStringLiteral("Anna"), QStringLiteral("Bob"), QStringLiteral("Carl")}));
        EXPECT_FALSE(editor->btnOK->isEnabled() && editor->IsModified());
        Mark(editor->dbgNonMembers, {QStringLiteral("Carl"), QStringLiteral("Anna")});
        editor->AddSelectedMembers();
        EXPECT_EQ(Names(editor->dbgMembers), (QStringList{QStringLiteral("Anna"), QStringLiteral("Carl")}));
        EXPECT_EQ(editor->dbgMembers->SelectedCount(), 2);  // the rows just added are marked
        EXPECT_EQ(Names(editor->dbgNonMembers), QStringList{QStringLiteral("Bob")});
        // Anna goes back and is marked among the non-members.
        Mark(editor->dbgMembers, {QStringLiteral("Anna")});
        editor->RemoveSelectedMembers();
        EXPECT_EQ(Names(editor->dbgMembers), QStringList{QStringLiteral("Carl")});
        ASSERT_EQ(editor->dbgNonMembers->SelectedCount(), 1);
        EXPECT_EQ(editor->dbgNonMembers->DataSet()->RowOfBookmark(editor->dbgNonMembers->SelectedBookmarks().at(0)), 0);
        // A blank name is refused.
        editor->UpdateOkAction();
        editor->btnOK->click();
        EXPECT_TRUE(editor->isVisible());
        QTest::keyClicks(editor->dbedtName, QStringLiteral("Night shift"));
        QTest::keyClicks(editor->edtDecription, QStringLiteral("  on call  "));
        editor->UpdateOkAction();
        editor->btnOK->click();
    });
    TNItemInfo info;
    list->AddRecord(info);
    ASSERT_TRUE(info.Accepted);
    EXPECT_EQ(Answerer.Texts(), QStringList{QStringLiteral("Error: Name field can't be empty !")});
    EXPECT_EQ(BookValue(QStringLiteral("select Description from Groups where ID = %1").arg(info.ID)),
              QVariant(QStringLiteral("on call")));
    const QString ofGroup = QStringLiteral("GroupID = %1").arg(info.ID);
    EXPECT_EQ(Rows(QStringLiteral("GroupAssigns"), ofGroup), 1);
    EXPECT_EQ(BookValue(QStringLiteral("select ContactID from GroupAssigns where ") + ofGroup), QVariant(ids[2]));

    // Bob added, then Cancel: the rows stay as they were.
    ASSERT_TRUE(list->LocateByID(info.ID));
    WhenModal<TFormGroupEditor>([](TFormGroupEditor* editor) {
        EXPECT_EQ(Names(editor->dbgMembers), QStringList{QStringLiteral("Carl")});
        EXPECT_EQ(editor->edtDecription->text(), QStringLiteral("on call"));
        Mark(editor->dbgNonMembers, {QStringLiteral("Bob")});
        editor->AddSelectedMembers();
        editor->btnCancel->click();
    });
    TNItemInfo again;
    list->EditRecord(again);
    EXPECT_FALSE(again.Accepted);
    EXPECT_EQ(Rows(QStringLiteral("GroupAssigns"), ofGroup), 1);

    // Accepted with both: two rows, in the members' order.
    WhenModal<TFormGroupEditor>([](TFormGroupEditor* editor) {
        Mark(editor->dbgNonMembers, {QStringLiteral("Bob"), QStringLiteral("Anna")});
        editor->AddSelectedMembers();
        editor->UpdateOkAction();
        editor->btnOK->click();
    });
    list->EditRecord(again);
    ASSERT_TRUE(again.Accepted);
    EXPECT_EQ(Rows(QStringLiteral("GroupAssigns"), ofGroup), 3);
    EXPECT_EQ(BookValue(QStringLiteral("select group_concat(ContactID) from (select ContactID from GroupAssigns "
                                       "where %1 order by ID)")
                            .arg(ofGroup)),
              QVariant(QStringLiteral("%1,%2,%3").arg(ids[1]).arg(ids[0]).arg(ids[2])));
}

TEST_F(GroupEditorTest, CarrierTypeAndTemplateChecks)
{
    auto types =
        ListOver<TFormCarrierTypesListNew>(Book(), dkCarrierTypes, &RecordEditorOf<TFormCarrierTypesEditorNew>);
    EXPECT_EQ(types->windowTitle(), QStringLiteral("  Edit Carrier Types  from Database: \"Local Database\""));
    WhenModal<TFormCarrierTypesEditorNew>([](TFormCarrierTypesEditorNew* editor) {
        EXPECT_EQ(editor->updTypeNo->minimum(), 0);
        EXPECT_EQ(editor->updTypeNo->maximum(), 100);
        editor->updTypeNo->setValue(500);
        EXPECT_EQ(editor->updTypeNo->value(), 100);
        editor->edtName->setText(QStringLiteral("SMS"));
        editor->btnOK->click();  // the name of type 4
        editor->edtName->setText(QStringLiteral("Pager's own"));
        editor->updTypeNo->setValue(4);
        editor->btnOK->click();  // the number of SMS
        editor->updTypeNo->setValue(12);
        editor->btnOK->click();
    });
    TNItemInfo info;
    types->AddRecord(info);
    ASSERT_TRUE(info.Accepted);
    EXPECT_EQ(
        Answerer.Texts(),
        (QStringList{QStringLiteral("There already is CarrierType named: \"SMS\". Please enter a different name."),
                     QStringLiteral("There already is CarrierType with TypeNo=\"4\". Please enter a different "
                                    "TypeNo.")}));
    EXPECT_EQ(BookValue(QStringLiteral("select TypeNo from CarrierTypes where Name = 'Pager''s own'")), QVariant(12));
    // Unchanged: OK stays disabled.
    ASSERT_TRUE(types->LocateByID(info.ID));
    WhenModal<TFormCarrierTypesEditorNew>([](TFormCarrierTypesEditorNew* editor) {
        editor->UpdateOkAction();
        EXPECT_FALSE(editor->actOK->isEnabled());
        editor->btnCancel->click();
    });
    types->EditRecord(info);

    Answerer.Clear();
    auto templates = ListOver<TFormTemplatesListNew>(Book(), dkTemplates, &RecordEditorOf<TFormTemplateEditor>);
    WhenModal<TFormTemplateEditor>([](TFormTemplateEditor* editor) {
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("  New Template"));
        QTest::keyClicks(editor->dbedtName, QStringLiteral("Late"));
        QTest::keyClicks(editor->dbmemContent, QStringLiteral("   "));
        editor->UpdateOkAction();
        editor->btnOK->click();
        QTest::keyClicks(editor->dbmemContent, QStringLiteral("Running late"));
        editor->btnOK->click();
    });
    TNItemInfo added;
    templates->AddRecord(added);
    ASSERT_TRUE(added.Accepted);
    EXPECT_EQ(Answerer.Texts(), QStringList{QStringLiteral("Error: Template Message Text field can't be empty !")});
    EXPECT_EQ(BookValue(QStringLiteral("select Content from Templates where Name = 'Late'")),
              QVariant(QStringLiteral("   Running late")));
}

// --- a shared address book served by the simulator's remote data door

namespace {
using SharedGroupEditorTest = SharedBookFixture;

// Runs the group editor on the list's current row (a new one when New):
// Name typed for a new group, then the members Add and Remove moved, OK.
TNItemInfo EditGroup(TFormGroupsListNew& list, bool isNew, const QString& name, const QStringList& add,
                     const QStringList& remove = {})
{
    WhenModal<TFormGroupEditor>([=](TFormGroupEditor* editor) {
        if (isNew)
            QTest::keyClicks(editor->dbedtName, name);
        if (!add.isEmpty()) {
            Mark(editor->dbgNonMembers, add);
            editor->AddSelectedMembers();
        }
        if (!remove.isEmpty()) {
            Mark(editor->dbgMembers, remove);
            editor->RemoveSelectedMembers();
        }
        editor->UpdateOkAction();
        editor->btnOK->click();
    });
    TNItemInfo info;
    if (isNew)
        list.AddRecord(info);
    else
        list.EditRecord(info);
    return info;
}

// The server's memberships that join a group and a contact of these names.
const char* const MembersSql =
    "select count(*) from GroupAssigns a join Groups g on g.ID = a.GroupID "
    "join Contacts c on c.ID = a.ContactID where %1";
}  // namespace

TEST_F(SharedGroupEditorTest, MembershipsTakeTheirIdsAndAMemberRemovedLeavesTheServer)
{
    ServerSql(QStringLiteral("insert into Contacts (ID, Name) values (11, 'Carl')"));
    TSharedAccessClient* client = StartWithBob();
    ASSERT_NE(client, nullptr);
    auto list = ListOver<TFormGroupsListNew>(client, dkGroups, &RecordEditorOf<TFormGroupEditor>);
    list->show();
    const TNItemInfo other = EditGroup(*list, true, QStringLiteral("Other"), {QStringLiteral("Carl")});
    ASSERT_TRUE(other.Accepted);
    // The membership has an ID of its own, and the list may cancel it.
    TNDataSet* assigns = client->GetDataSet(dkGroupAssigns);
    ASSERT_EQ(assigns->RecordCount(), 1);
    EXPECT_LT(assigns->FieldByName(QStringLiteral("ID"))->AsInteger(), 0);
    EXPECT_NE(assigns->FieldByName(QStringLiteral("ID"))->AsInteger(), other.ID);

    for (const QStringList& remove : {QStringList(), QStringList{QStringLiteral("Carl")}}) {
        if (!remove.isEmpty()) {
            list->DataSet()->First();
            ASSERT_TRUE(EditGroup(*list, false, QString(), {}, remove).Accepted);
        }
        EXPECT_TRUE(WaitUntil([&] { return list->actCancelChanges->isEnabled(); }));
        list->actApplyUpdates->trigger();
        ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
        // Nothing asked, nothing left: the server has what the client has.
        EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'\n').toStdString();
        EXPECT_EQ(BookChangeCount(client), 0);
        EXPECT_TRUE(WaitUntil([&] { return !list->actApplyUpdates->isEnabled(); }));
        EXPECT_EQ(ServerSql(QString::fromLatin1(MembersSql).arg(QStringLiteral("g.Name = 'Other' and c.Name = 'Carl'")))
                      .toInt(),
                  remove.isEmpty() ? 1 : 0);
        EXPECT_EQ(assigns->RecordCount(), remove.isEmpty() ? 1 : 0);
    }
    // Cancel on the list undoes the memberships changed since it opened.
    list->DataSet()->First();
    ASSERT_TRUE(EditGroup(*list, false, QString(), {QStringLiteral("Bob")}).Accepted);
    ASSERT_EQ(assigns->RecordCount(), 1);
    list->actCancelExecute();
    EXPECT_EQ(assigns->RecordCount(), 0);
    EXPECT_EQ(BookChangeCount(client), 0);
}

TEST_F(SharedGroupEditorTest, RowsNamingANewRecordGoWithItAndItsIdIsNotTakenAgain)
{
    TSharedAccessClient* client = StartWithBob();
    ASSERT_NE(client, nullptr);
    const qint32 xtemp = AddRow(client, dkContacts, {{QStringLiteral("Name"), QStringLiteral("Xtemp")}});
    auto list = ListOver<TFormGroupsListNew>(client, dkGroups, &RecordEditorOf<TFormGroupEditor>);
    ASSERT_TRUE(EditGroup(*list, true, QStringLiteral("GX"), {QStringLiteral("Xtemp")}).Accepted);
    TNDataSet* assigns = client->GetDataSet(dkGroupAssigns);
    ASSERT_EQ(assigns->Lookup(QStringLiteral("ContactID"), xtemp, QStringLiteral("ContactID")), QVariant(xtemp));
    // The editor saved the new group with its membership.
    TNClientDataSet cachedGroups;
    ::LoadClientDataSetFromFile(cachedGroups, client->CacheFolder() + QStringLiteral("/cdsGroups.cds"));
    EXPECT_TRUE(cachedGroups.Locate(QStringLiteral("Name"), QStringLiteral("GX")));

    // Xtemp deleted before it was applied: its membership goes with it, and
    // comes back with it when the contacts list is cancelled.
    auto contacts = ListOver<TFormContactsListNew>(client, dkContacts, nullptr);
    ASSERT_TRUE(contacts->LocateByID(xtemp));
    contacts->actDeleteExecute();
    EXPECT_EQ(assigns->RecordCount(), 0);
    const QString gone = QStringLiteral(
        "the membership of the new contact \"Xtemp\" in the new group \"GX\" goes "
        "with the new contact \"Xtemp\"");
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts()[0].startsWith(QStringLiteral("Delete in the address book \"Shared Book\"")));
    EXPECT_TRUE(Answerer.Texts()[0].endsWith(gone)) << Answerer.Texts()[0].toStdString();
    contacts->actCancelExecute();
    EXPECT_EQ(assigns->RecordCount(), 1);
    // Placed in the tree too, then given up with Cancel Changes: its node
    // and all its rows go.
    {
        const TContactInTree placed(client, xtemp);
        ASSERT_EQ(placed.Nodes(), 1);
        contacts = ListOver<TFormContactsListNew>(client, dkContacts, nullptr);
        contacts->actCancelChanges->trigger();
        EXPECT_EQ(placed.Nodes(), 0);
        EXPECT_EQ(assigns->RecordCount(), 0);
        EXPECT_EQ(client->GetDataSet(dkFolderAssigns)->RecordCount(), 0);
        ASSERT_EQ(Answerer.Texts().size(), 2);
        EXPECT_TRUE(Answerer.Texts()[1].endsWith(gone + QStringLiteral("\nthe placement of the new contact \"Xtemp\" "
                                                                       "in the top level goes with the new contact "
                                                                       "\"Xtemp\"")))
            << Answerer.Texts()[1].toStdString();
        Answerer.Clear();
    }
    // A new group with Bob given up with Esc on the list: its membership too.
    ASSERT_TRUE(EditGroup(*list, true, QStringLiteral("Given up"), {QStringLiteral("Bob")}).Accepted);
    ASSERT_EQ(assigns->RecordCount(), 1);
    list->actCancelExecute();
    EXPECT_EQ(assigns->RecordCount(), 0);
    EXPECT_EQ(client->GetDataSet(dkGroups)->RecordCount(), 0);

    list = ListOver<TFormGroupsListNew>(client, dkGroups, &RecordEditorOf<TFormGroupEditor>);
    ASSERT_TRUE(EditGroup(*list, true, QStringLiteral("GX"), {}).Accepted);
    list->actApplyUpdates->trigger();
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    list->actOkExecute();
    list.reset();
    contacts.reset();

    // After a restart, a new contact applied joins no group.
    LocalData.reset();
    StartLocalData();
    client = Client();
    ASSERT_NE(client, nullptr);
    AddRow(client, dkContacts, {{QStringLiteral("Name"), QStringLiteral("Yinnocent")}});
    ClientApplyUpdates(client, dkContacts);
    ASSERT_TRUE(WaitUntil([] { return RunningDoorExchange() == nullptr; }, 15000));
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'\n').toStdString();
    EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from Groups")).toInt(), 1);
    EXPECT_EQ(ServerSql(QStringLiteral("select count(*) from GroupAssigns")).toInt(), 0);
    EXPECT_EQ(BookChangeCount(client), 0);
    // A new group starts with no members.
    list = ListOver<TFormGroupsListNew>(client, dkGroups, &RecordEditorOf<TFormGroupEditor>);
    WhenModal<TFormGroupEditor>([](TFormGroupEditor* editor) {
        EXPECT_TRUE(Names(editor->dbgMembers).isEmpty());
        editor->btnCancel->click();
    });
    TNItemInfo g3;
    list->AddRecord(g3);
    EXPECT_FALSE(g3.Accepted);
}
