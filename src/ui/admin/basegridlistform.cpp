#include "ui/admin/basegridlistform.h"

#include "db/datasource.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/dbcontrols/dbgrid.h"

#include <QVBoxLayout>

TBaseGridListForm::TBaseGridListForm(QWidget* owner, TRecordEditorClass editorClass)
    : TNListFormBase(owner, editorClass)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(dbgDBGrid, 1);
    layout->addWidget(pnlEditAddDeleteBtns);
    layout->addWidget(pnlOkCancelBtns);
    resize(DesignWidth, DesignHeight);
}

void TBaseGridListForm::Init(TNDataSource* source, bool forSelection, TNSelectionList* resultList)
{
    TakeDataSource(source);
    InitCommon(forSelection, resultList);
    TNDataSet* ds = DataSet();
    WasActive = ds && ds->Active();
    m_tempID = FindFirstTempID();
    OpenDataSet();
    SaveChangePoint();
    RestoreFormSettings();
}

qint32 TBaseGridListForm::FindFirstTempID()
{
    TNDataSet* ds = DataSet();
    if (!IsClientDataSet(ds))
        return -1;
    TNDataSetScope scope(*ds);
    qint32 least = 0;
    TNField* id = ds->FieldByName(QStringLiteral("ID"));
    for (ds->First(); !ds->Eof(); ds->Next())
        least = std::min(least, qint32(id->AsInteger()));
    return least - 1;
}

void TBaseGridListForm::BeforeNewRowPosted(TNItemInfo& info)
{
    // The temporary ID is given on OK, not before the editor runs.
    if (TNField* id = WritableIDField()) {
        info.ID = NextTempID();
        id->SetAsInteger(info.ID);
    }
}
