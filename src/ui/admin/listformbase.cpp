#include "ui/admin/listformbase.h"

#include "db/clientdataset.h"
#include "db/datasource.h"
#include "foundation/formsettings.h"
#include "foundation/yebcorner.h"
#include "platform/idleupdates.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "ui/admin/actionbutton.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/admin/formbaseeditor.h"
#include "ui/dbcontrols/dbgrid.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>

namespace {
void ReportFailure(const std::exception& error)
{
    MessageDlg(QString::fromUtf8(error.what()), TMsgDlgType::mtError, mbOK);
}

// Leaves no half-made row behind: a row still being inserted or edited is
// cancelled. Never throws.
void CancelPending(TNDataSet* dataSet) noexcept
{
    try {
        if (dataSet && (dataSet->State() == TDataSetState::dsInsert || dataSet->State() == TDataSetState::dsEdit))
            dataSet->Cancel();
    } catch (...) {
    }
}
}  // namespace

TNListFormBase::TNListFormBase(QWidget* owner, TRecordEditorClass editorClass)
    : QDialog(owner), TFormBase(this), EditorClass(editorClass)
{
    setModal(true);
    dbgDBGrid = new TNDBGrid(this);
    dbgDBGrid->setObjectName(QStringLiteral("dbgDBGrid"));

    actAdd = NewWindowAction(this, QStringLiteral("&Add"), QStringLiteral("actAdd"));
    actEdit = NewWindowAction(this, QStringLiteral("&Edit"), QStringLiteral("actEdit"));
    actDelete = NewWindowAction(this, QStringLiteral("&Delete"), QStringLiteral("actDelete"));
    actOk = NewWindowAction(this, QStringLiteral("&OK"), QStringLiteral("actOk"));
    actCancel = NewWindowAction(this, QStringLiteral("&Cancel"), QStringLiteral("actCancel"));
    connect(actAdd, &QAction::triggered, this, [this] { actAddExecute(); });
    connect(actEdit, &QAction::triggered, this, [this] { actEditExecute(); });
    connect(actDelete, &QAction::triggered, this, [this] { actDeleteExecute(); });
    connect(actOk, &QAction::triggered, this, [this] { actOkExecute(); });
    connect(actCancel, &QAction::triggered, this, [this] { actCancelExecute(); });

    pnlEditAddDeleteBtns = new QWidget(this);
    pnlEditAddDeleteBtns->setObjectName(QStringLiteral("pnlEditAddDeleteBtns"));
    auto* editButtons = new QHBoxLayout(pnlEditAddDeleteBtns);
    editButtons->setContentsMargins(8, 4, 8, 4);
    editButtons->addStretch();
    editButtons->addWidget(NewActionButton(actEdit, pnlEditAddDeleteBtns, QStringLiteral("btnEdit")));
    editButtons->addWidget(NewActionButton(actAdd, pnlEditAddDeleteBtns, QStringLiteral("btnAdd")));
    editButtons->addWidget(NewActionButton(actDelete, pnlEditAddDeleteBtns, QStringLiteral("btnDelete")));

    pnlOkCancelBtns = new QWidget(this);
    pnlOkCancelBtns->setObjectName(QStringLiteral("pnlOkCancelBtns"));
    auto* okButtons = new QHBoxLayout(pnlOkCancelBtns);
    okButtons->setContentsMargins(8, 8, TYebCorner::GripSize + 8, 8);
    okButtons->addStretch();
    QPushButton* ok = NewActionButton(actOk, pnlOkCancelBtns, QStringLiteral("btnOk"));
    ok->setDefault(true);
    okButtons->addWidget(ok);
    okButtons->addWidget(NewActionButton(actCancel, pnlOkCancelBtns, QStringLiteral("btnCancel")));
    new TYebCorner(pnlOkCancelBtns);

    connect(dbgDBGrid, &TNDBGrid::RowActivated, this, [this] {
        if (m_forSelection)
            actOkExecute();
        else if (actEdit->isEnabled())
            actEditExecute();
    });
    OnIdle(this, [this] { UpdateListActions(); });
}

TNListFormBase::~TNListFormBase()
{
    // The family's own keys need the derived part: it stores first.
    StoreFormSettings();
}

TNDataSet* TNListFormBase::DataSet() const
{
    return DataSource ? DataSource->DataSet() : nullptr;
}

