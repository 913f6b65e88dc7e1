#include "data/sharedtakeback.h"

#include "data/sharedaccessclient.h"

#include <QHash>
#include <QSet>

namespace {
template <class Visit>
void ForEachDataSet(TBaseSharedClient& book, Visit visit)
{
    for (int kind = 0; kind < DataKindCount; ++kind)
        if (TNClientDataSet* dataSet = book.ClientDataSet(TDataKind(kind)))
            visit(TDataKind(kind), *dataSet);
}

// Stamps grows to hold every unit that changed a row after a unit in it
// did: an earlier change of a row cannot be taken back under a later one.
void AddLaterChangesOfSameRows(TBaseSharedClient& book, QSet<qint64>& stamps)
{
    for (bool grown = true; grown;) {
        grown = false;
        ForEachDataSet(book, [&](TDataKind, TNClientDataSet& dataSet) {
            QSet<qint64> touched;  // rows with a change being taken back
            dataSet.ForEachLogStamp([&](qint64 key, qint64 stamp) {
                if (stamps.contains(stamp)) {
                    touched.insert(key);
                } else if (touched.contains(key)) {
                    stamps.insert(stamp);
                    grown = true;
                }
            });
        });
    }
}
}  // namespace

TSettled TakeBackSince(TBaseSharedClient& book, qint64 point)
{
    const TNewRecordNames names = NewRecordNames(book);
    ForEachDataSet(book, [&](TDataKind, TNClientDataSet& dataSet) { dataSet.SetSavePoint(point); });
    return SettleRowsNamingGoneRecords(book, false, &names);
}

TSettled TakeBackChangesOf(TBaseSharedClient& book, const QList<TDataKind>& kinds)
{
    const TNewRecordNames names = NewRecordNames(book);
    QSet<qint64> stamps;
    for (TDataKind kind : kinds)
        if (const TNClientDataSet* dataSet = book.ClientDataSet(kind))
            dataSet->ForEachLogStamp([&](qint64, qint64 stamp) { stamps.insert(stamp); });
    AddLaterChangesOfSameRows(book, stamps);
    ForEachDataSet(book, [&](TDataKind, TNClientDataSet& dataSet) { dataSet.UndoStamps(stamps); });
    return SettleRowsNamingGoneRecords(book, false, &names);
}
