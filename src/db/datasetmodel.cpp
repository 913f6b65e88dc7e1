#include "db/datasetmodel.h"

TNDataSetModel::TNDataSetModel(TNDataSet* dataSet, QObject* parent) : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    Connect();
    ResolveColumns();
}

void TNDataSetModel::SetDataSet(TNDataSet* dataSet)
{
    beginResetModel();
    m_dataSet = dataSet;
    Connect();
    ResolveColumns();
    endResetModel();
}

void TNDataSetModel::SetColumns(const QStringList& fieldNames)
{
    beginResetModel();
    m_names = fieldNames;
    ResolveColumns();
    endResetModel();
}

TNField* TNDataSetModel::ColumnField(int column) const
{
    return column >= 0 && size_t(column) < m_columns.size() ? m_columns[size_t(column)] : nullptr;
}

void TNDataSetModel::Connect()
{
    for (const QMetaObject::Connection& c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    TNDataSet* ds = m_dataSet.data();
    if (!ds)
        return;
    m_connections << connect(ds, &TNDataSet::AboutToReset, this, [this] { beginResetModel(); });
    m_connections << connect(ds, &TNDataSet::Reset, this, [this] {
        ResolveColumns();
        endResetModel();
    });
    m_connections << connect(ds, &TNDataSet::RowAboutToBeInserted, this,
                             [this](int row) { beginInsertRows(QModelIndex(), row, row); });
    m_connections << connect(ds, &TNDataSet::RowInserted, this, [this] { endInsertRows(); });
    m_connections << connect(ds, &TNDataSet::RowAboutToBeRemoved, this,
                             [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
    m_connections << connect(ds, &TNDataSet::RowRemoved, this, [this] { endRemoveRows(); });
    m_connections << connect(ds, &TNDataSet::RowUpdated, this, [this](int row) {
        if (!m_columns.empty())
            emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
    });
    m_connections << connect(ds, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_columns.clear();
        endResetModel();
    });
}

void TNDataSetModel::ResolveColumns()
{
    m_columns.clear();
    TNDataSet* ds = m_dataSet.data();
    if (!ds)
        return;
    if (m_names.isEmpty()) {
        for (int i = 0; i < ds->FieldCount(); ++i) {
            if (ds->Field(i)->Visible())
                m_columns.push_back(ds->Field(i));
        }
        return;
    }
    for (const QString& name : std::as_const(m_names)) {
        if (TNField* f = ds->FindField(name))
            m_columns.push_back(f);
    }
}

int TNDataSetModel::CurrentRow() const
{
    TNDataSet* ds = m_dataSet.data();
    return ds && ds->Active() ? ds->RecNo() - 1 : -1;
}

void TNDataSetModel::SetCurrentRow(int row)
{
    TNDataSet* ds = m_dataSet.data();
    if (ds && ds->Active() && row >= 0 && row < ds->RecordCount())
        ds->SetRecNo(row + 1);
}

int TNDataSetModel::rowCount(const QModelIndex& parent) const
{
    const TNDataSet* ds = m_dataSet.data();
    if (parent.isValid() || !ds || !ds->Active())
        return 0;
    return ds->RecordCount();
}

int TNDataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TNDataSetModel::data(const QModelIndex& index, int role) const
{
    const TNDataSet* ds = m_dataSet.data();
    if (!ds || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const TNField* field = m_columns[size_t(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return ds->RowText(index.row(), field);
        case Qt::EditRole:
            return ds->RowValue(index.row(), field);
        case Qt::TextAlignmentRole:
            return int(field->Alignment());
        case BookmarkRole:
            return QVariant::fromValue(ds->RowBookmark(index.row()));
        default:
            return QVariant();
    }
}

QVariant TNDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    const TNField* field = ColumnField(section);
    if (!field)
        return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return field->DisplayLabel();
        case Qt::TextAlignmentRole:
            return int(field->Alignment());
        case DisplayWidthRole:
            return field->DisplayWidth();
        default:
            return QVariant();
    }
}
