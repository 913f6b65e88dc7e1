#pragma once
// The link between a dataset and the controls that show it: grids and
// data-aware controls bind to a data source, and the dataset behind it can be
// swapped (a list window switching address books). Does not own the dataset.
#include <QObject>
#include <QPointer>

#include "db/dataset.h"

class TNDataSource : public QObject {
    Q_OBJECT
public:
    explicit TNDataSource(QObject* parent = nullptr, TNDataSet* dataSet = nullptr) : QObject(parent), m_dataSet(dataSet)
    {
    }

    TNDataSet* DataSet() const { return m_dataSet.data(); }
    void SetDataSet(TNDataSet* dataSet)
    {
        if (dataSet == m_dataSet)
            return;
        m_dataSet = dataSet;
        emit DataSetChanged();
    }

signals:
    void DataSetChanged();

private:
    QPointer<TNDataSet> m_dataSet;
};
