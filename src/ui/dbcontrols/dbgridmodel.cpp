#include "ui/dbcontrols/dbgridmodel.h"

namespace {
const QChar CurrentRowMark(0x25B6);
}

void TNDBGridModel::SetTitles(const QStringList& titles)
{
    m_titles = titles;
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QString TNDBGridModel::Title(int column) const
{
    return headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

void TNDBGridModel::CurrentRowMoved()
{
    if (rowCount() > 0)
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

QVariant TNDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section == CurrentRow() ? QString(CurrentRowMark) : QString();
        return QVariant();
    }
    if (role == Qt::DisplayRole && section >= 0 && section < m_titles.size() && !m_titles[section].isEmpty())
        return m_titles[section];
    return TNDataSetModel::headerData(section, orientation, role);
}
