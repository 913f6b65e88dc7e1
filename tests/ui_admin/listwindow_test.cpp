// The list windows over real address books: adding, editing and deleting
// through the record editors (read back with SQL), cancelling, the sort menu
// and incremental search, the picker, the address-book choice, the guards and
// the side effects of deleting a contact, and the failure paths.
#include "adminfixture.h"

#include "data/dataerror.h"
#include "db/dberror.h"
#include "ui/admin/basegridlistform.h"
#include "ui/admin/databaseslist.h"
#include "ui/admin/pickonlycombo.h"
#include "ui/admin/typeeditors.h"
#include "ui/admin/typelists.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace {
using TContactsList = TFormContactsListNew;

std::unique_ptr<TContactsList> ContactsOver(const QList<TBaseDataClient*>& books, bool forSelection = false,
                                            TNSelectionList* picked = nullptr, TBaseDataClient** chosen = nullptr)
{
    return TBaseMultiDBGridListForm::ForDataClients<TContactsList>(
        nullptr, forSelection ? nullptr : &RecordEditorOf<TFormContactEditor>, books, dkContacts, forSelection, picked,
        chosen);
}

// When the contact editor is up: types into the named edit (empty: none),
// loads the embedded editor and closes with OK (or Cancel).
void WhenContactEditor(const char* editName, const QString& text, bool ok = true)
{
    WhenModal<TFormContactEditor>([=](TFormContactEditor* editor) {
        if (*editName)
            QTest::keyClicks(editor->findChild<TNDBEdit*>(QString::fromLatin1(editName)), text);
        editor->SetEmbeddedData(QStringLiteral("+64215551234,false"));
        editor->UpdateOkAction();
        (ok ? editor->btnOK : editor->btnCancel)->click();
        if (editor->isVisible()) {
            ADD_FAILURE() << "the contact editor stayed open";
            editor->reject();
        }
    });
}

TFormBaseEditor* FailingEditor(QWidget*, int, TNListForm*)
{
    throw EDatabaseError(QStringLiteral("The editor could not open"));
}

QStringList SortEntries(const TBaseMultiDBGridListForm& form)
{
    QStringList entries;
    for (QAction* item : form.miSortBy->actions())
        entries << item->text() + (item->isChecked() ? QStringLiteral("*") : QString());
    return entries;
}
}  // namespace

using ListWindowTest = AdminFixture;

TEST_F(ListWindowTest, AddEditCancelAndDeleteAContactThroughItsEditor)
{
    auto form = ContactsOver(Books());
    ASSERT_TRUE(form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("  Contacts"));
    EXPECT_TRUE(form->pnlUpper->isHidden());  // one address book
    TNDataSet* contacts = form->DataSet();
    EXPECT_EQ(contacts, Book()->GetDataSet(dkContacts));

    TNItemInfo info;
    WhenContactEditor("dbedtDisplayName", QStringLiteral("Zed"));
    form->AddRecord(info);
    ASSERT_TRUE(info.Accepted);
    EXPECT_EQ(info.Name, QStringLiteral("Zed"));
    EXPECT_EQ(BookValue(QStringLiteral("select ID from Contacts where Name = 'Zed'")).toInt(), info.ID);
    EXPECT_EQ(BookValue(QStringLiteral("select Data from Contacts where Name = 'Zed'")).toString(),
              QStringLiteral("+64215551234,false"));
    EXPECT_EQ(BookValue(QStringLiteral("select CarrierID from Contacts where Name = 'Zed'")),
              BookValue(QStringLiteral("select CarrierID from Contacts where Name = 'Bob'")));

    ASSERT_TRUE(form->LocateByID(ids[0]));
    WhenContactEditor("dbedtFirstNAme", QStringLiteral("Robert"));
    form->EditRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(info.ID, ids[0]);
    EXPECT_EQ(BookValue(QStringLiteral("select FirstName from Contacts where Name = 'Bob'")).toString(),
              QStringLiteral("Robert"));

    // Cancel leaves the table and the row as they were.
    WhenContactEditor("dbedtFirstNAme", QStringLiteral("XX"), false);
    form->EditRecord(info);
    EXPECT_FALSE(info.Accepted);
    WhenContactEditor("dbedtDisplayName", QStringLiteral("Ghost"), false);
    form->AddRecord(info);
    EXPECT_FALSE(info.Accepted);
    EXPECT_EQ(contacts->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(BookValue(QStringLiteral("select FirstName from Contacts where Name = 'Bob'")).toString(),
              QStringLiteral("Robert"));
    EXPECT_EQ(Rows(QStringLiteral("Contacts")), 4);

    ASSERT_TRUE(form->LocateByID(info.ID = ids[2]));
    form->actDeleteExecute();
    EXPECT_EQ(Rows(QStringLiteral("Contacts"), QStringLiteral("Name = 'Carl'")), 0);
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'|').toStdString();
}

