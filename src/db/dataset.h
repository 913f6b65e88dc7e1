#pragma once
// TNDataSet: the cursor-style dataset that windows and data modules work on.
//
// A dataset holds all of its rows in memory once opened (one read), in the
// order of its index field names, and one cursor over the rows that pass its
// filter. Derived classes say where rows come from and where posted changes
// go: TNSqlTable and TNSqlQuery write every post at once to SQLite; an
// in-memory client dataset keeps a change log (Kind() tells them apart).
//
// Contract:
// - Open/Close/Active. Opening also opens the datasets that lookup fields
//   read. Fields keep their identity across Close and Open.
// - First/Next/Prior/Last/MoveBy/RecNo over the visible rows; Eof and Bof as
//   the class library always had them: Next on the last row sets Eof and
//   stays. Moving (and Locate, GotoBookmark, Refresh) posts a pending edit or
//   insert first, or cancels it when nothing was changed.
// - Bookmarks name a row, not a place: they stay valid while other rows are
//   posted, deleted, sorted or refreshed. TNDataSetPosition puts the cursor
//   back after a nested scan.
// - Locate moves to the first matching row; Lookup finds a row without
//   moving and without posting anything.
// - Append/Insert/Edit put the current row into the insert or edit state;
//   Post writes it, Cancel forgets it (a cancelled insert leaves no row).
//   Delete removes the current row; the next row becomes current (the
//   previous one after the last). A posted row takes its place in index order
//   and stays current; an insert writes only the columns that were set, so
//   the others keep the database's defaults, and a new auto-number key is
//   readable at once. A posted row that the filter hides stays readable
//   through the fields (and GetBookmark) until the cursor moves or the
//   dataset changes state; the cursor itself stays on a visible row.
// - Notifications: signals for views (see below).
//
// Thread rule: a dataset, its fields and its connection belong to one thread
// (the main thread for the data modules' datasets). A worker thread makes its
// own datasets on its own connection.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "db/field.h"

class TNFilterExpr;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
// What a dataset is; windows ask it to choose what they offer (apply, cancel
// and refresh of a change log exist only for client datasets).
enum class TDataSetKind { dkTable, dkQuery, dkClient };

enum TLocateOption { loCaseInsensitive = 0x1, loPartialKey = 0x2 };
using TLocateOptions = int;

// A row's name for GotoBookmark; 0 names no row.
using TBookmark = quint64;

using TFilterRecordFunc = std::function<bool(const TNRecord& record)>;
using TDataSetHandler = std::function<void(TNDataSet& dataSet)>;

// The values of one row, one per data field in column order. They are never
// changed in place: a change makes new values and puts them in place of the
// old ones, so that the storage (a client dataset's store and change log) and
// the dataset's rows can hold the same values instead of a copy each.
using TNRowValues = std::shared_ptr<const std::vector<QVariant>>;

// Values as a shared piece; Values is moved, not copied.
inline TNRowValues MakeRowValues(std::vector<QVariant> values)
{
    return std::make_shared<const std::vector<QVariant>>(std::move(values));
}

// One row in memory.
struct TNRow {
    TBookmark Serial = 0;
    QVariant Key;        // where the storage finds the row (rowid)
    TNRowValues Values;  // never null once the row is filled
    int ViewIndex = -1;  // position among the visible rows, -1 when filtered out
};

// A column as the storage reports it when the dataset opens.
struct TNColumnInfo {
    QString Name;
    TFieldKind Kind = TFieldKind::fkUnknown;
    int Size = 0;
    bool ReadOnly = false;
};

class TNDataSet : public QObject {
    Q_OBJECT
public:
    explicit TNDataSet(QObject* parent = nullptr);
    ~TNDataSet() override;

    virtual TDataSetKind Kind() const = 0;

    // --- open state
    void Open();
    void Close();
    bool Active() const { return m_state != TDataSetState::dsInactive; }
    void SetActive(bool value);
    TDataSetState State() const { return m_state; }
    // Re-reads the rows; the current row stays current when it still exists,
    // otherwise the cursor keeps its row number.
    void Refresh();

    // --- fields
    int FieldCount() const { return int(m_fields.size()); }
    TNField* Field(int index) const { return m_fields.at(size_t(index)).get(); }
    TNField* FindField(const QString& name) const;    // nullptr when absent (any letter case)
    TNField* FieldByName(const QString& name) const;  // raises "Field 'X' not found"
    int FieldIndex(const TNField* field) const;
    QStringList FieldNames() const;
    // Declares a data field before the first Open so that its display
    // settings can be made early; Open fails when no column has this name.
    TNField* DefineField(const QString& name);
    // A lookup field; LookupDataSet must outlive this dataset.
    TNField* AddLookupField(const QString& name, const QString& keyFields, TNDataSet* lookupDataSet,
                            const QString& lookupKeyFields, const QString& lookupResultField, int size = 0);
    // A calculated field, computed from the row each time it is read.
    TNField* AddCalculatedField(const QString& name, TFieldKind kind, TCalcFieldFunc calc, int size = 0);