void TNListFormBase::InitCommon(bool forSelection, TNSelectionList* resultList)
{
    m_forSelection = forSelection;
    if (forSelection) {
        pnlEditAddDeleteBtns->setFixedHeight(1);
        pnlEditAddDeleteBtns->setVisible(false);
        ResultList = resultList;
    }
    SetupGridColumns();
    LoadColumnWidths();
}

void TNListFormBase::TakeDataSource(TNDataSource* source)
{
    DataSource = source;
    dbgDBGrid->SetDataSource(source);
}

void TNListFormBase::OpenDataSet()
{
    TNDataSet* ds = DataSet();
    if (!ds)
        return;
    if (!ds->Active())
        ds->Open();
    if (dbgDBGrid->MultiSelect())
        dbgDBGrid->MarkCurrentRow();
}

void TNListFormBase::UpdateListActions()
{
    TNDataSet* ds = DataSet();
    const int n = ds && ds->Active() ? ds->RecordCount() : 0;
    // A picker built without an editor class adds and edits nothing.
    const bool editor = EditorClass != nullptr;
    actAdd->setEnabled(ds != nullptr && editor);
    actDelete->setEnabled(n >= 1);
    if (dbgDBGrid->MultiSelect()) {
        const int m = dbgDBGrid->SelectedCount();
        actEdit->setEnabled(editor && (m == 1 || (m == 0 && n >= 1)));
    } else {
        actEdit->setEnabled(editor && n >= 1);
    }
}

void TNListFormBase::SaveChangePoint()
{
    if (IsClientDataSet(DataSet()))
        ChangePoint = WayBackPoint();
}

void TNListFormBase::RevertToChangePoint()
{
    // Only a change log can be undone: rows posted to a database stay. In
    // a shared book the window's editors and deletes reach other datasets
    // too (memberships, placements): they go back with the window's rows.
    if (IsClientDataSet(DataSet()))
        TakeBackSince(DataClient, DataSet(), ChangePoint);
}

TNField* TNListFormBase::WritableIDField() const
{
    TNDataSet* ds = DataSet();
    TNField* id = ds ? ds->FindField(QStringLiteral("ID")) : nullptr;
    return id && !id->ReadOnly() ? id : nullptr;
}

void TNListFormBase::RunEditor(int mode, TNItemInfo& info)
{
    TNDataSet* ds = DataSet();
    if (!ds || !EditorClass)
        return;
    std::unique_ptr<TFormBaseEditor> editor;
    // What the editor changes (its row, and the memberships the group
    // editor writes with it) is one unit of changes, and an editor that
    // does not end with its row posted takes back all of it.
    const qint64 point = WayBackPoint();
    const TNChangeUnit unit;
    const auto takeBack = [&] {
        if (IsClientDataSet(ds) && WayBackPoint() > point)
            TakeBackSince(DataClient, ds, point);
    };
    try {
        if (mode == emNew) {
            ds->Append();
            PrepareNewRow();
        }
        {
            const bool lock = LockWhileCreatingEditor();
            if (lock)
                setUpdatesEnabled(false);
            struct TUnlock {
                QWidget* Window;
                bool Locked;
                ~TUnlock()
                {
                    if (Locked)
                        Window->setUpdatesEnabled(true);
                }
            } unlock{this, lock};
            editor.reset(EditorClass(this, mode, this));
        }
        m_editor = editor.get();
        const int result = editor->exec();
        if (result != QDialog::Accepted) {
            CancelPending(ds);
            takeBack();
        } else {
            if (mode == emNew) {
                if (ds->State() == TDataSetState::dsBrowse)
                    ds->Edit();
                BeforeNewRowPosted(info);
            }
            if (ds->State() != TDataSetState::dsBrowse)
                ds->Post();
            // Read at once: the posted row is current until the cursor moves,
            // whether or not the filter shows it.
            if (TNField* id = ds->FindField(QStringLiteral("ID")))
                info.ID = id->AsInteger();
            info.Name = ds->FieldByName(QStringLiteral("Name"))->AsString();
            info.Accepted = true;
            RowPosted(*editor);
        }
    } catch (const std::exception& error) {
        CancelPending(ds);
        m_editor = nullptr;
        try {
            takeBack();
        } catch (const std::exception& undo) {
            ReportFailure(undo);
        }
        ReportFailure(error);
        return;
    }
    m_editor = nullptr;
}

