#pragma once
// TFormDatabasesList: "  Databases", the address books the program opens,
// in their order (the local data module's qryDatabases), over the
// single-dataset list window. Move Up and Move Down exchange the OrderNo of
// the current row and its neighbour in one transaction. The built-in "Local
// Database" row can be neither edited nor deleted here: its Edit and Delete
// actions are disabled, and EditRecord and DeleteRecords refuse it. Built with
// TBaseGridListForm::Create; closing with OK does not reload the books: the
// caller does (TDModLocalData::EditDatabases answers true). Main thread only.

#include "ui/admin/basegridlistform.h"

class TFormDatabasesList : public TBaseGridListForm {
    Q_OBJECT
public:
    TFormDatabasesList(QWidget* owner, TRecordEditorClass editorClass);

    void actMoveUpExecute();
    void actMoveDownExecute();
    void EditRecord(TNItemInfo& info) override;
    void DeleteRecords() override;

    QAction* actMoveUp = nullptr;
    QAction* actMoveDown = nullptr;

    static constexpr int DesignWidth = 812;

protected:
    void SetupGridColumns() override;
    void UpdateListActions() override;

private:
    bool BuiltInRowCurrent() const;
    // Exchanges the places of the current row and the one Step rows away.
    void MoveBy(int step);
};
