#pragma once
// The dataset-state registry: lets a routine open a shared dataset for its
// own use and afterwards put it back open or closed as it found it.
//
//   SaveDataSetState(ds, true);  ... work on ds ...  RestoreDataSetState(ds);
//
// Every data client registers all of its datasets when it is made and
// unregisters them when it is destroyed. The registry holds one flag per
// dataset: a save inside another save's pair overwrites the outer one.
// Errors (an unregistered or doubly registered dataset) raise EDataError.
// Main thread only.

#include <QList>

class TNDataSet;

struct TNDataSetRec {
    TNDataSet* DataSet = nullptr;  // not owned
    bool Active = false;
};

class TNDataSetsList {
public:
    void Add(TNDataSet* dataSet);
    void Remove(TNDataSet* dataSet);
    void SaveDataSetState(TNDataSet* dataSet);
    void RestoreDataSetState(TNDataSet* dataSet);
    int IndexOf(const TNDataSet* dataSet) const;
    int Count() const { return m_records.size(); }
    void Clear() { m_records.clear(); }

private:
    int IndexOrRaise(const TNDataSet* dataSet, const char* message) const;
    QList<TNDataSetRec> m_records;
};

extern TNDataSetsList NDataSetsList;

void RegisterDataSet(TNDataSet* dataSet);
void UnregisterDataSet(TNDataSet* dataSet);
// Saves the open state, then opens the dataset when Open is true.
void SaveDataSetState(TNDataSet* dataSet, bool open);
void RestoreDataSetState(TNDataSet* dataSet);
