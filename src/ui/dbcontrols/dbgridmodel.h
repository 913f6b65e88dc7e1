#pragma once
// The table model of TNDBGrid: the dataset model with the grid's own column
// titles and a mark in the row header of the dataset's current row.
#include <QStringList>

#include "db/datasetmodel.h"

class TNDBGridModel : public TNDataSetModel {
    Q_OBJECT
public:
    explicit TNDBGridModel(QObject* parent = nullptr) : TNDataSetModel(nullptr, parent) {}

    // Titles by column; an empty title shows the field's display label.
    void SetTitles(const QStringList& titles);
    QString Title(int column) const;
    // Redraws the row header after the current row moved.
    void CurrentRowMoved();

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_titles;
};
