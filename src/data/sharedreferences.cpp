#include "data/sharedreferences.h"

#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"

namespace {
// The kinds whose rows other rows name.
constexpr TDataKind NamedKinds[] = {dkCarriers, dkContacts, dkGroups, dkFolders, dkTemplates};

QString TableOf(TDataKind kind)
{
    return RemoteData::ProviderTable(RemoteData::ProviderNames().value(kind));
}

QVariant ValueAt(const std::vector<QVariant>& values, int column)
{
    return column >= 0 && size_t(column) < values.size() ? values[size_t(column)] : QVariant();
}

bool NamesTemporaryId(const QVariant& value)
{
    return !value.isNull() && RemoteData::IsTemporaryId(value.toLongLong());
}

// The temporary IDs the rows of Kind hold.
QSet<qint64> HeldTemporaryIds(TBaseSharedClient& book, TDataKind kind)
{
    QSet<qint64> held;
    const TNClientDataSet* dataSet = book.ClientDataSet(kind);
    if (!dataSet)
        return held;
    const int id = dataSet->FieldDefIndex(QStringLiteral("ID"));
    dataSet->ForEachStoredRow([&](const std::vector<QVariant>& values) {
        const QVariant value = ValueAt(values, id);
        if (NamesTemporaryId(value))
            held.insert(value.toLongLong());
    });
    return held;
}

// A row to take out, and the line that says so.
struct TNamingRow {
    TDataKind Kind;
    qint64 Key;
    QString Text;
};

// Visits every reference field of the book's datasets: the field, the kind
// it names, the dataset and the columns of the field and of the row's ID.
template <class Visit>
void ForEachReference(TBaseSharedClient& book, Visit visit)
{
    for (TDataKind named : NamedKinds)
        for (const TSharedReference& ref : SharedReferencesTo(named))
            if (TNClientDataSet* dataSet = book.ClientDataSet(ref.Kind))
                visit(ref, named, *dataSet, dataSet->FieldDefIndex(QString::fromLatin1(ref.Field)),
                      dataSet->FieldDefIndex(QStringLiteral("ID")));
}

// Visits every stored row of the book that names a record of a named kind
// by a temporary ID, with the kind named and the ID.
template <class Visit>
void ForEachRowNamingTemporaryId(TBaseSharedClient& book, Visit visit)
{
    ForEachReference(book,
                     [&](const TSharedReference& ref, TDataKind named, TNClientDataSet& dataSet, int column, int id) {
                         dataSet.ForEachStoredRowByKey([&](qint64 key, const std::vector<QVariant>& values) {
                             const QVariant value = ValueAt(values, column);
                             if (NamesTemporaryId(value))
                                 visit(ref, named, key, ValueAt(values, id), value.toLongLong());
                         });
                     });
}

// "the Groups row -2 "Night shift"", or without a name when it has none.
QString NamedRowText(TBaseSharedClient& book, TDataKind kind, qint64 id)
{
    QString text = QStringLiteral("the %1 row %2").arg(TableOf(kind)).arg(id);
    const TNClientDataSet* dataSet = book.ClientDataSet(kind);
    if (!dataSet)
        return text;
    const int idColumn = dataSet->FieldDefIndex(QStringLiteral("ID"));
    const int nameColumn = dataSet->FieldDefIndex(QStringLiteral("Name"));
    QString name;
    dataSet->ForEachStoredRow([&](const std::vector<QVariant>& values) {
        if (name.isEmpty() && SameStoredValue(ValueAt(values, idColumn), id))
            name = ValueAt(values, nameColumn).toString();
    });
    return name.isEmpty() ? text : text + QStringLiteral(" \"%1\"").arg(name);
}
}  // namespace

QList<TSharedReference> SharedReferencesTo(TDataKind kind)
{
    switch (kind) {
        case dkCarriers:
            return {{dkContacts, "CarrierID"}};
        case dkContacts:
            return {{dkGroupAssigns, "ContactID"}, {dkFolderAssigns, "ContactID"}};
        case dkGroups:
            return {{dkGroupAssigns, "GroupID"}, {dkFolderAssigns, "GroupID"}};
        case dkFolders:
            return {{dkFolders, "ParentID"}, {dkFolderAssigns, "FolderID"}};
        case dkTemplates:
            return {{dkTemplates, "ParentID"}};
        default:
            return {};
    }
}