TEST_F(ListWindowTest, FailuresCancelTheRowAndThePostedRowIsTheOneRead)
{
    auto form = ContactsOver(Books());
    TNDataSet* contacts = form->DataSet();

    // An insert the filter hides: ID and Name are still the posted row's.
    contacts->SetFilter(QStringLiteral("Name='Anna'"));
    contacts->SetFiltered(true);
    TNItemInfo info;
    WhenContactEditor("dbedtDisplayName", QStringLiteral("Zed"));
    form->AddRecord(info);
    contacts->SetFiltered(false);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(info.Name, QStringLiteral("Zed"));
    EXPECT_EQ(info.ID, BookValue(QStringLiteral("select ID from Contacts where Name = 'Zed'")).toInt());

    // A post the database refuses: reported, the row cancelled, nothing kept.
    contacts->SetBeforePost([](TNDataSet&) { throw EDatabaseError(QStringLiteral("Post refused")); });
    WhenContactEditor("dbedtDisplayName", QStringLiteral("Half"));
    form->AddRecord(info);
    EXPECT_FALSE(info.Accepted);
    EXPECT_EQ(contacts->State(), TDataSetState::dsBrowse);
    ASSERT_TRUE(form->LocateByID(ids[1]));
    WhenContactEditor("dbedtFirstNAme", QStringLiteral("Half"));
    form->EditRecord(info);
    EXPECT_EQ(contacts->State(), TDataSetState::dsBrowse);
    contacts->SetBeforePost(nullptr);
    contacts->Next();  // a later move has nothing left to post
    EXPECT_EQ(Rows(QStringLiteral("Contacts"), QStringLiteral("Name = 'Half' or FirstName = 'Half'")), 0);
    EXPECT_EQ(Answerer.Texts(), QStringList({QStringLiteral("Post refused"), QStringLiteral("Post refused")}));

    // An editor that fails to open: the appended row goes, the error shows.
    Answerer.Clear();
    auto failing = TBaseMultiDBGridListForm::ForDataClients<TContactsList>(nullptr, &FailingEditor, Books(), dkContacts,
                                                                           false, nullptr);
    const int before = contacts->RecordCount();
    failing->AddRecord(info);
    EXPECT_FALSE(info.Accepted);
    EXPECT_EQ(contacts->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(contacts->RecordCount(), before);
    EXPECT_EQ(Answerer.Texts(), QStringList{QStringLiteral("The editor could not open")});
}

TEST_F(ListWindowTest, SortMenuAndIncrementalSearch)
{
    auto form = ContactsOver(Books());
    EXPECT_EQ(SortEntries(*form), QStringList({"Carrier", "Company", "Contact*", "FirstName", "JobTitle", "LastName"}));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(form->edtSearch->isEnabled());
    EXPECT_EQ(form->lblSearchBy->text(), QStringLiteral("(Contact)"));
    QTest::keyClicks(form->edtSearch, QStringLiteral("an"));
    EXPECT_EQ(form->DataSet()->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Anna"));

    form->MySortByItemClick(0);  // "Carrier": sort only
    EXPECT_EQ(form->DataSet()->IndexFieldNames(), QStringLiteral("CarrierID"));
    EXPECT_FALSE(form->edtSearch->isEnabled());
    EXPECT_TRUE(form->edtSearch->text().isEmpty());
    EXPECT_TRUE(form->lblSearchBy->text().isEmpty());
    form->MySortByItemClick(2);
    EXPECT_TRUE(form->edtSearch->isEnabled());
    form->actCancelExecute();

    // Servers sort by "Server" (search) and "Type" (sort only) alone.
    auto servers = TBaseMultiDBGridListForm::ForDataClients<TFormServersListNew>(
        nullptr, &RecordEditorOf<TFormServerEditor>, Books(), dkServers, false, nullptr);
    EXPECT_EQ(SortEntries(*servers), QStringList({"Server*", "Type"}));
    EXPECT_EQ(servers->windowTitle(), QStringLiteral("  Edit Tovix Servers"));
}

TEST_F(ListWindowTest, PickerHandsBackTheMarkedRowsAndTheirBook)
{
    TNSelectionList picked;
    TBaseDataClient* chosen = nullptr;
    auto form = ContactsOver(Books(), true, &picked, &chosen);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("  Select Contact(s)"));
    EXPECT_TRUE(form->pnlEditAddDeleteBtns->isHidden());
    ASSERT_TRUE(form->LocateByID(ids[2]));
    const TBookmark carl = form->DataSet()->GetBookmark();
    ASSERT_TRUE(form->LocateByID(ids[0]));
    form->dbgDBGrid->MarkRows({carl});  // Ctrl+click
    form->actOkExecute();
    // Row order (by name): Bob before Carl.
    EXPECT_EQ(picked, TNSelectionList({{QStringLiteral("Bob"), ids[0]}, {QStringLiteral("Carl"), ids[2]}}));
    EXPECT_EQ(chosen, Book());

    // Cancel hands back nothing.
    TNSelectionList none;
    auto cancelled = ContactsOver(Books(), true, &none, &chosen);
    cancelled->actCancelExecute();
    EXPECT_TRUE(none.isEmpty());
}

TEST_F(ListWindowTest, PickerMarksTheRowItMovesToAndOkHandsBackTheFoundRow)
{
    TNSelectionList picked;
    auto form = ContactsOver(Books(), true, &picked);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TNDBGrid* grid = form->dbgDBGrid;
    TNDataSet* ds = form->DataSet();
    const auto marked = [&] {
        QStringList names;
        for (TBookmark mark : grid->SelectedBookmarks())
            names << ds->RowValue(ds->RowOfBookmark(mark), ds->FieldByName(QStringLiteral("Name"))).toString();
        return names;
    };
    const auto current = [&] { return ds->FieldByName(QStringLiteral("Name"))->AsString(); };
    // Keys on the grid: the mark goes with the cursor; Ctrl+click adds one.
    grid->setFocus();
    EXPECT_EQ(marked(), QStringList{QStringLiteral("Anna")});
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(current(), QStringLiteral("Carl"));
    EXPECT_EQ(marked(), QStringList{QStringLiteral("Carl")});
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      grid->visualRect(grid->model()->index(0, 0)).center());
    EXPECT_EQ(marked(), QStringList({QStringLiteral("Anna"), QStringLiteral("Carl")}));
    // A re-sort keeps the marks and the current row.
    form->MySortByItemClick(0);
    EXPECT_EQ(marked().size(), 2);
    EXPECT_EQ(grid->currentIndex().row(), ds->RecNo() - 1);
    form->MySortByItemClick(2);
    // The search moves cursor and mark to the row found; Enter hands it back.
    form->edtSearch->setFocus();
    QTest::keyClicks(form->edtSearch, QStringLiteral("bo"));
    EXPECT_EQ(current(), QStringLiteral("Bob"));
    EXPECT_EQ(grid->currentIndex().row(), ds->RecNo() - 1);
    EXPECT_EQ(marked(), QStringList{QStringLiteral("Bob")});
    QTest::keyClick(form->edtSearch, Qt::Key_Return);
    EXPECT_EQ(form->result(), int(QDialog::Accepted));
    EXPECT_EQ(picked, TNSelectionList({{QStringLiteral("Bob"), ids[0]}}));
}

