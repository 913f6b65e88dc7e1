#include "ui/admin/basemultidbgridlistform.h"

#include "data/basedataclient.h"
#include "data/recordusage.h"
#include "db/datasource.h"
#include "foundation/formsettings.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "ui/admin/actionbutton.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/admin/formbaseeditor.h"
#include "ui/admin/pickonlycombo.h"
#include "ui/dbcontrols/dbgrid.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QString kLastUsedDatabaseIndex = QStringLiteral("LastUsedDatabaseIndex");

QString EntryTitle(const QString& entry)
{
    return entry.section(u'=', 0, 0);
}

QString EntryField(const QString& entry)
{
    return entry.section(u'=', 1);
}
}  // namespace

TBaseMultiDBGridListForm::TBaseMultiDBGridListForm(QWidget* owner, TRecordEditorClass editorClass)
    : TNListFormBase(owner, editorClass)
{
    BuildLayout();
}

TBaseMultiDBGridListForm::~TBaseMultiDBGridListForm()
{
    StoreFormSettings();
}

void TBaseMultiDBGridListForm::BuildLayout()
{
    pnlUpper = new QWidget(this);
    pnlUpper->setObjectName(QStringLiteral("pnlUpper"));
    cbDatabases = new TNPickOnlyCombo(pnlUpper);
    cbDatabases->setObjectName(QStringLiteral("cbDatabases"));
    auto* upper = new QHBoxLayout(pnlUpper);
    upper->setContentsMargins(8, 6, 8, 2);
    auto* selectLabel = new QLabel(QStringLiteral("&Select Database : "), pnlUpper);
    selectLabel->setBuddy(cbDatabases);
    upper->addWidget(selectLabel);
    upper->addWidget(cbDatabases, 1);
    connect(cbDatabases, &TNPickOnlyCombo::DropDown, this, [this] { m_comboDroppedDown = true; });
    connect(cbDatabases, &TNPickOnlyCombo::CloseUp, this, &TBaseMultiDBGridListForm::MyCbDatabasesCloseUp);

    pnlSearch = new QWidget(this);
    pnlSearch->setObjectName(QStringLiteral("pnlSearch"));
    edtSearch = new QLineEdit(pnlSearch);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    lblSearch = new QLabel(QStringLiteral("&Find : "), pnlSearch);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    lblSearch->setBuddy(edtSearch);
    lblSearchBy = new QLabel(pnlSearch);
    lblSearchBy->setObjectName(QStringLiteral("lblSearchBy"));
    auto* search = new QHBoxLayout(pnlSearch);
    search->setContentsMargins(8, 2, 8, 2);
    search->addWidget(lblSearch);
    search->addWidget(edtSearch, 1);
    search->addWidget(lblSearchBy);
    connect(edtSearch, &QLineEdit::textChanged, this, &TBaseMultiDBGridListForm::edtSearchChange);

    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    miSortBy = mnuPopup->addMenu(QStringLiteral("Sort By"));
    miSortBy->setObjectName(QStringLiteral("miSortBy"));
    dbgDBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dbgDBGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnuPopup->popup(dbgDBGrid->viewport()->mapToGlobal(pos)); });

    actApplyUpdates = NewWindowAction(this, QStringLiteral("ApplyUpdates"), QStringLiteral("actApplyUpdates"));
    actRefresh = NewWindowAction(this, QStringLiteral("Refresh"), QStringLiteral("actRefresh"));
    actCancelChanges = NewWindowAction(this, QStringLiteral("CancelChanges"), QStringLiteral("actCancelChanges"));
    connect(actApplyUpdates, &QAction::triggered, this, [this] { actApplyUpdatesExecute(); });
    connect(actRefresh, &QAction::triggered, this, [this] { actRefreshExecute(); });
    connect(actCancelChanges, &QAction::triggered, this, [this] { actCancelChangesExecute(); });
    auto* editButtons = static_cast<QHBoxLayout*>(pnlEditAddDeleteBtns->layout());
    int at = 0;
    for (QAction* action : {actApplyUpdates, actRefresh, actCancelChanges}) {
        action->setVisible(false);
        editButtons->insertWidget(
            at++, NewActionButton(action, pnlEditAddDeleteBtns, QStringLiteral("btn") + action->objectName().mid(3)));
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlUpper);
    layout->addWidget(pnlSearch);
    layout->addWidget(dbgDBGrid, 1);
    layout->addWidget(pnlEditAddDeleteBtns);
    layout->addWidget(pnlOkCancelBtns);
    resize(DesignWidth, DesignHeight);
}

