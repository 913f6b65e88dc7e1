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

TNewRecordNames NewRecordNames(TBaseSharedClient& book)
{
    TNewRecordNames names;
    for (TDataKind kind : NamedKinds) {
        const TNClientDataSet* dataSet = book.ClientDataSet(kind);
        if (!dataSet)
            continue;
        const int id = dataSet->FieldDefIndex(QStringLiteral("ID"));
        const int name = dataSet->FieldDefIndex(QStringLiteral("Name"));
        const auto note = [&](const std::vector<QVariant>& values) {
            const QVariant value = ValueAt(values, id);
            if (NamesTemporaryId(value))
                names.insert({int(kind), value.toLongLong()}, ValueAt(values, name).toString());
        };
        // A new record deleted already is known by what its delete logged.
        dataSet->ForEachLogEntry([&](TUpdateKind, qint64, const std::vector<QVariant>& before) { note(before); });
        dataSet->ForEachStoredRow(note);
    }
    return names;
}

namespace {
QString KindNoun(TDataKind kind)
{
    switch (kind) {
        case dkCarrierTypes:
            return QStringLiteral("carrier type");
        case dkCarriers:
            return QStringLiteral("carrier");
        case dkContacts:
            return QStringLiteral("contact");
        case dkTemplates:
            return QStringLiteral("template");
        case dkGroups:
            return QStringLiteral("group");
        case dkGroupAssigns:
            return QStringLiteral("membership");
        case dkFolders:
            return QStringLiteral("folder");
        case dkFolderAssigns:
            return QStringLiteral("placement");
        default:
            return TableOf(kind);
    }
}

QString FieldNoun(const TSharedReference& ref)
{
    const QString field = QString::fromLatin1(ref.Field);
    if (field == QLatin1String("ParentID"))
        return ref.Kind == dkFolders ? QStringLiteral("parent folder") : QStringLiteral("parent template");
    return field.endsWith(QLatin1String("ID")) ? field.chopped(2).toLower() : field;
}

// How the operator knows a record: "the carrier "Door"", "the new carrier
// "Night"", "the folder 12"; a folder ID of 0 is the book's top level.
QString RecordText(TBaseSharedClient& book, TDataKind kind, const QVariant& id, const TNewRecordNames* names)
{
    if (kind == dkFolders && !id.isNull() && id.toLongLong() == 0)
        return QStringLiteral("the top level");
    if (id.isNull())
        return QStringLiteral("no %1").arg(KindNoun(kind));
    QString name;
    if (const TNClientDataSet* dataSet = book.ClientDataSet(kind)) {
        const int idColumn = dataSet->FieldDefIndex(QStringLiteral("ID"));
        const int nameColumn = dataSet->FieldDefIndex(QStringLiteral("Name"));
        dataSet->ForEachStoredRow([&](const std::vector<QVariant>& values) {
            if (name.isEmpty() && SameStoredValue(ValueAt(values, idColumn), id))
                name = ValueAt(values, nameColumn).toString();
        });
    }
    if (name.isEmpty() && names)
        name = names->value({int(kind), id.toLongLong()});
    const QString noun = (NamesTemporaryId(id) ? QStringLiteral("new ") : QString()) + KindNoun(kind);
    return name.isEmpty() ? QStringLiteral("the %1 %2").arg(noun, id.toString())
                          : QStringLiteral("the %1 \"%2\"").arg(noun, name);
}

QString RowText(TBaseSharedClient& book, TDataKind kind, const TNClientDataSet& dataSet,
                const std::vector<QVariant>& values, const TNewRecordNames* names)
{
    const auto value = [&](const char* field) {
        return ValueAt(values, dataSet.FieldDefIndex(QString::fromLatin1(field)));
    };
    if (kind == dkGroupAssigns)
        return QStringLiteral("the membership of %1 in %2")
            .arg(RecordText(book, dkContacts, value("ContactID"), names),
                 RecordText(book, dkGroups, value("GroupID"), names));
    if (kind == dkFolderAssigns) {
        const QVariant group = value("GroupID");
        const bool isGroup = !group.isNull() && group.toLongLong() != RemoteData::NoRowId;
        return QStringLiteral("the placement of %1 in %2")
            .arg(isGroup ? RecordText(book, dkGroups, group, names)
                         : RecordText(book, dkContacts, value("ContactID"), names),
                 RecordText(book, dkFolders, value("FolderID"), names));
    }
    return RecordText(book, kind, value("ID"), names);
}

// A row that names a gone new record, as found.
struct TGoneReference {
    TSharedReference Ref;
    TDataKind Named;
    qint64 Key;
    qint64 NamedId;
    int Column;
    std::vector<QVariant> Values;
};
}  // namespace

