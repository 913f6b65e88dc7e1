#pragma once
// TNDBGrid: a read-only grid over the dataset behind a data source, one row
// per visible row, with the current row marked in the row header.
//
// API:
//   SetDataSource(source)              bind (the source's dataset may be swapped)
//   AddColumn("Name", "Contact", 120)  a column of a field, its title and width
//                                      in pixels (-1: from the field's display
//                                      width); without columns every visible
//                                      field is shown
//   ColumnCount/ColumnFieldName/ColumnTitle/ColumnField(i)
//   ColumnWidth/SetColumnWidth(i, px); widths survive re-sorting and re-reads;
//                                      a width given to AddColumn grows to show
//                                      the whole title and the first rows' texts
//                                      (up to 30 characters), one set later is
//                                      kept
//   LoadColumnWidths(file, section) / SaveColumnWidths(file, section)
//                                      keys "Column0Width", "Column1Width", ...
//   SetSortOnTitleClick(true)          a click on a data field's title sorts the
//                                      dataset by it; TitleClicked(column) always
//   SetMultiSelect(true)               rows are marked (Ctrl/Shift + click);
//   SelectedBookmarks()                the marked rows' bookmarks in row order
//                                      (multi-select only; empty otherwise)
//   MarkCurrentRow(), MarkRows(marks)  add marks; ClearMarks() drops them all;
//                                      marks survive sorting, filtering and posts
//   RowActivated()                     double click or Enter on a row
// The dataset's cursor follows the grid's current row and the grid follows
// the cursor. When the cursor moves to another record by any means but the
// grid's own mouse and keys (a search, a locate, a delete), the marks become
// that record alone, so the row the operator sees current is the row a
// multi-select grid hands back; Ctrl and Shift on the grid extend the marks
// as usual. Moving the cursor posts a pending edit; when the post fails the
// error is shown and the grid returns to the dataset's row. Main thread only.
#include <QList>
#include <QTableView>

#include "db/datasource.h"
#include "ui/dbcontrols/dbgridmodel.h"

class TNProfileFile;

class TNDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TNDBGrid(QWidget* parent = nullptr);

    TNDataSource* DataSource() const { return m_source.data(); }
    void SetDataSource(TNDataSource* source);
    TNDataSet* DataSet() const { return m_model.DataSet(); }
    TNDBGridModel& Model() { return m_model; }

    int AddColumn(const QString& fieldName, const QString& title = QString(), int width = -1);
    void ClearColumns();
    int ColumnCount() const { return m_model.columnCount(); }
    QString ColumnFieldName(int column) const;
    QString ColumnTitle(int column) const { return m_model.Title(column); }
    TNField* ColumnField(int column) const { return m_model.ColumnField(column); }
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    void LoadColumnWidths(const TNProfileFile& file, const QString& section);
    void SaveColumnWidths(TNProfileFile& file, const QString& section) const;

    void SetSortOnTitleClick(bool value) { m_sortOnTitleClick = value; }

    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool value);
    QList<TBookmark> SelectedBookmarks() const;
    int SelectedCount() const { return int(SelectedBookmarks().size()); }
    void MarkCurrentRow();
    void MarkRows(const QList<TBookmark>& marks);
    void ClearMarks();

signals:
    void TitleClicked(int column);
    void RowActivated();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BindDataSet();
    // selectCurrent: the marks become the current row even when the grid
    // itself moved it.
    void FollowDataSet(bool selectCurrent = false);
    void MoveDataSet(int row);
    void ApplyWidths();
    int DefaultWidth(int column) const;
    // The width the column's first rows need, at most 30 characters.
    int ContentWidth(int column) const;
    void ShowSortIndicator();
    void SortByColumn(int column);

    QPointer<TNDataSource> m_source;
    QMetaObject::Connection m_sourceConnection;
    QList<QMetaObject::Connection> m_dataSetConnections;
    TNDBGridModel m_model;
    QStringList m_fieldNames;
    QStringList m_titles;
    QList<int> m_widths;     // by column; -1 until known
    QList<bool> m_titleFit;  // by column: a design width, widened to the title and rows
    QList<TBookmark> m_keptMarks;
    bool m_multiSelect = false;
    bool m_sortOnTitleClick = false;
    bool m_following = false;
    bool m_gridMoving = false;     // the grid's own mouse or keys move the cursor
    TBookmark m_followedMark = 0;  // the record the grid last followed
    bool m_resetting = false;
    int m_rowChanges = 0;
};
