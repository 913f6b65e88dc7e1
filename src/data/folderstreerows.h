#pragma once
// The Folders and FolderAssigns rows that folder-tree nodes write and
// delete. Each routine opens the dataset for itself and afterwards puts it
// back open or closed as it was (the dataset-state registry), on every path;
// an insert that fails to post is cancelled, so no half row stays pending.
// Main thread only.

#include <QHash>
#include <QList>
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
// Sets Field of the first row whose KeyFields equal Keys; false (nothing
// written) when there is none.
bool SetLocatedRowField(TNDataSet* dataSet, const QString& keyFields, const QVariant& keys, const QString& field,
                        const QVariant& value);
// Deletes the first row whose KeyFields ("A;B") equal Keys; false when there
// is none.
bool DeleteLocatedRow(TNDataSet* dataSet, const QString& keyFields, const QVariant& keys);

// The rows that the deleted nodes of one operation leave behind, deleted
// together when the operation ends: one pass over each dataset picks them
// and one bulk delete takes them out (a search, or a Delete, per row costs
// the dataset's whole row list each time, so row-by-row deletes of a large
// cut, remove or move take time in the square of the rows). Open while a
// TNRowDeleteBatchScope exists; nodes deleted meanwhile only record their
// rows.
class TNRowDeleteBatch {
public:
    // A row whose two integer key fields ("FolderID;ContactID", or one field
    // with Key2 0) have these values; MissingText is the error when there is
    // none left to delete.
    void Add(TNDataSet* dataSet, const QString& keyFields, qint32 key1, qint32 key2, const QString& missingText);
    // Deletes every recorded row, the first matching rows in dataset order,
    // as many as were recorded per key; raises EDataError with the
    // MissingText of a row not found (an empty one: the row is passed
    // over). Empties the batch.
    void Flush();
    bool IsEmpty() const { return m_sets.isEmpty(); }

private:
    struct TKeyCount {
        int Count = 0;
        QString MissingText;
    };
    struct TSet {
        TNDataSet* DataSet = nullptr;
        QString KeyFields;
        QHash<quint64, TKeyCount> Keys;
        int Remaining = 0;
    };
    static void DeleteRows(TSet& set);
    QList<TSet> m_sets;
};

// The batch of the operation under way; nullptr while none is (nodes then
// delete their rows at once).
TNRowDeleteBatch* CurrentRowDeleteBatch();

class TNRowDeleteBatchScope {
public:
    TNRowDeleteBatchScope();
    // Rows still recorded are forgotten (the operation failed).
    ~TNRowDeleteBatchScope();
    TNRowDeleteBatchScope(const TNRowDeleteBatchScope&) = delete;
    TNRowDeleteBatchScope& operator=(const TNRowDeleteBatchScope&) = delete;
    void Flush() { m_batch.Flush(); }

private:
    TNRowDeleteBatch m_batch;
    TNRowDeleteBatch* m_previous;
};