bool TBaseMultiDBGridListForm::CheckClients(const QList<TBaseDataClient*>& clients)
{
    if (!clients.isEmpty())
        return true;
    MessageDlg(
        QStringLiteral("Error: There are no DataBases defined ! (TBaseMultiDBGridListForm.CreateForDataClients())"),
        TMsgDlgType::mtWarning, mbOK);
    return false;
}

void TBaseMultiDBGridListForm::InitForDataSource(TNDataSource* source, bool forSelection, TNSelectionList* resultList)
{
    InitCommon(forSelection, resultList);
    dbgDBGrid->SetMultiSelect(forSelection);
    pnlUpper->setFixedHeight(1);
    pnlUpper->setVisible(false);
    TakeDataSource(source);
    TNDataSet* ds = DataSet();
    WasActive = ds && ds->Active();
    if (auto* owner = ds ? qobject_cast<TBaseDataClient*>(ds->OwnerObject()) : nullptr) {
        DataClient = owner;
        setWindowTitle(windowTitle() + QStringLiteral("  from Database: \"%1\"").arg(owner->Name()));
        // The kind the dataset serves in its book (for apply and refresh).
        for (int kind = 0; kind < DataKindCount; ++kind) {
            try {
                if (owner->GetDataSet(TDataKind(kind)) == ds)
                    m_dataKind = TDataKind(kind);
            } catch (const std::exception&) {
                // A kind the book does not serve.
            }
        }
    }
    OpenDataSet();
    BuildSortList();
    BuildSortMenu();
    SaveChangePoint();
    RestoreFormSettings();
}

void TBaseMultiDBGridListForm::InitForDataClients(const QList<TBaseDataClient*>& clients, TDataKind kind,
                                                  bool forSelection, TNSelectionList* resultList)
{
    InitCommon(forSelection, resultList);
    dbgDBGrid->SetMultiSelect(forSelection);
    Clients = clients;
    if (clients.size() < 2) {
        pnlUpper->setFixedHeight(1);
        pnlUpper->setVisible(false);
    }
    m_dataKind = kind;
    FillDatabasesCombo();
    RestoreFormSettings();
}

void TBaseMultiDBGridListForm::FillDatabasesCombo()
{
    cbDatabases->clear();
    for (TBaseDataClient* client : std::as_const(Clients))
        cbDatabases->addItem(client->Name());
    cbDatabases->setCurrentIndex(0);
    m_comboFilled = true;
    LoadLastUsedDatabaseIndex();
    MyCbDatabasesCloseUp();
    // A first choice that serves no rows of this kind: the first book that
    // does (with the warning already given).
    for (int i = 0; i < cbDatabases->count() && m_clientIndex < 0; ++i) {
        cbDatabases->setCurrentIndex(i);
        MyCbDatabasesCloseUp();
    }
}

void TBaseMultiDBGridListForm::LoadLastUsedDatabaseIndex()
{
    if (!FormSettingsIni)
        return;
    const int index =
        FormSettingsIni->ReadInteger(QString::fromLatin1(metaObject()->className()), kLastUsedDatabaseIndex, -1);
    if (index > -1 && cbDatabases->count() > 1 && index < cbDatabases->count())
        cbDatabases->setCurrentIndex(index);
}

void TBaseMultiDBGridListForm::MyCbDatabasesCloseUp()
{
    if (m_comboDroppedDown)
        dbgDBGrid->setFocus();
    m_comboDroppedDown = true;
    const int index = cbDatabases->currentIndex();
    if (index < 0 || index >= Clients.size())
        return;
    TBaseDataClient* client = Clients.at(index);
    TNDataSource* source = nullptr;
    try {
        // Ask first: a book that does not serve this kind leaves the window
        // on the book it showed.
        source = client->GetDataSource(m_dataKind);
        if (!source || source->DataSet() != client->GetDataSet(m_dataKind))
            throw std::runtime_error("no data source");
    } catch (const std::exception&) {
        MessageDlg(QStringLiteral("The database \"%1\" holds no records of this kind; the list stays on the "
                                  "previous database.")
                       .arg(client->Name()),
                   TMsgDlgType::mtWarning, mbOK);
        cbDatabases->setCurrentIndex(m_clientIndex);
        return;
    }
    DataClient = client;
    m_clientIndex = index;
    TakeDataSource(source);
    TakeDataSet();
}

