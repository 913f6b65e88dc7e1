#pragma once
// TNClientDataSet: an in-memory dataset with a change log.
//
// It has the cursor, fields, lookups, filters, sorting and signals of every
// TNDataSet; its rows live in memory only. It is made either from field
// definitions (SetFieldDefs/AddFieldDef, then CreateDataSet) or from another
// dataset (LoadFromDataSet: the other's data fields and visible rows).
// Closing keeps the rows and the log; reopening shows them again.
//
// Every post and delete is logged: inserts (with their values), changes
// (with the original values of the row) and deletes (with the original
// values). ChangeCount is the number of rows whose net state differs from
// the rows as loaded (an inserted row edited twice counts once; an inserted
// row deleted again not at all). Every logged change carries a stamp from
// one count for all client datasets; the changes of one TNChangeUnit share
// one stamp, so that they are taken back together. SavePoint is the latest
// stamp given (a point in time, not a place in the log);
// SetSavePoint(earlier) undoes every change still logged that was made
// since (a pending edit is cancelled first), so a change that left the log
// meanwhile (applied elsewhere and merged) is no longer undone;
// CancelUpdates undoes them all; MergeChangeLog makes the current rows the
// loaded ones. Delta lists the net changes for whoever writes them
// elsewhere.
//
// The changes last sent elsewhere whose answer has not been taken in yet
// are kept apart under their apply ID (SetPendingApply), as they were sent:
// later edits go to the log only, so sending them again under the same ID
// asks for exactly the same thing. RebaseRow takes in the answer of one row.
//
// Same thread rule as TNDataSet.
#include <functional>
#include <map>

#include "db/dataset.h"

#include <QHash>
#include <QSet>

struct TNFieldDef {
    QString Name;
    TFieldKind Kind = TFieldKind::fkString;
    int Size = 0;
    bool ReadOnly = false;
};

enum class TUpdateKind { ukModify, ukInsert, ukDelete };

// Equal as stored values: a null of any kind equals every null, and values
// of different kinds (a server's 64-bit ID, a field's int) compare by value
// or, failing that, by their texts.
bool SameStoredValue(const QVariant& a, const QVariant& b);

// The net change of one row: OldValues as loaded (empty for an insert),
// NewValues as they stand (empty for a delete), in field-definition order.
struct TNRowChange {
    TUpdateKind Kind = TUpdateKind::ukModify;
    qint64 RowKey = 0;  // names the row to MergeRowChanges, RevertRow, SetStoredRow
    std::vector<QVariant> OldValues;
    std::vector<QVariant> NewValues;
};

// The whole state of a client dataset: definitions, rows under their keys,
// and the change log; what a cache file holds.
// While one lives, every change logged by any client dataset of the thread
// takes the same stamp: the changes of one operation (a delete with the
// placements it took, an editor's row with its memberships) are one unit
// to whoever takes changes back. Units nest: the outer one counts.
class TNChangeUnit {
public:
    TNChangeUnit();
    ~TNChangeUnit();
    TNChangeUnit(const TNChangeUnit&) = delete;
    TNChangeUnit& operator=(const TNChangeUnit&) = delete;
};

struct TNClientPacket {
    struct TLogEntry {
        TUpdateKind Kind = TUpdateKind::ukModify;
        qint64 Key = 0;
        std::vector<QVariant> Before;
    };
    std::vector<TNFieldDef> Defs;
    std::vector<std::pair<qint64, std::vector<QVariant>>> Rows;
    std::vector<TLogEntry> Log;
    qint64 NextKey = 1;
    QString ApplyId;                    // empty: no apply in flight
    std::vector<TNRowChange> Applying;  // the changes sent under ApplyId
    QString SourceId;                   // SourceId() below; empty for none
    qint64 TempIdFloor = 0;             // TempIdFloor() below
};

class TNClientDataSet : public TNDataSet {
    Q_OBJECT
public:
    explicit TNClientDataSet(QObject* parent = nullptr) : TNDataSet(parent) {}
    TDataSetKind Kind() const override { return TDataSetKind::dkClient; }

