#include "ui/dbcontrols/dbgrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyleOptionViewItem>
#include <algorithm>

#include "db/dberror.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"

namespace {

QString WidthKey(int column)
{
    return QStringLiteral("Column%1Width").arg(column);
}

}  // namespace

TNDBGrid::TNDBGrid(QWidget* parent) : QTableView(parent), m_model(this)
{
    setModel(&m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setMinimumWidth(fontMetrics().height());

    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_resetting = true;
        m_keptMarks = SelectedBookmarks();
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        while (m_widths.size() < m_model.columnCount()) {
            m_widths << -1;
            m_titleFit << false;
        }
        // The sort mark first: a title's width includes it.
        ShowSortIndicator();
        ApplyWidths();
        m_resetting = false;
        const QList<TBookmark> marks = m_keptMarks;
        m_keptMarks.clear();
        if (m_multiSelect)
            MarkRows(marks);
        FollowDataSet();
    });
    // While rows come and go the view moves its current index on its own; the
    // dataset's cursor is announced afterwards and the grid follows it.
    const auto startChange = [this] { ++m_rowChanges; };
    const auto endChange = [this] { --m_rowChanges; };
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, startChange);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, endChange);
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, startChange);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, endChange);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (!m_resetting && column >= 0 && column < m_widths.size()) {
            m_widths[column] = size;
            m_titleFit[column] = false;
        }
    });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (m_sortOnTitleClick)
            SortByColumn(column);
        emit TitleClicked(column);
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { MoveDataSet(current.row()); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit RowActivated(); });
}

void TNDBGrid::SetDataSource(TNDataSource* source)
{
    disconnect(m_sourceConnection);
    m_source = source;
    if (source)
        m_sourceConnection = connect(source, &TNDataSource::DataSetChanged, this, [this] { BindDataSet(); });
    BindDataSet();
}

void TNDBGrid::BindDataSet()
{
    for (const QMetaObject::Connection& c : std::as_const(m_dataSetConnections))
        disconnect(c);
    m_dataSetConnections.clear();
    TNDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    // Marks of another dataset name none of this one's rows.
    if (ds != DataSet()) {
        m_followedMark = 0;
        selectionModel()->clearSelection();
    }
    m_model.SetDataSet(ds);
    if (ds) {
        m_dataSetConnections << connect(ds, &TNDataSet::CurrentRowChanged, this, [this] { FollowDataSet(); });
        m_dataSetConnections << connect(ds, &TNDataSet::DataChanged, this, [this] { ShowSortIndicator(); });
    }
    FollowDataSet();
    ShowSortIndicator();
}

// --- columns

int TNDBGrid::AddColumn(const QString& fieldName, const QString& title, int width)
{
    m_fieldNames << fieldName;
    m_titles << title;
    while (m_widths.size() < m_fieldNames.size() - 1) {
        m_widths << -1;
        m_titleFit << false;
    }
    if (m_widths.size() < m_fieldNames.size()) {
        m_widths << width;
        m_titleFit << (width >= 0);
    } else {
        m_widths[m_fieldNames.size() - 1] = width;
        m_titleFit[m_fieldNames.size() - 1] = width >= 0;
    }
    m_model.SetColumns(m_fieldNames);
    m_model.SetTitles(m_titles);
    return int(m_fieldNames.size()) - 1;
}

void TNDBGrid::ClearColumns()
{
    m_fieldNames.clear();
    m_titles.clear();
    m_widths.clear();
    m_titleFit.clear();
    m_model.SetColumns(m_fieldNames);
    m_model.SetTitles(m_titles);
}

QString TNDBGrid::ColumnFieldName(int column) const
{
    if (column >= 0 && column < m_fieldNames.size())
        return m_fieldNames[column];
    const TNField* field = m_model.ColumnField(column);
    return field ? field->FieldName() : QString();
}

int TNDBGrid::DefaultWidth(int column) const
{
    const TNField* field = m_model.ColumnField(column);
    const int chars = std::max(field ? field->DisplayWidth() : 0, int(ColumnTitle(column).size()));
    if (chars <= 0)
        return horizontalHeader()->defaultSectionSize();
    return std::min(chars, 40) * fontMetrics().averageCharWidth() + 8;
}

int TNDBGrid::ColumnWidth(int column) const
{
    if (column >= 0 && column < m_widths.size() && m_widths[column] >= 0)
        return m_widths[column];
    return column < m_model.columnCount() ? columnWidth(column) : DefaultWidth(column);
}

void TNDBGrid::SetColumnWidth(int column, int width)
{
    if (column < 0)
        return;
    while (m_widths.size() <= column) {
        m_widths << -1;
        m_titleFit << false;
    }
    m_widths[column] = width;
    m_titleFit[column] = false;
    if (column < m_model.columnCount())
        setColumnWidth(column, width);
}

void TNDBGrid::ApplyWidths()
{
    for (int c = 0; c < m_model.columnCount(); ++c) {
        // A design width is in pixels of the narrow dialog font the windows
        // were laid out in: the column grows to show its whole title (and
        // the sort mark), and keeps that width as its own.
        if (c < m_widths.size() && m_titleFit[c])
            m_widths[c] = std::max({m_widths[c], horizontalHeader()->sectionSizeHint(c), ContentWidth(c)});
        const int width = c < m_widths.size() && m_widths[c] >= 0 ? m_widths[c] : DefaultWidth(c);
        setColumnWidth(c, width);
    }
}