TSettled SettleRowsNamingGoneRecords(TBaseSharedClient& book, bool logged, const TNewRecordNames* givenNames)
{
    const TNewRecordNames known = givenNames ? *givenNames : NewRecordNames(book);
    const TNewRecordNames* names = &known;
    TSettled settled;
    const QHash<int, QSet<qint64>> goneRecords = GoneNewRecords(book);
    for (auto it = goneRecords.cbegin(); it != goneRecords.cend(); ++it)
        for (qint64 id : it.value())
            settled.GoneNew.append({TDataKind(it.key()), id});
    QSet<QPair<int, qint64>> settledRows;  // kind, row key: each is settled once
    // Each round settles the rows naming what went in the one before (a
    // folder under a gone folder, then the rows in that folder).
    for (;;) {
        QHash<int, QSet<qint64>> held;
        for (TDataKind named : NamedKinds)
            held.insert(named, HeldTemporaryIds(book, named));
        QList<TGoneReference> rows;
        ForEachReference(book,
                         [&](const TSharedReference& ref, TDataKind named, TNClientDataSet& dataSet, int column, int) {
                             dataSet.ForEachStoredRowByKey([&](qint64 key, const std::vector<QVariant>& values) {
                                 const QVariant value = ValueAt(values, column);
                                 if (NamesTemporaryId(value) && !held.value(named).contains(value.toLongLong()))
                                     rows.append({ref, named, key, value.toLongLong(), column, values});
                             });
                         });
        if (rows.isEmpty())
            return settled;
        QSet<QPair<int, qint64>> done;
        for (const TGoneReference& row : std::as_const(rows)) {
            const QPair<int, qint64> rowKey{int(row.Ref.Kind), row.Key};
            if (done.contains(rowKey))
                continue;
            done.insert(rowKey);
            TNClientDataSet& dataSet = *book.ClientDataSet(row.Ref.Kind);
            const QString text = RowText(book, row.Ref.Kind, dataSet, row.Values, names);
            const QString gone = RecordText(book, row.Named, row.NamedId, names);
            const std::vector<QVariant>* loaded = dataSet.LoadedValues(row.Key);
            const QVariant loadedValue = loaded ? ValueAt(*loaded, row.Column) : QVariant();
            // A row the server has keeps its other changes; only the
            // reference goes back, unless it too named a new record.
            if (loaded && !settledRows.contains(rowKey) && !NamesTemporaryId(loadedValue) &&
                dataSet.RevertValueToLoaded(row.Key, row.Column, logged)) {
                settledRows.insert(rowKey);
                settled.Lines << QStringLiteral(
                                     "%1 keeps its other changes, but its %2 goes back to %3: %4 is no "
                                     "longer in the book")
                                     .arg(text, FieldNoun(row.Ref), RecordText(book, row.Named, loadedValue, names),
                                          gone);
                continue;
            }
            settledRows.insert(rowKey);
            const QVariant id = ValueAt(row.Values, dataSet.FieldDefIndex(QStringLiteral("ID")));
            if (NamesTemporaryId(id))
                settled.GoneNew.append({row.Ref.Kind, id.toLongLong()});
            bool isNew = false;
            dataSet.ForEachLogEntry([&](TUpdateKind kind, qint64 key, const std::vector<QVariant>&) {
                isNew = isNew || (key == row.Key && kind == TUpdateKind::ukInsert);
            });
            if (isNew && logged)
                dataSet.RevertRowLogged(row.Key);
            else if (isNew)
                dataSet.RevertRow(row.Key);
            else
                dataSet.RemoveStoredRow(row.Key);  // a row the log does not explain
            settled.Lines << QStringLiteral("%1 goes with %2").arg(text, gone);
        }
    }
}

QString DescribeRecord(TBaseSharedClient& book, TDataKind kind, const QVariant& id, const TNewRecordNames* names)
{
    return RecordText(book, kind, id, names);
}

QString DescribeRow(TBaseSharedClient& book, TDataKind kind, const std::vector<QVariant>& values,
                    const TNewRecordNames* names)
{
    const TNClientDataSet* dataSet = book.ClientDataSet(kind);
    return dataSet ? RowText(book, kind, *dataSet, values, names) : QString();
}

QStringList DropRowsNamingGoneRecords(TBaseSharedClient& book)
{
    return SettleRowsNamingGoneRecords(book, false).Lines;
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