TEST_F(ListWindowTest, SingleDatasetListAddsWithoutPresettingAReadOnlyID)
{
    class TNameList : public TBaseGridListForm {
    public:
        using TBaseGridListForm::TBaseGridListForm;
        void SetupGridColumns() override { dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Name"), 90); }
    };
    auto form = TBaseGridListForm::Create<TNameList>(nullptr, &RecordEditorOf<TFormContactEditor>,
                                                     Book()->GetDataSource(dkContacts), false, nullptr);
    EXPECT_EQ(form->NextTempID(), -1);  // not a client dataset
    TNItemInfo info;
    WhenContactEditor("dbedtDisplayName", QStringLiteral("Yan"));
    form->AddRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(info.ID, BookValue(QStringLiteral("select ID from Contacts where Name = 'Yan'")).toInt());

    TNSelectionList picked;
    auto picker =
        TBaseGridListForm::Create<TNameList>(nullptr, nullptr, Book()->GetDataSource(dkContacts), true, &picked);
    EXPECT_TRUE(picker->pnlEditAddDeleteBtns->isHidden());
    ASSERT_TRUE(picker->LocateByID(ids[1]));
    picker->actOkExecute();
    EXPECT_EQ(picked, TNSelectionList({{QStringLiteral("Anna"), ids[1]}}));
}

TEST_F(ListWindowTest, DeletingAContactTakesItOutOfTheTreeAndTheRecipients)
{
    TBaseDataClient* book = Book();
    RecipientList->AddItem(nkContact, QStringLiteral("Anna"), ids[1], book);
    RecipientList->AddItem(nkContact, QStringLiteral("Bob"), ids[0], book);
    const auto annaNodes = [&] {
        return tree->tvFolders->findItems(QStringLiteral("Anna"), Qt::MatchExactly | Qt::MatchRecursive).size();
    };
    ASSERT_EQ(annaNodes(), 1);

    auto form = ContactsOver(Books());
    ASSERT_TRUE(form->LocateByID(ids[1]));
    form->DeleteRecords();
    EXPECT_EQ(annaNodes(), 0);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("ContactID = %1").arg(ids[1])), 0);
    ASSERT_EQ(RecipientList->GetCount(), 1);
    EXPECT_EQ(RecipientList->GetRecipient(0)->Name, QStringLiteral("Bob"));
    EXPECT_EQ(Rows(QStringLiteral("Contacts")), 2);
}