int TNDBGrid::ContentWidth(int column) const
{
    // The first rows stand for the column (names in a list of contacts);
    // a long text such as a message's is not followed past the cap.
    constexpr int kRows = 100;
    const int cap = 30 * fontMetrics().averageCharWidth();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int width = 0;
    for (int row = 0; row < std::min(m_model.rowCount(), kRows) && width < cap; ++row) {
        const QModelIndex index = m_model.index(row, column);
        width = std::max(width, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return std::min(width + (showGrid() ? 1 : 0), cap);
}

void TNDBGrid::LoadColumnWidths(const TNProfileFile& file, const QString& section)
{
    const int count = std::max(int(m_fieldNames.size()), m_model.columnCount());
    // A width never stored keeps the design width, title fit included.
    for (int c = 0; c < count; ++c)
        if (file.ValueExists(section, WidthKey(c)))
            SetColumnWidth(c, file.ReadInteger(section, WidthKey(c), ColumnWidth(c)));
}

void TNDBGrid::SaveColumnWidths(TNProfileFile& file, const QString& section) const
{
    const int count = std::max(int(m_fieldNames.size()), m_model.columnCount());
    for (int c = 0; c < count; ++c)
        file.WriteInteger(section, WidthKey(c), ColumnWidth(c));
}

// --- sorting

void TNDBGrid::SortByColumn(int column)
{
    TNDataSet* ds = DataSet();
    const TNField* field = ColumnField(column);
    if (!ds || !ds->Active() || !field || field->FieldClass() != TFieldClass::fcData)
        return;
    try {
        ds->SetIndexFieldNames(field->FieldName());
    } catch (const EDatabaseError& e) {
        MessageDlg(e.Message(), TMsgDlgType::mtError, mbOK);
    }
}

void TNDBGrid::ShowSortIndicator()
{
    const TNDataSet* ds = DataSet();
    int sorted = -1;
    for (int c = 0; ds && c < m_model.columnCount() && sorted < 0; ++c) {
        const TNField* field = ColumnField(c);
        if (field && field->FieldName().compare(ds->IndexFieldNames().trimmed(), Qt::CaseInsensitive) == 0)
            sorted = c;
    }
    horizontalHeader()->setSortIndicatorShown(sorted >= 0);
    if (sorted >= 0)
        horizontalHeader()->setSortIndicator(sorted, Qt::AscendingOrder);
}

// --- current row

void TNDBGrid::FollowDataSet(bool selectCurrent)
{
    if (m_resetting)
        return;
    const int row = m_model.CurrentRow();
    const TBookmark mark = DataSet() ? DataSet()->RowBookmark(row) : 0;
    const bool otherRecord = mark != m_followedMark;
    m_followedMark = mark;
    m_following = true;
    const QModelIndex index = m_model.index(row, std::max(currentIndex().column(), 0));
    // The view itself already marked what the grid's mouse and keys chose.
    const bool keepMarks = m_multiSelect && !selectCurrent && (m_gridMoving || !otherRecord);
    if (keepMarks || !index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    else
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_following = false;
    if (index.isValid())
        scrollTo(index);
    m_model.CurrentRowMoved();
}

void TNDBGrid::MoveDataSet(int row)
{
    if (m_following || m_resetting || m_rowChanges > 0 || row < 0 || row == m_model.CurrentRow())
        return;
    m_gridMoving = true;
    try {
        m_model.SetCurrentRow(row);
    } catch (const EDatabaseError& e) {
        MessageDlg(e.Message(), TMsgDlgType::mtError, mbOK);
    }
    m_gridMoving = false;
    // A refused move: the grid goes back to the dataset's row and so do the
    // marks the view set on the row it left for.
    FollowDataSet(m_model.CurrentRow() != row);
}

// --- marks

void TNDBGrid::SetMultiSelect(bool value)
{
    m_multiSelect = value;
    setSelectionMode(value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    // Marks start empty; without multi-select the current row is the selection.
    selectionModel()->clearSelection();
    FollowDataSet();
}

QList<TBookmark> TNDBGrid::SelectedBookmarks() const
{
    QList<TBookmark> marks;
    const TNDataSet* ds = DataSet();
    if (!m_multiSelect || !ds)
        return marks;
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        marks << ds->RowBookmark(row);
    return marks;
}

void TNDBGrid::MarkCurrentRow()
{
    const QModelIndex index = m_model.index(m_model.CurrentRow(), 0);
    if (index.isValid())
        selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TNDBGrid::MarkRows(const QList<TBookmark>& marks)
{
    const TNDataSet* ds = DataSet();
    for (TBookmark mark : marks) {
        const QModelIndex index = m_model.index(ds ? ds->RowOfBookmark(mark) : -1, 0);
        if (index.isValid())
            selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TNDBGrid::ClearMarks()
{
    selectionModel()->clearSelection();
    if (!m_multiSelect)
        FollowDataSet();
}

void TNDBGrid::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier &&
        currentIndex().isValid()) {
        emit RowActivated();
        return;
    }
    QTableView::keyPressEvent(event);
}
