#pragma once
// TBaseMultiDBGridListForm: the list window of one kind of record (contacts,
// carriers, servers, ...) over one address book at a time, with a choice of
// address book when several are open, a "Sort By" menu with incremental
// search, Add/Edit/Delete through a record editor and a selection mode.
//
// Built by the factories below (never with new alone): ForDataSource over
// one data source (no choice of book), ForDataClients over a list of books,
// ForSelection as ForDataClients that also hands back the chosen book.
// Column widths and the last used book are kept in "FormSettings.ini"
// (section: the window's class name). Main thread only.

#include "ui/admin/listformbase.h"

#include <QList>
#include <QPair>

class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class TNPickOnlyCombo;

class TBaseMultiDBGridListForm : public TNListFormBase {
    Q_OBJECT
public:
    ~TBaseMultiDBGridListForm() override;

    // Over one data source; the caption names the book that owns the
    // dataset. Not shown: the caller shows it (ShowModal) or drives it.
    template <class T>
    static std::unique_ptr<T> ForDataSource(QWidget* owner, TRecordEditorClass editorClass, TNDataSource* source,
                                            bool forSelection, TNSelectionList* resultList)
    {
        std::unique_ptr<T> form(new T(owner, editorClass));
        form->InitForDataSource(source, forSelection, resultList);
        return form;
    }
    // Over the books of Clients for one kind; nullptr after the warning
    // "Error: There are no DataBases defined ! ..." when there is none.
    // SelectedClient, when given, receives the current book on OK.
    template <class T>
    static std::unique_ptr<T> ForDataClients(QWidget* owner, TRecordEditorClass editorClass,
                                             const QList<TBaseDataClient*>& clients, TDataKind kind, bool forSelection,
                                             TNSelectionList* resultList, TBaseDataClient** selectedClient = nullptr)
    {
        if (!CheckClients(clients))
            return nullptr;
        std::unique_ptr<T> form(new T(owner, editorClass));
        form->SelectedClientRef = selectedClient;
        form->InitForDataClients(clients, kind, forSelection, resultList);
        return form;
    }

    TDataKind DataKind() const { return m_dataKind; }
    const QList<QPair<QString, int>>& SortList() const { return m_sortList; }
    QString GetIndexFieldNames() const;
    void SetIndexFieldNames(const QString& names);

    // Switching the address book after the list closed up (also run once
    // while the window is built). A book that does not serve the window's
    // kind is refused with a warning; the previous one stays.
    void MyCbDatabasesCloseUp();
    // Delete, then the new current row is marked in a multi-select grid.
    void actDeleteExecute() override;
    void MySortByItemClick(int index);
    void UpdateSearchState();

    QWidget* pnlUpper = nullptr;
    TNPickOnlyCombo* cbDatabases = nullptr;
    QWidget* pnlSearch = nullptr;
    QLabel* lblSearch = nullptr;
    QLineEdit* edtSearch = nullptr;
    QLabel* lblSearchBy = nullptr;
    QMenu* mnuPopup = nullptr;
    QMenu* miSortBy = nullptr;
    QAction* actApplyUpdates = nullptr;
    QAction* actRefresh = nullptr;
    QAction* actCancelChanges = nullptr;

    static constexpr int DesignWidth = 640;
    static constexpr int DesignHeight = 420;

protected:
    TBaseMultiDBGridListForm(QWidget* owner, TRecordEditorClass editorClass);

    // Entries "Title=Field" with 0 (search allowed) or 1 (sort only).
    void AddSortEntry(const QString& title, const QString& fieldName, int object);
    void ClearSortList() { m_sortList.clear(); }

    virtual qint32 GetNewRecordID();
    virtual void BuildSortMenu();
    virtual void BuildSortList();
    void OpenDataSet() override;
    void UpdateListActions() override;
    void PrepareNewRow() override;
    void RowPosted(TFormBaseEditor& editor) override;
    // The rows of the book that refer to the row (contacts of a carrier,
    // carriers of a server or carrier type), counted in the book's file or
    // its cache; a shared book's record is also refused while the rows that
    // could use it were never fetched from its server.
    QString RowInUseWarning(TNDataSet& dataSet) override;
    bool LockWhileCreatingEditor() const override { return true; }
    void HandBackChoice() override;
    virtual void actApplyUpdatesExecute();
    virtual void actRefreshExecute();
    virtual void actCancelChangesExecute();
    void SaveFormSettings(QString& section) override;
    void showEvent(QShowEvent* event) override;

    // The books offered and the one whose rows are shown.
    QList<TBaseDataClient*> Clients;
    TBaseDataClient** SelectedClientRef = nullptr;

private:
    static bool CheckClients(const QList<TBaseDataClient*>& clients);
    void BuildLayout();
    void InitForDataSource(TNDataSource* source, bool forSelection, TNSelectionList* resultList);
    void InitForDataClients(const QList<TBaseDataClient*>& clients, TDataKind kind, bool forSelection,
                            TNSelectionList* resultList);
    void TakeDataSet();
    void FillDatabasesCombo();
    void LoadLastUsedDatabaseIndex();
    void EnableSearch();
    void DisableSearch();
    void edtSearchChange(const QString& text);

    TDataKind m_dataKind = dkContacts;
    QList<QPair<QString, int>> m_sortList;
    QActionGroup* m_sortGroup = nullptr;
    int m_checkedSort = -1;
    bool m_comboDroppedDown = false;
    bool m_comboFilled = false;
    int m_clientIndex = -1;  // the combo item whose book is shown
    bool m_shownOnce = false;
};