    // --- cursor
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);  // returns the rows actually moved
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const { return m_view.empty(); }
    int RecordCount() const { return int(m_view.size()); }
    int RecNo() const;  // 1-based; 0 when there is no current row
    void SetRecNo(int recNo);
    TBookmark GetBookmark() const;
    bool GotoBookmark(TBookmark bookmark);  // false (no move) when the row is gone or filtered out
    bool BookmarkValid(TBookmark bookmark) const;

    // --- search. KeyFields "A;B" takes a QVariantList of as many values.
    // A key that cannot be read as the field's kind matches nothing.
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = 0);
    // The result field(s) of the first row whose keys equal the values
    // exactly: one value, a QVariantList for "A;B", an invalid value when no
    // row matches.
    QVariant Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultFields) const;

    // --- editing
    bool CanModify() const { return Active() && StorageCanModify(); }
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Deletes the visible rows that the bookmarks name (others are passed
    // over), each from the storage in the given order, and then takes them
    // out of the rows in one pass and announces one reset: the cost follows
    // the rows, where a Delete per row moves every later row each time. The
    // current row stays current when it is kept, otherwise the cursor keeps
    // its row number. When the storage refuses a row, the rows it took
    // before are taken out all the same and the error is raised. Returns the
    // rows deleted.
    int DeleteBookmarks(const std::vector<TBookmark>& bookmarks);
    // Posts a pending change, or cancels it when nothing was changed.
    void CheckBrowseMode();
    bool Modified() const { return m_modified; }
    // Runs before each post; may raise to refuse it (the state stays).
    void SetBeforePost(TDataSetHandler handler) { m_beforePost = std::move(handler); }
    // Runs when Append or Insert has made the new row; values set here count
    // as set by the caller.
    void SetOnNewRecord(TDataSetHandler handler) { m_onNewRecord = std::move(handler); }

    // --- order and filter
    // "Name", "LastName;FirstName", "Name DESC"; empty keeps the storage's order.
    const QString& IndexFieldNames() const { return m_indexFieldNames; }
    void SetIndexFieldNames(const QString& names);
    const QString& Filter() const { return m_filterText; }
    void SetFilter(const QString& text);  // raises EDatabaseError for text it cannot read
    void SetOnFilterRecord(TFilterRecordFunc filter);
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool value);
    bool FilterCaseInsensitive() const { return m_filterCaseInsensitive; }
    void SetFilterCaseInsensitive(bool value);
    // Text keys of the index sort without regard to letter case (as the
    // database's NOCASE) unless this is set: then by character code, so that
    // "Bob" comes before "anna".
    bool SortCaseSensitive() const { return m_sortCaseSensitive; }
    void SetSortCaseSensitive(bool value);

    // --- views
    // While disabled, cursor moves and field changes are not announced (a
    // long scan); EnableControls announces the current row once.
    void DisableControls() { ++m_disableCount; }
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }
    // Values of visible row Row (0-based) without moving the cursor.
    QVariant RowValue(int row, const TNField* field) const;
    QString RowText(int row, const TNField* field) const;
    TBookmark RowBookmark(int row) const;
    int RowOfBookmark(TBookmark bookmark) const;  // -1 when not visible

    // A value of the current row (or of the edit buffer); used by TNField.
    QVariant CurrentValue(const TNField* field) const;
    void SetFieldValue(TNField* field, const QVariant& value);
    // A field's value for the given row values (lookup and calculated fields
    // are computed).
    QVariant RecordValue(const std::vector<QVariant>& values, const TNField* field) const;

    // A number for the owner's use (temporary IDs of a client dataset).
    int Tag() const { return m_tag; }
    void SetTag(int value) { m_tag = value; }
    // The object that made and owns this dataset (a data client), for windows
    // that need to know which address book a dataset belongs to; nullptr when
    // none was set or the owner is gone. The dataset layer never uses it.
    QObject* OwnerObject() const { return m_ownerObject.data(); }
    void SetOwnerObject(QObject* owner) { m_ownerObject = owner; }

signals:
    void AfterOpen();
    void AfterClose();
    void StateChanged();
    // The cursor moved to another row, or the current row's data changed.
    void CurrentRowChanged();
    // A field of the edited row was set.
    void FieldChanged(TNField* field);
    // Rows changed (posted, deleted, re-read, re-sorted, filtered).
    void DataChanged();
    void AfterPost();
    void AfterDelete();
    void AfterCancel();
    // For models: every structural change comes as one of these pairs.
    void AboutToReset();
    void Reset();
    void RowAboutToBeInserted(int row);
    void RowInserted(int row);
    void RowAboutToBeRemoved(int row);
    void RowRemoved(int row);
    void RowUpdated(int row);

