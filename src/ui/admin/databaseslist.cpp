#include "ui/admin/databaseslist.h"

#include "data/dmlocaldata.h"
#include "db/dataset.h"
#include "platform/messagedlg.h"
#include "ui/admin/actionbutton.h"
#include "ui/dbcontrols/dbgrid.h"

#include <QAction>
#include <QBoxLayout>

TFormDatabasesList::TFormDatabasesList(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Databases"));
    setProperty("HelpContext", 1050);
    actMoveUp = NewWindowAction(this, QStringLiteral("Move &Up"), QStringLiteral("actMoveUp"));
    actMoveDown = NewWindowAction(this, QStringLiteral("Move &Down"), QStringLiteral("actMoveDown"));
    connect(actMoveUp, &QAction::triggered, this, [this] { actMoveUpExecute(); });
    connect(actMoveDown, &QAction::triggered, this, [this] { actMoveDownExecute(); });
    auto* buttons = static_cast<QBoxLayout*>(pnlEditAddDeleteBtns->layout());
    buttons->insertWidget(1, NewActionButton(actMoveUp, pnlEditAddDeleteBtns, QStringLiteral("btnMoveUp")));
    buttons->insertWidget(2, NewActionButton(actMoveDown, pnlEditAddDeleteBtns, QStringLiteral("btnMoveDown")));
    setMinimumWidth(DesignWidth);
    resize(DesignWidth, DesignHeight);
}

void TFormDatabasesList::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Database"), 120);
    dbgDBGrid->AddColumn(QStringLiteral("FCDatabase_Data"), QStringLiteral("Folder"), 500);
}

void TFormDatabasesList::UpdateListActions()
{
    TBaseGridListForm::UpdateListActions();
    TNDataSet* ds = DataSet();
    const bool rows = ds && ds->Active() && !ds->IsEmpty();
    actMoveUp->setEnabled(rows && !ds->Bof() && ds->RecNo() != 1);
    actMoveDown->setEnabled(rows && !ds->Eof() && ds->RecNo() != ds->RecordCount());
    // The built-in book keeps its name and settings: Edit and Delete are
    // disabled as actions, so neither a button, a key, Return nor a double
    // click reaches its editor or deletes it.
    if (BuiltInRowCurrent()) {
        actEdit->setEnabled(false);
        actDelete->setEnabled(false);
    }
}

bool TFormDatabasesList::BuiltInRowCurrent() const
{
    TNDataSet* ds = DataSet();
    return ds && ds->Active() && !ds->IsEmpty() &&
           ds->FieldByName(QStringLiteral("Name"))->AsString() == QStringLiteral("Local Database");
}

void TFormDatabasesList::EditRecord(TNItemInfo& info)
{
    info.Accepted = false;
    if (!BuiltInRowCurrent())
        TBaseGridListForm::EditRecord(info);
}

void TFormDatabasesList::DeleteRecords()
{
    if (!BuiltInRowCurrent())
        TBaseGridListForm::DeleteRecords();
}

void TFormDatabasesList::actMoveUpExecute()
{
    MoveBy(-1);
}

void TFormDatabasesList::actMoveDownExecute()
{
    MoveBy(1);
}

void TFormDatabasesList::MoveBy(int step)
{
    TNDataSet* ds = DataSet();
    if (!ds || !DModLocalData || ds->IsEmpty())
        return;
    const int recNo = ds->RecNo();
    const int other = recNo + step;
    if (other < 1 || other > ds->RecordCount())
        return;
    const TNField* id = ds->FieldByName(QStringLiteral("ID"));
    const qint32 movedID = ds->RowValue(recNo - 1, id).toInt();
    const qint32 otherID = ds->RowValue(other - 1, id).toInt();
    setUpdatesEnabled(false);
    try {
        ds->CheckBrowseMode();
        DModLocalData->SwapDatabaseOrder(movedID, otherID);
        // Read again in OrderNo order; the moved row stays current.
        ds->Close();
        ds->Open();
        ds->Locate(QStringLiteral("ID"), movedID);
    } catch (const std::exception& error) {
        MessageDlg(QString::fromUtf8(error.what()), TMsgDlgType::mtError, mbOK);
    }
    setUpdatesEnabled(true);
}
