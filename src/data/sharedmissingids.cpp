#include "data/sharedmissingids.h"

#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"

#include <QMap>
#include <QSet>

namespace {
// What the dataset tells of one row that lacks an ID somewhere.
struct TRowWithoutId {
    bool New = false;              // its insert is logged or in flight
    std::vector<QVariant> Loaded;  // the row as loaded (its first logged original, or the row)
};

bool NoValue(const std::vector<QVariant>& values, int column)
{
    return column >= 0 && size_t(column) < values.size() && values[size_t(column)].isNull();
}

// The rows that lack an ID in their values, logged originals or (WithApply)
// the apply in flight, by row key. Only those rows' values are copied.
QMap<qint64, TRowWithoutId> RowsWithoutId(const TNClientDataSet& dataSet, int id, bool withApply)
{
    QSet<qint64> lacking;
    dataSet.ForEachStoredRowByKey([&](qint64 key, const std::vector<QVariant>& values) {
        if (NoValue(values, id))
            lacking.insert(key);
    });
    dataSet.ForEachLogEntry([&](TUpdateKind kind, qint64 key, const std::vector<QVariant>& before) {
        if (kind != TUpdateKind::ukInsert && NoValue(before, id))
            lacking.insert(key);
    });
    if (withApply)
        for (const TNRowChange& change : dataSet.PendingApply())
            if (NoValue(change.OldValues, id) || NoValue(change.NewValues, id))
                lacking.insert(change.RowKey);
    QMap<qint64, TRowWithoutId> rows;
    if (lacking.isEmpty())
        return rows;
    dataSet.ForEachStoredRowByKey([&](qint64 key, const std::vector<QVariant>& values) {
        if (lacking.contains(key))
            rows[key].Loaded = values;
    });
    QSet<qint64> logged;
    dataSet.ForEachLogEntry([&](TUpdateKind kind, qint64 key, const std::vector<QVariant>& before) {
        if (!lacking.contains(key) || logged.contains(key))
            return;
        logged.insert(key);
        rows[key].New = kind == TUpdateKind::ukInsert;
        if (kind != TUpdateKind::ukInsert)
            rows[key].Loaded = before;
    });
    for (const TNRowChange& change : dataSet.PendingApply())
        if (lacking.contains(change.RowKey) && change.Kind == TUpdateKind::ukInsert)
            rows[change.RowKey].New = true;
    return rows;
}

// Drops the row's change when, with its ID in place, it changes nothing.
bool DropEmptyChange(TNClientDataSet& dataSet, qint64 key)
{
    for (const TNRowChange& change : dataSet.Delta()) {
        if (change.RowKey != key || change.Kind != TUpdateKind::ukModify)
            continue;
        for (size_t i = 0; i < change.OldValues.size() && i < change.NewValues.size(); ++i)
            if (!SameStoredValue(change.OldValues[i], change.NewValues[i]))
                return false;
        dataSet.MergeRowChanges(key);
        return true;
    }
    return false;
}

// "GroupID 21, ContactID 10"
QString OtherValues(const TNClientDataSet& dataSet, const std::vector<QVariant>& values, int id)
{
    QStringList parts;
    const std::vector<TNFieldDef>& defs = dataSet.FieldDefs();
    for (size_t i = 0; i < defs.size() && i < values.size(); ++i)
        if (int(i) != id)
            parts << QStringLiteral("%1 %2").arg(defs[i].Name,
                                                 values[i].isNull() ? QStringLiteral("null") : values[i].toString());
    return parts.join(QStringLiteral(", "));
}
}  // namespace