TEST_F(ListWindowTest, ARecordOthersUseIsNotDeletedAndTheWarningCountsThem)
{
    const auto over = [this]<class L, class E>(TDataKind kind) {
        return TBaseMultiDBGridListForm::ForDataClients<L>(nullptr, &RecordEditorOf<E>, Books(), kind, false, nullptr);
    };
    const qint32 sms = BookValue(QStringLiteral("select ID from Carriers where Name = 'SMS'")).toInt();
    auto carriers = over.template operator()<TFormCarriersListNew, TFormCarrierEditorNew>(dkCarriers);
    ASSERT_TRUE(carriers->LocateByID(sms));
    carriers->actDeleteExecute();
    auto servers = over.template operator()<TFormServersListNew, TFormServerEditor>(dkServers);
    servers->actDeleteExecute();
    auto types = over.template operator()<TFormCarrierTypesListNew, TFormCarrierTypesEditorNew>(dkCarrierTypes);
    ASSERT_TRUE(types->DataSet()->Locate(QStringLiteral("TypeNo"), 4));
    types->actDeleteExecute();
    auto bookTypes = TBaseMultiDBGridListForm::ForDataSource<TFormDatabaseTypesListNew>(
        nullptr, &RecordEditorOf<TFormDatabaseTypeEditor>, DModLocalData->dsDatabaseTypes(), false, nullptr);
    ASSERT_TRUE(bookTypes->DataSet()->Locate(QStringLiteral("TypeNo"), 1));
    bookTypes->actDeleteExecute();
    EXPECT_EQ(Answerer.Texts(), QStringList({QStringLiteral("\"SMS\" cannot be deleted: 3 contacts use it."),
                                             QStringLiteral("\"S\" cannot be deleted: 1 carrier uses it."),
                                             QStringLiteral("\"SMS\" cannot be deleted: 1 carrier uses it."),
                                             QStringLiteral("\"Local\" cannot be deleted: 1 address book uses it.")}));
    EXPECT_EQ(Rows(QStringLiteral("Carriers")), 1);
    EXPECT_EQ(Rows(QStringLiteral("Servers")), 1);
    EXPECT_EQ(Rows(QStringLiteral("CarrierTypes"), QStringLiteral("TypeNo = 4")), 1);
    EXPECT_EQ(world.CountRows(QStringLiteral("DatabaseTypes")), 2);

    // Once nothing uses it, a record goes as before.
    ASSERT_TRUE(types->DataSet()->Locate(QStringLiteral("TypeNo"), 9));
    types->actDeleteExecute();
    EXPECT_EQ(Rows(QStringLiteral("CarrierTypes"), QStringLiteral("TypeNo = 9")), 0);
    EXPECT_EQ(Answerer.Texts().size(), 4);
}

