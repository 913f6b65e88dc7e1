#pragma once
// TNListFormBase: what the two list-window families share (the
// multi-database list and the single-dataset list). A grid over one data
// source, Add/Edit/Delete through a modal record editor, OK/Cancel and an
// optional selection mode that hands the chosen rows back to the caller.
//
// The window owns the dataset's cursor. AddRecord appends a row, runs the
// editor and posts the row on OK; EditRecord runs the editor on the current
// row and posts it on OK when it is being edited. Any other outcome, an
// editor that fails to open or a post the database refuses included, cancels
// the row, and a failure is reported in an error box: no half-made row is
// left for a later action to post.
//
// Building: a concrete window's constructor makes nothing but its own
// controls; the family's factory then runs Initialize, which calls the
// virtual SetupGridColumns and restores the placement. A window built
// without showing is driven by AddRecord/EditRecord/LocateByID/
// DeleteRecords and freed by its caller. Main thread only.

#include "data/adminlaunchers.h"
#include "foundation/formbase.h"
#include "ui/admin/listform.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include "db/datasource.h"

class QAction;
class QPushButton;
class TNDataSet;
class TNDBGrid;
class TNField;

class TNListFormBase : public QDialog, public TFormBase, public TNListForm {
    Q_OBJECT
public:
    ~TNListFormBase() override;

    TNDataSource* ListDataSource() const override { return DataSource; }
    TBaseDataClient* ListDataClient() const override { return DataClient; }

    TNDataSet* DataSet() const;
    bool ForSelection() const { return m_forSelection; }
    TFormBaseEditor* Editor() const { return m_editor; }

    virtual void AddRecord(TNItemInfo& info);
    virtual void EditRecord(TNItemInfo& info);
    // Deletes the marked rows (multi-select grid, last to first) or the
    // current row; asks nothing. When other records use any of them, a
    // warning says how many and nothing is deleted.
    virtual void DeleteRecords();
    // Makes the row with that ID current (exact match).
    virtual bool LocateByID(qint32 id);
    // Appends the chosen rows (Name, ID) to the list.
    virtual void FillSelection(TNSelectionList& list);

    // Shows the window modally and returns its result (QDialog::Accepted on
    // OK); the dataset regains the open state it had when the window took it.
    int ShowModal();

    virtual void actAddExecute();
    void actEditExecute();
    virtual void actDeleteExecute();
    void actOkExecute();
    void actCancelExecute();

    void done(int result) override;
    void reject() override { actCancelExecute(); }

    TNDBGrid* dbgDBGrid = nullptr;
    QWidget* pnlEditAddDeleteBtns = nullptr;
    QWidget* pnlOkCancelBtns = nullptr;
    QAction* actAdd = nullptr;
    QAction* actEdit = nullptr;
    QAction* actDelete = nullptr;
    QAction* actOk = nullptr;
    QAction* actCancel = nullptr;

protected:
    TNListFormBase(QWidget* owner, TRecordEditorClass editorClass);

    // The common construction steps: selection mode, the grid's columns and
    // their stored widths. Placement is restored by the family's factory.
    void InitCommon(bool forSelection, TNSelectionList* resultList);
    // Points the window (and its grid) at a data source.
    void TakeDataSource(TNDataSource* source);

    virtual void SetupGridColumns() = 0;
    virtual void OpenDataSet();
    virtual void UpdateListActions();
    virtual void BeforeAccept() {}
    // Run by OK after the selection was handed back (the multi-database list
    // hands back the chosen book there).
    virtual void HandBackChoice() {}
    // The moment the window took a client dataset, and going back to it on
    // Cancel: every change of its shared book made since and not stored by
    // an apply meanwhile goes (clientdatasetops.h); nothing for other
    // datasets.
    virtual void SaveChangePoint();
    virtual void RevertToChangePoint();
    // The new row before the editor runs (the multi-database list presets
    // its ID) and just before it is posted (the single-dataset list gives its
    // temporary ID then).
    virtual void PrepareNewRow() {}
    virtual void BeforeNewRowPosted(TNItemInfo& info) { Q_UNUSED(info); }
    // Run by DeleteRecords on each row before any is deleted: the warning
    // that refuses the delete when other records use the row, else empty.
    virtual QString RowInUseWarning(TNDataSet& dataSet)
    {
        Q_UNUSED(dataSet);
        return QString();
    }
    // Run by DeleteRecords on each row just before it is deleted.
    virtual void BeforeDeleteRow(TNDataSet& dataSet) { Q_UNUSED(dataSet); }
    // Run after an accepted editor's row was posted.
    virtual void RowPosted(TFormBaseEditor& editor) { Q_UNUSED(editor); }
    // Around the editor's creation (the multi-database list suspends its
    // redrawing there).
    virtual bool LockWhileCreatingEditor() const { return false; }

    // "Column%dWidth" in the window's section (SaveFormSettings writes them).
    void LoadColumnWidths();
    void SaveFormSettings(QString& section) override;
    // Nothing is written for a window that was never shown.
    bool EverShown() const { return m_everShown; }
    void showEvent(QShowEvent* event) override;
    bool DesignSizeIsMinimum() const override { return true; }
    TFormPosition DesignedPosition() const override { return TFormPosition::DesktopCenter; }
    void keyPressEvent(QKeyEvent* event) override;

    // The ID field when it exists and may be written.
    TNField* WritableIDField() const;

    QPointer<TNDataSource> DataSource;
    TBaseDataClient* DataClient = nullptr;
    TRecordEditorClass EditorClass = nullptr;
    TNSelectionList* ResultList = nullptr;
    bool WasActive = false;
    qint64 ChangePoint = 0;

private:
    // Runs the editor on the current row; true when it closed with OK.
    // The row is cancelled when it did not or when anything failed.
    void RunEditor(int mode, TNItemInfo& info);

    bool m_forSelection = false;
    bool m_everShown = false;
    TFormBaseEditor* m_editor = nullptr;  // while one runs
};
