#pragma once
// The Folders and FolderAssigns rows that folder-tree nodes write and
// delete. Each routine opens the dataset for itself and afterwards puts it
// back open or closed as it was (the dataset-state registry), on every path;
// an insert that fails to post is cancelled, so no half row stays pending.
// Main thread only.

#include <QString>
#include <QVariant>

class TNDataSet;

// Opens a registered dataset for one routine (SaveDataSetState) and puts it
// back (RestoreDataSetState) when it goes out of scope, cancelling a pending
// insert or edit first. Never throws from its destructor.
class TNDataSetStateGuard {
public:
    explicit TNDataSetStateGuard(TNDataSet* dataSet);
    ~TNDataSetStateGuard();
    TNDataSetStateGuard(const TNDataSetStateGuard&) = delete;
    TNDataSetStateGuard& operator=(const TNDataSetStateGuard&) = delete;

private:
    TNDataSet* m_dataSet;
};

// Appends a Folders row and returns its ID after posting. ID is written
// unless the key is numbered by the database (read-only).
qint32 AppendFolderRecord(TNDataSet* dataSet, qint32 id, const QString& name, qint32 parentID);
void AppendFolderAssignRecord(TNDataSet* dataSet, qint32 id, qint32 folderID, qint32 groupID, qint32 contactID);
// Gives the Folders row of that ID a new Name; false (nothing written) when
// there is none.
bool RenameFolderRecord(TNDataSet* dataSet, qint32 id, const QString& name);
// Deletes the first row whose KeyFields ("A;B") equal Keys; false when there
// is none.
bool DeleteLocatedRow(TNDataSet* dataSet, const QString& keyFields, const QVariant& keys);