QString GiveIdsAtLoad(TBaseSharedClient& book)
{
    int given = 0;
    int dropped = 0;
    int waiting = 0;
    for (int kind = 0; kind < DataKindCount; ++kind) {
        TNClientDataSet* dataSet = book.ClientDataSet(TDataKind(kind));
        const int id = dataSet ? dataSet->FieldDefIndex(QStringLiteral("ID")) : -1;
        if (id < 0)
            continue;
        const QMap<qint64, TRowWithoutId> rows = RowsWithoutId(*dataSet, id, true);
        for (auto row = rows.cbegin(); row != rows.cend(); ++row) {
            if (row->New) {
                // From the book's run: below every temporary ID it holds.
                dataSet->FillEmptyValue(row.key(), id, book.GetNextTempID(dataSet));
                ++given;
            } else if (!NoValue(row->Loaded, id)) {
                // Stored by the server as this original says: its ID is known.
                dataSet->FillEmptyValue(row.key(), id, row->Loaded[size_t(id)]);
                dropped += DropEmptyChange(*dataSet, row.key()) ? 1 : 0;
            } else {
                ++waiting;
            }
        }
    }
    if (given == 0 && dropped == 0)
        return QString();
    QStringList lines{
        QStringLiteral("The cache of the address book \"%1\" held rows that an earlier version kept without an ID:")
            .arg(book.Name())};
    if (given > 0)
        lines
            << QStringLiteral("- new rows, which took temporary IDs and go with the next Apply Updates: %1").arg(given);
    if (dropped > 0)
        lines << QStringLiteral(
                     "- rows on the server whose ID the change log held; the changes left for them changed nothing "
                     "and were dropped: %1")
                     .arg(dropped);
    if (waiting > 0)
        lines << QStringLiteral(
                     "- rows on the server, which take their IDs from it at the next Apply Updates or "
                     "Refresh: %1")
                     .arg(waiting);
    return lines.join(u'\n');
}

bool HoldsRowsWithoutId(const TNClientDataSet& dataSet)
{
    const int id = dataSet.FieldDefIndex(QStringLiteral("ID"));
    return id >= 0 && !RowsWithoutId(dataSet, id, false).isEmpty();
}

QStringList TakeIdsFromServer(TNClientDataSet& dataSet, const std::vector<std::vector<QVariant>>& serverRows,
                              const QString& table)
{
    QStringList gone;
    const int id = dataSet.FieldDefIndex(QStringLiteral("ID"));
    if (id < 0)
        return gone;
    // A server's row another row here stands for is not this one.
    QSet<qint64> held;
    const auto hold = [&](const std::vector<QVariant>& values) {
        if (size_t(id) < values.size() && !values[size_t(id)].isNull())
            held.insert(values[size_t(id)].toLongLong());
    };
    dataSet.ForEachStoredRow(hold);
    dataSet.ForEachLogEntry([&](TUpdateKind, qint64, const std::vector<QVariant>& before) { hold(before); });
    for (const TNRowChange& change : dataSet.PendingApply()) {
        hold(change.OldValues);
        hold(change.NewValues);
    }
    std::vector<const std::vector<QVariant>*> free;
    for (const std::vector<QVariant>& row : serverRows)
        if (size_t(id) < row.size() && !held.contains(row[size_t(id)].toLongLong()))
            free.push_back(&row);
    const auto sameOthers = [&](const std::vector<QVariant>& a, const std::vector<QVariant>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (int(i) != id && !SameStoredValue(a[i], b[i]))
                return false;
        return true;
    };
    const QMap<qint64, TRowWithoutId> rows = RowsWithoutId(dataSet, id, false);
    for (auto row = rows.cbegin(); row != rows.cend(); ++row) {
        if (row->New || !NoValue(row->Loaded, id))
            continue;  // given its ID at load
        const auto match = std::find_if(free.begin(), free.end(), [&](const std::vector<QVariant>* server) {
            return sameOthers(*server, row->Loaded);
        });
        if (match == free.end()) {
            // Gone from the server (another user removed it): a removal made
            // here is done, and the row goes here too.
            dataSet.RemoveStoredRow(row.key());
            gone << QStringLiteral("%1 row without ID: %2").arg(table, OtherValues(dataSet, row->Loaded, id));
            continue;
        }
        dataSet.FillEmptyValue(row.key(), id, (**match)[size_t(id)]);
        DropEmptyChange(dataSet, row.key());
        free.erase(match);
    }
    return gone;
}
