#pragma once
// The list windows of message templates, carrier types and address-book
// types: thin classes over the multi-database list window that fix the
// caption, the grid columns and the sort entries. Build them with
// TBaseMultiDBGridListForm's factories. Main thread only.

#include "ui/admin/basemultidbgridlistform.h"

// "  Edit Templates".
class TFormTemplatesListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormTemplatesListNew(QWidget* owner, TRecordEditorClass editorClass);

protected:
    void SetupGridColumns() override;
    void BuildSortList() override;
};

// "  Edit Carrier Types" (the type numbers centred).
class TFormCarrierTypesListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormCarrierTypesListNew(QWidget* owner, TRecordEditorClass editorClass);

protected:
    void SetupGridColumns() override;
    void OpenDataSet() override;
};

// "Database Types": the local data module's DatabaseTypes table. A type
// that address books are of cannot be deleted.
class TFormDatabaseTypesListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormDatabaseTypesListNew(QWidget* owner, TRecordEditorClass editorClass);

protected:
    void SetupGridColumns() override;
    QString RowInUseWarning(TNDataSet& dataSet) override;
};