    // --- structure. Changing the definitions closes the dataset and forgets
    // its rows and log.
    const std::vector<TNFieldDef>& FieldDefs() const { return m_defs; }
    // The position of the named definition (any letter case); -1 for none.
    int FieldDefIndex(const QString& name) const;
    void SetFieldDefs(std::vector<TNFieldDef> defs);
    void AddFieldDef(const QString& name, TFieldKind kind, int size = 0, bool readOnly = false);
    // The definitions of another dataset's data fields (it must have been
    // opened once, so that its fields know their kinds).
    static std::vector<TNFieldDef> FieldDefsOf(const TNDataSet& source);
    // Opens with no rows and an empty log.
    void CreateDataSet();
    // Takes the definitions of Source's data fields and a copy of its
    // visible rows, in its order; opens with an empty log. Source's cursor
    // does not move.
    void LoadFromDataSet(const TNDataSet& source);
    // Forgets every row and the log (the dataset stays open).
    void EmptyDataSet();

    // --- change log
    int ChangeCount() const;
    // How many changes the log holds (a row changed twice counts twice).
    int LogCount() const { return int(m_log.size()); }
    // The latest stamp given to a change of any client dataset.
    static qint64 SavePoint();
    // Undoes the logged changes stamped after Point, newest first; a point
    // no stamp has reached yet raises.
    void SetSavePoint(qint64 point);
    void CancelUpdates() { SetSavePoint(0); }
    // Undoes the logged changes whose stamp is in Stamps, newest first.
    void UndoStamps(const QSet<qint64>& stamps);
    // Visits the log entries in order: the row key and the change's stamp.
    void ForEachLogStamp(const std::function<void(qint64 key, qint64 stamp)>& visit) const;
    // The row as loaded (before its first logged change) when its first
    // change is no insert; nullptr for a new row or a row with no change.
    const std::vector<QVariant>* LoadedValues(qint64 key) const;
    // Column of the row goes back to its loaded value and its other values
    // stay. Logged: as a change of its own (stamped like any other);
    // otherwise as if the row had never held another value there (the
    // logged originals that hold the current value take the loaded one, and
    // a row then equal to its loaded one has no change left). False when the
    // row is new, unchanged or already holds the loaded value.
    bool RevertValueToLoaded(qint64 key, int column, bool logged);
    void MergeChangeLog();
    std::vector<TNRowChange> Delta() const;

    // --- the apply in flight (kept in the packet, forgotten with the log by
    // LoadData, EmptyDataSet and a change of definitions).
    const QString& PendingApplyId() const { return m_applyId; }
    const std::vector<TNRowChange>& PendingApply() const { return m_applying; }
    bool HasPendingApply() const { return !m_applyId.isEmpty(); }
    void SetPendingApply(QString id, std::vector<TNRowChange> changes);
    void ClearPendingApply();

    // --- what the owner keeps with the rows in the cache file.
    // The name its owner gave the load that brought the rows in (a fetch),
    // so that it can tell this load's rows from any others: forgotten
    // whenever the rows are replaced or emptied (LoadData, EmptyDataSet,
    // CreateDataSet, LoadFromDataSet, a change of definitions); the owner
    // names the new load after LoadData.
    const QString& SourceId() const { return m_sourceId; }
    void SetSourceId(QString id) { m_sourceId = std::move(id); }
    // The lowest temporary ID the owner has handed out (0: none), kept
    // whatever becomes of the rows, so that none is handed out again.
    qint64 TempIdFloor() const { return m_tempIdFloor; }
    void SetTempIdFloor(qint64 floor) { m_tempIdFloor = floor; }

