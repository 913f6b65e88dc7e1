#include "ui/admin/entitylists.h"

#include "data/basedataclient.h"
#include "platform/messagedlg.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/dbcontrols/dbgrid.h"

namespace {
// A warning when the book holds no row of the kind that Add needs.
bool HasRowsFor(TBaseDataClient* book, TDataKind kind, const char* warning)
{
    if (book && book->GetRecordCount(kind) >= 1)
        return true;
    MessageDlg(QString::fromLatin1(warning), TMsgDlgType::mtWarning, mbOK);
    return false;
}

// A contact or group about to be deleted leaves the folder tree and the
// recipients list (of this book only).
void ForgetRow(TNodeKind kind, TNDataSet& dataSet, TBaseDataClient* book)
{
    ForgetRecordInViews(kind, dataSet.FieldByName(QStringLiteral("ID"))->AsInteger(), book);
}
}  // namespace

// --- contacts

TFormContactsListNew::TFormContactsListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Contacts"));
    setProperty("HelpContext", 1040);
}

void TFormContactsListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Contact"), 60);
    dbgDBGrid->AddColumn(QStringLiteral("FirstName"), QStringLiteral("FirstName"), 60);
    dbgDBGrid->AddColumn(QStringLiteral("LastName"), QStringLiteral("LastName"), 60);
    dbgDBGrid->AddColumn(QStringLiteral("Company"), QStringLiteral("Company"), 50);
    dbgDBGrid->AddColumn(QStringLiteral("JobTitle"), QStringLiteral("JobTitle"), 50);
    dbgDBGrid->AddColumn(QStringLiteral("FLCarriers_Name"), QStringLiteral("Carrier"), 60);
    if (ForSelection())
        setWindowTitle(QStringLiteral("  Select Contact(s)"));
}

void TFormContactsListNew::BuildSortList()
{
    TBaseMultiDBGridListForm::BuildSortList();
    AddSortEntry(QStringLiteral("Carrier"), QStringLiteral("CarrierID"), 1);
}

void TFormContactsListNew::AddRecord(TNItemInfo& info)
{
    info.Accepted = false;
    if (HasRowsFor(DataClient, dkCarriers, "You need to define at least one Carrier before adding Contacts !"))
        TBaseMultiDBGridListForm::AddRecord(info);
}

void TFormContactsListNew::BeforeDeleteRow(TNDataSet& dataSet)
{
    ForgetRow(nkContact, dataSet, DataClient);
}

// --- groups

TFormGroupsListNew::TFormGroupsListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Groups"));
    setProperty("HelpContext", 1042);
}

void TFormGroupsListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Group"), 90);
    dbgDBGrid->AddColumn(QStringLiteral("Description"), QStringLiteral("Description"), 250);
    if (ForSelection())
        setWindowTitle(QStringLiteral("  Select Groups(s)"));
}

void TFormGroupsListNew::BuildSortList()
{
    ClearSortList();
    AddSortEntry(QStringLiteral("Group"), QStringLiteral("Name"), 0);
}

void TFormGroupsListNew::BeforeDeleteRow(TNDataSet& dataSet)
{
    ForgetRow(nkGroup, dataSet, DataClient);
}

void TFormGroupsListNew::actRefreshExecute()
{
    // The memberships come with the groups: one exchange for a shared book
    // (an apply sends the whole book anyway).
    ClientRefresh(DataClient, {DataKind(), dkGroupAssigns}, DataSet());
    if (DataClient && !IsClientDataSet(DataSet()))
        DataClient->GetDataSet(dkGroupAssigns)->Refresh();
}

TNDataSet* TFormGroupsListNew::Assigns() const
{
    return DataClient && IsClientDataSet(DataSet()) ? DataClient->GetDataSet(dkGroupAssigns) : nullptr;
}

void TFormGroupsListNew::UpdateListActions()
{
    TBaseMultiDBGridListForm::UpdateListActions();
    // The memberships the group editor changed are this list's to cancel.
    if (IsClientDataSet(DataSet()) && ClientChangeCount(Assigns()) > 0)
        actCancelChanges->setEnabled(true);
}

void TFormGroupsListNew::actCancelChangesExecute()
{
    // The memberships the group editor wrote go back with their groups.
    CancelChangesOf(DataClient, DataSet(), {DataKind(), dkGroupAssigns});
}

// --- carriers

TFormCarriersListNew::TFormCarriersListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Carriers"));
    setProperty("HelpContext", 1046);
}

void TFormCarriersListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Carrier"), 90);
    dbgDBGrid->AddColumn(QStringLiteral("FLCarrierTypes_Name"), QStringLiteral("CarrierType"), 250);
}

void TFormCarriersListNew::BuildSortList()
{
    TBaseMultiDBGridListForm::BuildSortList();
    AddSortEntry(QStringLiteral("Carrier Type"), QStringLiteral("TypeNo"), 1);
}

void TFormCarriersListNew::AddRecord(TNItemInfo& info)
{
    info.Accepted = false;
    if (BookKeepsServers(DataClient) &&
        !HasRowsFor(DataClient, dkServers, "You need to define at least one Server before adding Carriers !"))
        return;
    // A carrier's type picks its settings editor: a carrier without one
    // could never be addressed. A book that counts no carrier types (a
    // local one, whose types come with it) is not asked.
    if (DataClient && DataClient->GetRecordCount(dkCarrierTypes) == 0) {
        MessageDlg(QStringLiteral("You need to define at least one Carrier Type before adding Carriers !%1")
                       .arg(BookKeepsServers(DataClient)
                                ? QString()
                                : QStringLiteral(" (The carrier types of a shared address book come from its "
                                                 "server with its carriers: Refresh the Carriers list.)")),
                   TMsgDlgType::mtWarning, mbOK);
        return;
    }
    TBaseMultiDBGridListForm::AddRecord(info);
}

void TFormCarriersListNew::actRefreshExecute()
{
    // A shared book's carrier types come with its carriers: no window lists
    // them, and a carrier's type picks its settings editor and names it in
    // the grid. A local book's types are its own and need no refresh.
    if (BookKeepsServers(DataClient) || !IsClientDataSet(DataSet()))
        return TBaseMultiDBGridListForm::actRefreshExecute();
    ClientRefresh(DataClient, {dkCarrierTypes, DataKind()}, DataSet());
}

// --- servers

TFormServersListNew::TFormServersListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Edit Tovix Servers"));
    setProperty("HelpContext", 1048);
}

void TFormServersListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Server"), 250);
    dbgDBGrid->AddColumn(QStringLiteral("TypeNo"), QStringLiteral("Type"), 40);
    dbgDBGrid->AddColumn(QStringLiteral("Data"), QStringLiteral("Settings"), 200);
    if (ForSelection())
        setWindowTitle(QStringLiteral("  Select Servers"));
}

void TFormServersListNew::BuildSortList()
{
    ClearSortList();
    AddSortEntry(QStringLiteral("Server"), QStringLiteral("Name"), 0);
    AddSortEntry(QStringLiteral("Type"), QStringLiteral("TypeNo"), 1);
}