void TBaseMultiDBGridListForm::TakeDataSet()
{
    TNDataSet* ds = DataSet();
    WasActive = ds && ds->Active();
    OpenDataSet();
    BuildSortList();
    BuildSortMenu();
    SaveChangePoint();
}

void TBaseMultiDBGridListForm::OpenDataSet()
{
    TNDataSet* ds = DataSet();
    if (ds && ds->Active() && !IsClientDataSet(ds))
        ds->Refresh();
    TNListFormBase::OpenDataSet();
}

qint32 TBaseMultiDBGridListForm::GetNewRecordID()
{
    return DataClient ? DataClient->GetNextTempID(DataSet()) : -1;
}

void TBaseMultiDBGridListForm::PrepareNewRow()
{
    if (TNField* id = WritableIDField())
        id->SetAsInteger(GetNewRecordID());
}

void TBaseMultiDBGridListForm::RowPosted(TFormBaseEditor& editor)
{
    editor.AfterRecordPosted();
}

QString TBaseMultiDBGridListForm::RowInUseWarning(TNDataSet& dataSet)
{
    TRecordReference reference;
    if (!DataClient || !RecordReferenceOf(m_dataKind, reference))
        return QString();
    const QString name = dataSet.FieldByName(QStringLiteral("Name"))->AsString();
    const qint32 users = CountRecordsUsing(*DataClient, m_dataKind, dataSet.FieldByName(reference.KeyField)->Value());
    if (users >= 1)
        return InUseWarning(name, users, reference.UserSingular, reference.UserPlural);
    if (!AllUsersAtHand(*DataClient, m_dataKind, dataSet.FieldByName(QStringLiteral("ID"))->AsInteger()))
        return UsersNotFetchedWarning(name, DataClient->Name(), reference);
    return QString();
}

void TBaseMultiDBGridListForm::UpdateListActions()
{
    TNListFormBase::UpdateListActions();
    TNDataSet* ds = DataSet();
    const bool client = IsClientDataSet(ds);
    for (QAction* action : {actApplyUpdates, actRefresh, actCancelChanges})
        action->setVisible(client);
    if (client) {
        // Apply sends the whole book, so any change waiting in it (folders
        // and placements made in the tree too) enables it; Cancel undoes
        // only this list's.
        const bool changed = ClientChangeCount(ds) > 0;
        actApplyUpdates->setEnabled(changed || BookChangeCount(DataClient) > 0);
        actCancelChanges->setEnabled(changed);
        actRefresh->setEnabled(true);
    }
    miSortBy->setEnabled(!miSortBy->actions().isEmpty());
}

void TBaseMultiDBGridListForm::actApplyUpdatesExecute()
{
    ClientApplyUpdates(DataClient, m_dataKind);
}

void TBaseMultiDBGridListForm::actRefreshExecute()
{
    ClientRefresh(DataClient, {m_dataKind}, DataSet());
}

void TBaseMultiDBGridListForm::actCancelChangesExecute()
{
    CancelChangesOf(DataClient, DataSet(), {m_dataKind});
}

void TBaseMultiDBGridListForm::HandBackChoice()
{
    if (SelectedClientRef)
        *SelectedClientRef = DataClient;
}

void TBaseMultiDBGridListForm::actDeleteExecute()
{
    TNListFormBase::actDeleteExecute();
    if (dbgDBGrid->MultiSelect())
        dbgDBGrid->MarkCurrentRow();
}

// --- sorting and searching

void TBaseMultiDBGridListForm::AddSortEntry(const QString& title, const QString& fieldName, int object)
{
    const QString entry = title + u'=' + fieldName;
    const auto less = [](const QPair<QString, int>& a, const QString& b) {
        return a.first.compare(b, Qt::CaseInsensitive) < 0;
    };
    auto at = std::lower_bound(m_sortList.begin(), m_sortList.end(), entry, less);
    if (at != m_sortList.end() && at->first.compare(entry, Qt::CaseInsensitive) == 0)
        return;  // duplicates are ignored
    m_sortList.insert(at, {entry, object});
}