TEST_F(ListWindowTest, TheBuiltInBookCannotBeEditedOrDeletedByAnyKey)
{
    auto books = TBaseGridListForm::Create<TFormDatabasesList>(nullptr, &RecordEditorOf<TFormDatabaseEditor>,
                                                               DModLocalData->dsQryDatabases(), false, nullptr);
    books->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(books.get()));
    ASSERT_EQ(books->DataSet()->FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("Local Database"));
    // The actions themselves, not only their buttons, once the window is idle.
    EXPECT_TRUE(WaitUntil([&] { return !books->actEdit->isEnabled() && !books->actDelete->isEnabled(); }));
    // An editor that opens is noted and closed.
    auto opened = std::make_shared<bool>(false);
    const auto noteEditor = [opened] {
        QTimer::singleShot(0, qApp, [opened] {
            if (auto* editor = qobject_cast<TFormBaseEditor*>(QApplication::activeModalWidget())) {
                *opened = true;
                editor->reject();
            }
        });
    };
    noteEditor();
    QTest::keyClick(books->dbgDBGrid, Qt::Key_Return);
    noteEditor();
    emit books->dbgDBGrid->doubleClicked(books->dbgDBGrid->currentIndex());
    noteEditor();
    TNItemInfo info;
    books->EditRecord(info);
    books->DeleteRecords();
    QCoreApplication::processEvents();
    EXPECT_FALSE(*opened);
    EXPECT_FALSE(info.Accepted);
    EXPECT_EQ(world.CountRows(QStringLiteral("Databases")), 1);
}

namespace {
// An address book that serves no rows of any kind (as a shared book serves
// no servers).
class TNoServersClient : public TBaseDataClient {
public:
    ~TNoServersClient() override { ReleaseClient(); }
    bool InitConnection(const QString&) override { return true; }
    TNDataSet* GetDataSet(TDataKind) override { throw EDataError(QStringLiteral("Unknown dataKind")); }
    QList<TNDataSet*> DataSets() override { return {}; }
};

class TwoBooksTest : public AdminFixture {
protected:
    void SetUp() override
    {
        withSecondBook = true;
        AdminFixture::SetUp();
    }
};
}  // namespace