    // --- whole state and row-level changes (cache files, applying the log
    // elsewhere). None of these is logged; each posts a pending edit first
    // and re-reads the rows afterwards, keeping the current row.
    // The state as a cache file writes it, read in place (no copy of the
    // rows): the next row key, the stored rows under their keys in key
    // order, and the log entries in order (an insert's Before is empty).
    qint64 NextKey() const { return m_nextKey; }
    size_t StoredRowCount() const { return m_store.size(); }
    void ForEachStoredRowByKey(const std::function<void(qint64 key, const std::vector<QVariant>& values)>& visit) const;
    void ForEachLogEntry(
        const std::function<void(TUpdateKind kind, qint64 key, const std::vector<QVariant>& before)>& visit) const;
    // Takes the definitions, rows and log of Packet and opens.
    void LoadPacket(TNClientPacket packet);
    // Replaces every row with Rows (in field-definition order) and forgets
    // the log; opens.
    void LoadData(std::vector<std::vector<QVariant>> rows);
    // Visits the values of every stored row, filtered out or not, in the
    // order rows were added, without moving the cursor.
    void ForEachStoredRow(const std::function<void(const std::vector<QVariant>&)>& visit) const;
    // Sets Field to To in every stored row and logged original that holds
    // From; returns how many stored rows changed.
    int ReplaceFieldValue(const QString& field, const QVariant& from, const QVariant& to);
    // The same for many integer values at once (From -> To), in one pass.
    int ReplaceFieldValues(const QString& field, const QHash<qint64, qint64>& replacements);
    // Puts Value in Column wherever the row holds no value there: in the
    // row, its logged originals and the apply in flight; returns whether
    // anything changed.
    bool FillEmptyValue(qint64 key, int column, const QVariant& value);
    // The row's current values become its loaded ones.
    void MergeRowChanges(qint64 key);
    void MergeRowChanges(const QList<qint64>& keys);
    // Undoes every logged change of the row.
    void RevertRow(qint64 key);
    // The row goes back to what it was loaded as (a new row goes) by a
    // change of its own in the log, which going back to an earlier save
    // point undoes like any other.
    void RevertRowLogged(qint64 key);
    // Stores Values for the row (a row that is gone is added again) and
    // makes them its loaded values.
    void SetStoredRow(qint64 key, std::vector<QVariant> values);
    // Takes the row out, as if it had never been loaded.
    void RemoveStoredRow(qint64 key);
    // Stored (nullptr: no row) becomes what the row was loaded as, and the
    // log keeps only what turns that into the row as it stands now: nothing,
    // a change, a delete (the row is gone here) or an insert (the row is
    // here only). The values of a row that is here stay as they are.
    void RebaseRow(qint64 key, const std::vector<QVariant>* stored);

    // The rows, the log and the apply in flight as they stand now, which
    // RestoreState puts back (a pending edit is cancelled first): whoever
    // changes many rows in steps that may fail undoes the steps already
    // taken. The values are shared, not copied.
    struct TNSavedState;
    TNSavedState SaveState() const;
    void RestoreState(TNSavedState state);

    // While a TNStoredRowBatch of this dataset lives, SetStoredRow,
    // RemoveStoredRow and RevertRow leave the rows shown as they are and the
    // batch's end re-reads them once: taking in the answer of an apply of
    // many rows costs one re-read, not one a row.
    class TNStoredRowBatch {
    public:
        explicit TNStoredRowBatch(TNClientDataSet& dataSet);
        ~TNStoredRowBatch();
        TNStoredRowBatch(const TNStoredRowBatch&) = delete;
        TNStoredRowBatch& operator=(const TNStoredRowBatch&) = delete;

    private:
        TNClientDataSet& m_dataSet;
    };

protected:
    std::vector<TNColumnInfo> LoadRows(std::vector<std::unique_ptr<TNRow>>& rows) override;
    void StoreInsert(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& assigned) override;
    void StoreUpdate(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& changed) override;
    void StoreDelete(const TNRow& row) override;
    bool StorageCanModify() const override { return true; }
    bool OrderByKey() const override { return true; }

private:
    // Before holds the row as it was (modify, delete; null for an insert);
    // it shares its values with the store and the dataset's rows.
    struct TLogEntry {
        TUpdateKind Kind;
        qint64 Key;
        TNRowValues Before;
        qint64 Stamp = 0;
    };
    // The stamp of a change logged now: the open unit's, else a new one.
    static qint64 NextStamp();
    void UndoEntry(TLogEntry& entry);
    // Undoes the logged changes whose stamp Undo picks, newest first.
    void UndoWhere(const std::function<bool(qint64 stamp)>& undo);
    void Reload();
    int m_reloadsHeld = 0;
    bool m_reloadDue = false;

    std::vector<TNFieldDef> m_defs;
    // By row key, in the order rows were added; the values are shared with
    // the dataset's rows, never changed in place.
    std::map<qint64, TNRowValues> m_store;
    qint64 m_nextKey = 1;
    std::vector<TLogEntry> m_log;
    QString m_applyId;
    std::vector<TNRowChange> m_applying;
    QString m_sourceId;
    qint64 m_tempIdFloor = 0;
};

struct TNClientDataSet::TNSavedState {
    std::map<qint64, TNRowValues> Store;
    std::vector<TLogEntry> Log;
    qint64 NextKey = 1;
    QString ApplyId;
    std::vector<TNRowChange> Applying;
};