void TBaseMultiDBGridListForm::BuildSortList()
{
    m_sortList.clear();
    for (int i = 0; i < dbgDBGrid->ColumnCount(); ++i) {
        TNField* field = dbgDBGrid->ColumnField(i);
        if (field && field->FieldClass() == TFieldClass::fcData)
            AddSortEntry(dbgDBGrid->ColumnTitle(i), dbgDBGrid->ColumnFieldName(i), 0);
    }
}

void TBaseMultiDBGridListForm::BuildSortMenu()
{
    miSortBy->clear();
    delete m_sortGroup;
    m_sortGroup = new QActionGroup(this);
    m_checkedSort = -1;
    const QString current = DataSet() ? GetIndexFieldNames() : QString();
    for (int i = 0; i < m_sortList.size(); ++i) {
        const auto& [entry, object] = m_sortList.at(i);
        QAction* item = miSortBy->addAction(EntryTitle(entry));
        item->setCheckable(true);
        item->setData(object);
        m_sortGroup->addAction(item);
        if (m_checkedSort < 0 && EntryField(entry) == current) {
            item->setChecked(true);
            m_checkedSort = i;
        }
        connect(item, &QAction::triggered, this, [this, i] { MySortByItemClick(i); });
    }
}

void TBaseMultiDBGridListForm::MySortByItemClick(int index)
{
    if (index < 0 || index >= m_sortList.size())
        return;
    const bool wasChecked = m_checkedSort == index;
    miSortBy->actions().at(index)->setChecked(true);
    m_checkedSort = index;
    SetIndexFieldNames(EntryField(m_sortList.at(index).first));
    UpdateSearchState();
    if (!wasChecked)
        edtSearch->clear();
}

QString TBaseMultiDBGridListForm::GetIndexFieldNames() const
{
    TNDataSet* ds = DataSet();
    if (!ds)
        throw std::runtime_error("Error from TBaseMultiDBGridListForm.GetIndexFieldNames()");
    return ds->IndexFieldNames();
}

void TBaseMultiDBGridListForm::SetIndexFieldNames(const QString& names)
{
    if (TNDataSet* ds = DataSet())
        ds->SetIndexFieldNames(names);
}

void TBaseMultiDBGridListForm::UpdateSearchState()
{
    for (QAction* item : miSortBy->actions())
        if (item->isChecked()) {
            if (item->data().toInt() != 0)
                break;
            EnableSearch();
            lblSearchBy->setText(QStringLiteral("(%1)").arg(item->text().remove(u'&')));
            return;
        }
    DisableSearch();
}

void TBaseMultiDBGridListForm::EnableSearch()
{
    edtSearch->setEnabled(true);
    edtSearch->setBackgroundRole(QPalette::Base);
    lblSearch->setEnabled(true);
    lblSearchBy->setEnabled(true);
}

void TBaseMultiDBGridListForm::DisableSearch()
{
    edtSearch->setEnabled(false);
    edtSearch->setBackgroundRole(QPalette::Button);
    lblSearch->setEnabled(false);
    lblSearchBy->setEnabled(false);
    lblSearchBy->clear();
    edtSearch->clear();
}

void TBaseMultiDBGridListForm::edtSearchChange(const QString& text)
{
    TNDataSet* ds = DataSet();
    // SQL tables and a shared book's cached rows alike.
    if (!ds || !ds->Active() || text.isEmpty())
        return;
    const QString names = GetIndexFieldNames();
    if (names.isEmpty())
        return;
    // A sort entry names one field; the search key goes to the first.
    ds->Locate(names.section(u';', 0, 0).section(u' ', 0, 0), text, loCaseInsensitive | loPartialKey);
}

void TBaseMultiDBGridListForm::showEvent(QShowEvent* event)
{
    TNListFormBase::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    UpdateSearchState();
    if (edtSearch->isEnabled())
        edtSearch->setFocus();
}

void TBaseMultiDBGridListForm::SaveFormSettings(QString& section)
{
    TNListFormBase::SaveFormSettings(section);
    if (EverShown() && FormSettingsIni)
        FormSettingsIni->WriteInteger(section, kLastUsedDatabaseIndex,
                                      m_comboFilled ? cbDatabases->currentIndex() : -1);
}
