// The group editor over a real address book: members moved both ways
// through the grids, the membership rows written once by OK (read back with
// SQL), Cancel leaving them as they were; and the carrier-type and template
// editors' checks through their list windows.
#include "adminfixture.h"

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