QHash<int, QSet<qint64>> GoneNewRecords(TBaseSharedClient& book)
{
    QHash<int, QSet<qint64>> held;
    for (TDataKind named : NamedKinds)
        held.insert(named, HeldTemporaryIds(book, named));
    QHash<int, QSet<qint64>> gone;
    ForEachRowNamingTemporaryId(book,
                                [&](const TSharedReference&, TDataKind named, qint64, const QVariant&, qint64 namedId) {
                                    if (!held.value(named).contains(namedId))
                                        gone[named].insert(namedId);
                                });
    return gone;
}

QStringList DropRowsNamingGoneRecords(TBaseSharedClient& book)
{
    QStringList dropped;
    QSet<QPair<int, qint64>> reverted;  // kind, row key
    // Each round takes out the rows naming what went in the one before (a
    // folder under a gone folder, then the rows in that folder).
    for (;;) {
        QHash<int, QSet<qint64>> held;
        for (TDataKind named : NamedKinds)
            held.insert(named, HeldTemporaryIds(book, named));
        QList<TNamingRow> rows;
        ForEachRowNamingTemporaryId(
            book, [&](const TSharedReference& ref, TDataKind named, qint64 key, const QVariant& id, qint64 namedId) {
                if (!held.value(named).contains(namedId))
                    rows.append({ref.Kind, key,
                                 QStringLiteral("%1 row %2: %3 %4 is in no row of %5")
                                     .arg(TableOf(ref.Kind), id.isNull() ? QStringLiteral("without ID") : id.toString(),
                                          QString::fromLatin1(ref.Field))
                                     .arg(namedId)
                                     .arg(TableOf(named))});
            });
        if (rows.isEmpty())
            return dropped;
        for (int kind = 0; kind < DataKindCount; ++kind) {
            TNClientDataSet* dataSet = book.ClientDataSet(TDataKind(kind));
            if (!dataSet)
                continue;
            QSet<qint64> logged;
            dataSet->ForEachLogEntry(
                [&](TUpdateKind, qint64 key, const std::vector<QVariant>&) { logged.insert(key); });
            QSet<qint64> done;
            const TNClientDataSet::TNStoredRowBatch oneReread(*dataSet);
            for (const TNamingRow& row : std::as_const(rows)) {
                if (row.Kind != kind || done.contains(row.Key))
                    continue;
                done.insert(row.Key);
                // A changed row goes back to what it was loaded as (a new
                // one goes), logged so that a window's Cancel brings it back
                // with the record; a row the log does not explain goes. What
                // it was loaded as is looked at again in the next round.
                if (logged.contains(row.Key) && !reverted.contains({kind, row.Key})) {
                    dataSet->RevertRowLogged(row.Key);
                    reverted.insert({kind, row.Key});
                } else {
                    dataSet->RemoveStoredRow(row.Key);
                }
                dropped.append(row.Text);
            }
        }
    }
}

QList<TWaitingRow> WaitingRows(TBaseSharedClient& book)
{
    QList<TWaitingRow> waiting;
    ForEachReference(
        book, [&](const TSharedReference& ref, TDataKind named, TNClientDataSet& dataSet, int column, int id) {
            for (const TNRowChange& change : dataSet.Delta()) {
                const QVariant value = ValueAt(change.NewValues, column);
                if (change.Kind == TUpdateKind::ukDelete || !NamesTemporaryId(value))
                    continue;
                waiting.append({ref.Kind, ValueAt(change.NewValues, id).toLongLong(), named, value.toLongLong(),
                                QStringLiteral("%1 row %2 names %3")
                                    .arg(TableOf(ref.Kind), ValueAt(change.NewValues, id).toString(),
                                         NamedRowText(book, named, value.toLongLong()))});
            }
        });
    return waiting;
}