TEST_F(TwoBooksTest, TheBookComboRemembersRefusesAndGuardsAdd)
{
    ASSERT_EQ(DataClients.Count(), 2);
    FormSettingsIni->WriteInteger(QStringLiteral("TFormContactsListNew"), QStringLiteral("LastUsedDatabaseIndex"), 1);
    {
        auto form = ContactsOver(Books());
        form->show();
        EXPECT_FALSE(form->pnlUpper->isHidden());
        EXPECT_EQ(form->cbDatabases->count(), 2);
        EXPECT_EQ(form->cbDatabases->currentIndex(), 1);
        EXPECT_EQ(form->ListDataClient(), Book(1));
        EXPECT_EQ(form->DataSet(), Book(1)->GetDataSet(dkContacts));
        // The second book has no carrier: Add warns and appends nothing.
        form->actAddExecute();
        EXPECT_EQ(Answerer.Texts(),
                  QStringList{QStringLiteral("You need to define at least one Carrier before adding Contacts !")});
        EXPECT_EQ(form->DataSet()->State(), TDataSetState::dsBrowse);
        EXPECT_EQ(form->DataSet()->RecordCount(), 0);
        // The folder tree's New Contact is refused the same way.
        TNItemInfo info;
        auto opened = std::make_shared<bool>(false);
        WhenModal<TFormContactEditor>(
            [opened](TFormContactEditor* editor) {
                *opened = true;
                editor->reject();
            },
            5);
        EXPECT_TRUE(AddRecordInBook(dkContacts, Book(1), info));
        EXPECT_FALSE(*opened);
        EXPECT_FALSE(info.Accepted);
        EXPECT_EQ(Answerer.Texts().size(), 2);
        EXPECT_EQ(Answerer.Texts().value(1), Answerer.Texts().value(0));
        EXPECT_EQ(form->DataSet()->RecordCount(), 0);
        form->cbDatabases->setCurrentIndex(0);
        form->MyCbDatabasesCloseUp();
        EXPECT_EQ(form->DataSet(), Book(0)->GetDataSet(dkContacts));
    }
    const auto lastUsed = [] {
        return FormSettingsIni->ReadInteger(QStringLiteral("TFormContactsListNew"),
                                            QStringLiteral("LastUsedDatabaseIndex"), -1);
    };
    EXPECT_EQ(lastUsed(), 0);
    // A window driven without showing leaves the stored choice alone.
    FormSettingsIni->WriteInteger(QStringLiteral("TFormContactsListNew"), QStringLiteral("LastUsedDatabaseIndex"), 1);
    TBaseMultiDBGridListForm::ForDataSource<TContactsList>(nullptr, nullptr, Book(1)->GetDataSource(dkContacts), false,
                                                           nullptr)
        .reset();
    EXPECT_EQ(lastUsed(), 1);

    // A book that does not serve the window's kind is refused; the list
    // stays on the book it showed.
    Answerer.Clear();
    std::unique_ptr<TBaseDataClient> shared(
        CreateDataClient(&DataClientClassOf<TNoServersClient>, QStringLiteral("Shared"),
                         QStringLiteral("{00000000-0000-0000-0000-0000000000C3}"), QString()));
    auto servers = TBaseMultiDBGridListForm::ForDataClients<TFormServersListNew>(
        nullptr, &RecordEditorOf<TFormServerEditor>, {Book(0), shared.get()}, dkServers, false, nullptr);
    servers->cbDatabases->setCurrentIndex(1);
    servers->MyCbDatabasesCloseUp();
    EXPECT_EQ(servers->cbDatabases->currentIndex(), 0);
    EXPECT_EQ(servers->ListDataClient(), Book(0));
    EXPECT_EQ(servers->DataSet(), Book(0)->GetDataSet(dkServers));
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts().first().contains(QStringLiteral("\"Shared\"")));
}
