#pragma once
// The list-window side of the record editors: what an editor sees of the
// list window that opened it, the editor modes, and the class references the
// list windows create editors through.
//
// The list window owns the dataset's cursor: it appends the new row or leaves
// the current one, shows the editor modally, and posts or cancels the row
// after the editor has closed. An editor only changes fields of that row.
// Main thread only.

#include <QString>

class QWidget;
class TBaseDataClient;
class TFormBaseEditor;
class TNDataSource;

// The mode an editor is created in (other numbers keep the design caption).
enum TEditorMode : int { emEdit = 0, emNew = 1 };

class TNListForm {
public:
    virtual ~TNListForm() = default;
    // The data source of the rows shown (the row being edited is its current
    // row) and the address book they belong to (nullptr when unknown).
    virtual TNDataSource* ListDataSource() const = 0;
    virtual TBaseDataClient* ListDataClient() const = 0;
};

// Creates an editor of one class for the list window's current row.
using TRecordEditorClass = TFormBaseEditor* (*)(QWidget* owner, int mode, TNListForm* listForm);

template <class T>
TFormBaseEditor* RecordEditorOf(QWidget* owner, int mode, TNListForm* listForm)
{
    return new T(owner, mode, listForm);
}