protected:
    // Reads every row: fills Rows (Values in column order, Key for the
    // storage) and returns the columns.
    virtual std::vector<TNColumnInfo> LoadRows(std::vector<std::unique_ptr<TNRow>>& rows) = 0;
    // True when LoadRows already gave the rows in index order.
    virtual bool LoadedInIndexOrder() const { return false; }
    // Writes a new row made of the columns marked in Assigned; fills Row's Key
    // and Values with the stored row.
    virtual void StoreInsert(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& assigned) = 0;
    // Writes the changed columns of Row; Row's Values become the stored row.
    virtual void StoreUpdate(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& changed) = 0;
    virtual void StoreDelete(const TNRow& row) = 0;
    virtual bool StorageCanModify() const = 0;
    virtual void StorageClosed() {}
    // True when rows with equal index keys (or all rows, with no index) stand
    // in the order of their Key, as a table reads them; a new row then takes
    // its place by Key too. Otherwise new rows go after their equals.
    virtual bool OrderByKey() const { return false; }

    // The index keys as (field, descending) pairs; empty fields are skipped.
    struct TSortKey {
        const TNField* Field;
        bool Descending;
    };
    std::vector<TSortKey> ParseIndexFieldNames(const QString& names) const;
    const std::vector<std::unique_ptr<TNField>>& Fields() const { return m_fields; }
    [[noreturn]] void Error(const QString& text) const;

private:
    void CheckActive(const char* routine) const;
    void BindColumns(const std::vector<TNColumnInfo>& columns);
    void PrepareBinding();
    void TakeRows(std::vector<std::unique_ptr<TNRow>> rows);
    void ClearRows();
    void SortRows();
    bool RowLess(const TNRow* a, const TNRow* b) const;
    bool RowVisible(const TNRow* row) const;
    void RebuildView();
    void Reindex(size_t from);
    void DropIndexes();
    void FieldsChanged();
    void SetCursor(int index);
    void ReleaseHeldRow() { m_heldSerial = 0; }
    void AnnounceRow();
    void StartInsert();
    void PlaceRow(std::unique_ptr<TNRow> row);
    size_t TakeOutRow(TNRow* row, std::unique_ptr<TNRow>* owner);
    void ApplyFilter();
    void SetState(TDataSetState state);
    const std::vector<QVariant>* CurrentValues() const;
    const TNRow* FindRowByKey(const QList<const TNField*>& fields, const QVariantList& keys) const;
    QList<const TNField*> FieldList(const QString& names) const;
    QVariant LookupValue(const std::vector<QVariant>& values, const TNField* field) const;

    std::vector<std::unique_ptr<TNField>> m_fields;
    size_t m_columnCount = 0;
    std::vector<std::unique_ptr<TNRow>> m_rows;  // every row, in index order
    std::vector<TNRow*> m_view;                  // the visible rows
    QHash<TBookmark, TNRow*> m_bySerial;
    TBookmark m_nextSerial = 1;
    int m_cursor = -1;
    bool m_bof = true;
    bool m_eof = true;
    TDataSetState m_state = TDataSetState::dsInactive;
    std::vector<QVariant> m_buffer;  // the edited or inserted row
    std::vector<bool> m_assigned;
    bool m_modified = false;
    TDataSetHandler m_beforePost;
    TDataSetHandler m_onNewRecord;
    QString m_indexFieldNames;
    std::vector<TSortKey> m_sortKeys;
    QString m_filterText;
    std::unique_ptr<TNFilterExpr> m_filterExpr;
    TFilterRecordFunc m_onFilter;
    bool m_filtered = false;
    bool m_filterCaseInsensitive = false;
    bool m_sortCaseSensitive = false;
    // A posted row the filter hides, still read through the fields (0: none).
    TBookmark m_heldSerial = 0;
    int m_disableCount = 0;
    int m_tag = 0;
    QPointer<QObject> m_ownerObject;
    // Exact-match indexes of the visible rows for Lookup and Locate, by key
    // field list; dropped whenever rows change.
    mutable QHash<QString, QHash<QString, const TNRow*>> m_keyIndexes;
    mutable QHash<const TNField*, QHash<qint64, const TNRow*>> m_intIndexes;
    quint64 m_fieldsStamp = 0;  // changes whenever the field list does
};

// Remembers the current row and goes back to it when it goes out of scope
// (when the row is gone: to the same row number). For nested scans:
//   { TNDataSetPosition keep(ds); for (ds.First(); !ds.Eof(); ds.Next()) ... }
class TNDataSetPosition {
public:
    explicit TNDataSetPosition(TNDataSet& dataSet);
    ~TNDataSetPosition();
    TNDataSetPosition(const TNDataSetPosition&) = delete;
    TNDataSetPosition& operator=(const TNDataSetPosition&) = delete;
    void Restore();

private:
    TNDataSet& m_dataSet;
    TBookmark m_bookmark = 0;
    int m_recNo = 0;
};

// Opens a dataset for one routine and afterwards puts back its position and
// then its open state (closing it again when it was closed).
class TNDataSetScope {
public:
    explicit TNDataSetScope(TNDataSet& dataSet);
    ~TNDataSetScope();
    TNDataSetScope(const TNDataSetScope&) = delete;
    TNDataSetScope& operator=(const TNDataSetScope&) = delete;

private:
    TNDataSet& m_dataSet;
    bool m_wasActive;
    std::unique_ptr<TNDataSetPosition> m_position;
};
