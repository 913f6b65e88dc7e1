#include "data/datasetstate.h"

#include "data/dataerror.h"
#include "db/dataset.h"

TNDataSetsList NDataSetsList;

int TNDataSetsList::IndexOf(const TNDataSet* dataSet) const
{
    for (int i = 0; i < m_records.size(); ++i)
        if (m_records.at(i).DataSet == dataSet)
            return i;
    return -1;
}

int TNDataSetsList::IndexOrRaise(const TNDataSet* dataSet, const char* message) const
{
    const int index = IndexOf(dataSet);
    if (index < 0)
        throw EDataError(QString::fromLatin1(message).arg(dataSet ? dataSet->objectName() : QString()));
    return index;
}

void TNDataSetsList::Add(TNDataSet* dataSet)
{
    if (IndexOf(dataSet) >= 0)
        throw EDataError(QStringLiteral("From TNDataSetsList.Add() - Dataset already registered: \"%1\"")
                             .arg(dataSet->objectName()));
    m_records.append({dataSet, dataSet->Active()});
}

void TNDataSetsList::Remove(TNDataSet* dataSet)
{
    m_records.removeAt(IndexOrRaise(dataSet, "From TNDataSetsList.Remove() - Unregistered Dataset: \"%1\""));
}

void TNDataSetsList::SaveDataSetState(TNDataSet* dataSet)
{
    const int index = IndexOrRaise(dataSet, "From TNDataSetsList.SaveDataSetState() - unregistered DataSet: \"%1\"");
    m_records[index].Active = dataSet->Active();
}

void TNDataSetsList::RestoreDataSetState(TNDataSet* dataSet)
{
    const int index = IndexOrRaise(dataSet, "From TNDataSetsList.RestoreDataSetState() - unregistered DataSet: \"%1\"");
    dataSet->SetActive(m_records.at(index).Active);
}

void RegisterDataSet(TNDataSet* dataSet)
{
    NDataSetsList.Add(dataSet);
}

void UnregisterDataSet(TNDataSet* dataSet)
{
    NDataSetsList.Remove(dataSet);
}

void SaveDataSetState(TNDataSet* dataSet, bool open)
{
    NDataSetsList.SaveDataSetState(dataSet);
    if (open)
        dataSet->Open();
}

void RestoreDataSetState(TNDataSet* dataSet)
{
    NDataSetsList.RestoreDataSetState(dataSet);
}
