#pragma once
// The list windows of contacts, carriers and servers: thin classes over the
// multi-database list window that fix the caption, the grid columns, the
// sort entries and, for some, a guard on Add or side effects of Delete.
// Build them with TBaseMultiDBGridListForm's factories. Main thread only.

#include "ui/admin/basemultidbgridlistform.h"

// "  Contacts" ("  Select Contact(s)" as a picker). Adding (by the window's
// Add or by the folder tree's New Contact) needs a carrier in the book;
// deleting a contact first takes its nodes out of the folder tree and its
// rows out of the recipients list.
class TFormContactsListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormContactsListNew(QWidget* owner, TRecordEditorClass editorClass);
    void AddRecord(TNItemInfo& info) override;

protected:
    void BeforeDeleteRow(TNDataSet& dataSet) override;
    void SetupGridColumns() override;
    void BuildSortList() override;
};

// "  Groups" ("  Select Groups(s)" as a picker). Deleting a group first takes
// its nodes out of the folder tree and its rows out of the recipients list.
// Applying, refreshing and cancelling a shared book's changes act on its
// group assignments too (the group editor's memberships).
class TFormGroupsListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormGroupsListNew(QWidget* owner, TRecordEditorClass editorClass);

protected:
    void SetupGridColumns() override;
    void BuildSortList() override;
    void BeforeDeleteRow(TNDataSet& dataSet) override;
    void UpdateListActions() override;
    void actRefreshExecute() override;
    void actCancelChangesExecute() override;

private:
    TNDataSet* Assigns() const;
};

// "  Carriers". Adding needs a server in a book that keeps servers (a
// shared book's carriers go through the paging server that keeps the book)
// and a carrier type in a book that counts them.
class TFormCarriersListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormCarriersListNew(QWidget* owner, TRecordEditorClass editorClass);
    void AddRecord(TNItemInfo& info) override;
    void actRefreshExecute() override;

protected:
    void SetupGridColumns() override;
    void BuildSortList() override;
};

// "  Edit Tovix Servers" ("  Select Servers" as a picker).
class TFormServersListNew : public TBaseMultiDBGridListForm {
    Q_OBJECT
public:
    TFormServersListNew(QWidget* owner, TRecordEditorClass editorClass);

protected:
    void SetupGridColumns() override;
    void BuildSortList() override;
};