void TNListFormBase::AddRecord(TNItemInfo& info)
{
    info.Accepted = false;
    RunEditor(emNew, info);
}

void TNListFormBase::EditRecord(TNItemInfo& info)
{
    info.Accepted = false;
    RunEditor(emEdit, info);
}

void TNListFormBase::DeleteRecords()
{
    TNDataSet* ds = DataSet();
    if (!ds || !ds->Active())
        return;
    QList<TBookmark> rows;
    if (dbgDBGrid->MultiSelect())
        rows = dbgDBGrid->SelectedBookmarks();
    else if (!ds->IsEmpty())
        rows << ds->GetBookmark();
    // The rows deleted, the placements they take and the rows naming them
    // are one unit: a way back brings them back together.
    const TNChangeUnit unit;
    // A row that others use stays, and so does every other row: deleting
    // it would leave them pointing at nothing.
    for (TBookmark mark : std::as_const(rows)) {
        if (!ds->GotoBookmark(mark))
            continue;
        if (const QString warning = RowInUseWarning(*ds); !warning.isEmpty()) {
            MessageDlg(warning, TMsgDlgType::mtWarning, mbOK);
            return;
        }
    }
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (!ds->GotoBookmark(*it))
            continue;
        BeforeDeleteRow(*ds);
        ds->Delete();
    }
    // A new record deleted before it was applied takes the rows naming it.
    ForgetRowsOfGoneRecords(DataClient);
}

bool TNListFormBase::LocateByID(qint32 id)
{
    TNDataSet* ds = DataSet();
    return ds && ds->Locate(QStringLiteral("ID"), id);
}

void TNListFormBase::FillSelection(TNSelectionList& list)
{
    TNDataSet* ds = DataSet();
    if (!ds || !ds->Active() || ds->IsEmpty())
        return;
    const auto append = [&] {
        list.append(
            {ds->FieldByName(QStringLiteral("Name"))->AsString(), ds->FieldByName(QStringLiteral("ID"))->AsInteger()});
    };
    if (!dbgDBGrid->MultiSelect()) {
        append();
        return;
    }
    TNDataSetPosition keep(*ds);
    for (TBookmark mark : dbgDBGrid->SelectedBookmarks())
        if (ds->GotoBookmark(mark))
            append();
}

int TNListFormBase::ShowModal()
{
    return exec();
}

void TNListFormBase::actAddExecute()
{
    TNItemInfo info;
    AddRecord(info);
}

void TNListFormBase::actEditExecute()
{
    TNItemInfo info;
    EditRecord(info);
}

void TNListFormBase::actDeleteExecute()
{
    try {
        DeleteRecords();
    } catch (const std::exception& error) {
        ReportFailure(error);
    }
}

void TNListFormBase::actOkExecute()
{
    BeforeAccept();
    if (m_forSelection && ResultList)
        FillSelection(*ResultList);
    HandBackChoice();
    done(QDialog::Accepted);
}

void TNListFormBase::actCancelExecute()
{
    RevertToChangePoint();
    done(QDialog::Rejected);
}

void TNListFormBase::done(int result)
{
    // The dataset regains the open state it had when the window took it.
    if (TNDataSet* ds = DataSet()) {
        try {
            ds->SetActive(WasActive);
        } catch (const std::exception& error) {
            ReportFailure(error);
        }
    }
    QDialog::done(result);
}

void TNListFormBase::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if ((event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0)
            actCancelExecute();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TNListFormBase::LoadColumnWidths()
{
    if (FormSettingsIni)
        dbgDBGrid->LoadColumnWidths(*FormSettingsIni, QString::fromLatin1(metaObject()->className()));
}

void TNListFormBase::showEvent(QShowEvent* event)
{
    m_everShown = true;
    QDialog::showEvent(event);
}

void TNListFormBase::SaveFormSettings(QString& section)
{
    // A window driven without showing (the folder tree's record operations)
    // leaves the placement, widths and choices of the shown ones alone.
    section = QString::fromLatin1(metaObject()->className());
    if (!m_everShown)
        return;
    TFormBase::SaveFormSettings(section);
    if (FormSettingsIni)
        dbgDBGrid->SaveColumnWidths(*FormSettingsIni, section);
}
