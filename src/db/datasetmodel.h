#pragma once
// A table model over a dataset for grids: one row per visible row of the
// dataset (in its order and filter), one column per field shown. Column
// titles are the fields' display labels, cells their display texts (display
// handlers included) aligned as the fields say; DisplayWidthRole gives a
// column's width in characters. The model follows inserts, deletes, posts,
// sorting, filtering and re-reads, and never moves the dataset's cursor.
// Read-only: editing goes through the dataset.
#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

#include "db/dataset.h"

class TNDataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Roles { DisplayWidthRole = Qt::UserRole + 1, BookmarkRole };

    explicit TNDataSetModel(TNDataSet* dataSet, QObject* parent = nullptr);

    TNDataSet* DataSet() const { return m_dataSet.data(); }
    void SetDataSet(TNDataSet* dataSet);
    // The fields shown, by name; empty shows every visible field.
    void SetColumns(const QStringList& fieldNames);
    TNField* ColumnField(int column) const;

    // The dataset's current row (-1 when none) and moving to a row.
    int CurrentRow() const;
    void SetCurrentRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void Connect();
    void ResolveColumns();

    QPointer<TNDataSet> m_dataSet;
    QStringList m_names;
    std::vector<TNField*> m_columns;
    QList<QMetaObject::Connection> m_connections;
};
