#include "ui/admin/typelists.h"

#include "data/recordusage.h"
#include "db/dataset.h"
#include "ui/dbcontrols/dbgrid.h"

// --- templates

TFormTemplatesListNew::TFormTemplatesListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Edit Templates"));
    setProperty("HelpContext", 1044);
}

void TFormTemplatesListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Template"), 90);
    dbgDBGrid->AddColumn(QStringLiteral("Content"), QStringLiteral("Text"), 350);
}

void TFormTemplatesListNew::BuildSortList()
{
    ClearSortList();
    AddSortEntry(QStringLiteral("Template"), QStringLiteral("Name"), 0);
}

// --- carrier types

TFormCarrierTypesListNew::TFormCarrierTypesListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("  Edit Carrier Types"));
}

void TFormCarrierTypesListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("TypeNo"), QStringLiteral("Type No"), 50);
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Carrier Type"), 290);
}

void TFormCarrierTypesListNew::OpenDataSet()
{
    TBaseMultiDBGridListForm::OpenDataSet();
    if (TNField* typeNo = DataSet() ? DataSet()->FindField(QStringLiteral("TypeNo")) : nullptr)
        typeNo->SetAlignment(Qt::AlignCenter);
}

// --- address-book types

TFormDatabaseTypesListNew::TFormDatabaseTypesListNew(QWidget* owner, TRecordEditorClass editorClass)
    : TBaseMultiDBGridListForm(owner, editorClass)
{
    setWindowTitle(QStringLiteral("Database Types"));
}

void TFormDatabaseTypesListNew::SetupGridColumns()
{
    dbgDBGrid->ClearColumns();
    dbgDBGrid->AddColumn(QStringLiteral("Name"), QStringLiteral("Name"), 180);
    dbgDBGrid->AddColumn(QStringLiteral("TypeNo"), QStringLiteral("TypeNo"), 50);
}

QString TFormDatabaseTypesListNew::RowInUseWarning(TNDataSet& dataSet)
{
    const qint32 books = CountDatabasesOfType(dataSet.FieldByName(QStringLiteral("TypeNo"))->AsInteger());
    if (books < 1)
        return QString();
    return InUseWarning(dataSet.FieldByName(QStringLiteral("Name"))->AsString(), books, QStringLiteral("address book"),
                        QStringLiteral("address books"));
}
