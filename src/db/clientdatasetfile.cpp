#include "db/clientdatasetfile.h"

#include "db/clientdataset.h"
#include "db/dberror.h"
#include "platform/durablefile.h"

#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {
constexpr char kMagic[] = "TVXCDS\r\n";
constexpr char kEnd[] = "END!";
constexpr quint32 kVersion = 3;
// Version 1 files have no apply in flight, and neither they nor version 2
// files name the load of their rows or the lowest temporary ID; they are
// read as they are.
constexpr quint32 kVersionWithoutApply = 1;
constexpr quint32 kVersionWithoutSource = 2;
// Bounds a corrupt count before it turns into a huge allocation.
constexpr quint32 kMaxCount = 50'000'000;
constexpr quint32 kMaxFields = 1000;

// The forms a field's value takes in memory or as the server sends it. A
// file that holds anything else (lists, maps, other programs' types, whose
// reading nests without bound) is damaged: it is refused, not read.
bool FieldValueType(quint32 typeId)
{
    switch (typeId) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::QString:
        case QMetaType::QDate:
        case QMetaType::QTime:
        case QMetaType::QDateTime:
            return true;
        default:
            return false;
    }
}

// Every value is written in a form ReadValue takes back: one of some other
// type (none is expected) as its text.
void Write(QDataStream& out, const std::vector<QVariant>& values)
{
    out << quint32(values.size());
    for (const QVariant& value : values) {
        if (!value.isValid() || FieldValueType(quint32(value.typeId())))
            out << value;
        else if (value.isNull())
            out << QVariant();
        else
            out << QVariant(value.toString());
    }
}

// One value as QVariant's stream form writes it: the type, the null flag,
// then the value itself (nothing for no value).
bool ReadValue(QDataStream& in, QVariant& value)
{
    quint32 typeId = 0;
    qint8 isNull = 0;
    in >> typeId >> isNull;
    if (in.status() != QDataStream::Ok)
        return false;
    // No value: written as nothing at all, or as a null pointer (a null
    // taken from JSON), with no payload either way.
    if (typeId == QMetaType::UnknownType || typeId == QMetaType::Nullptr) {
        value = QVariant();
        return true;
    }
    if (!FieldValueType(typeId))
        return false;
    const QMetaType type(static_cast<int>(typeId));
    QVariant read(type);
    if (!type.load(in, read.data()) || in.status() != QDataStream::Ok)
        return false;
    value = isNull ? QVariant(type) : std::move(read);
    return true;
}

// Whether a value as read is of the form a field of Kind holds: a whole
// number within 32 bits for the integer kinds, true or false for a Boolean,
// a text for the text kinds. No value fits every field. A value of another
// form (a text ID, a number where a text belongs) would be taken for
// something else by whoever reads the field, or sent on as it is.
bool FitsField(TFieldKind kind, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    const int type = value.typeId();
    switch (kind) {
        case TFieldKind::fkInteger:
        case TFieldKind::fkSmallInt:
        case TFieldKind::fkAutoInc:
            if (type == QMetaType::UInt || type == QMetaType::ULongLong)
                return value.toULongLong() <= 2147483647ULL;
            if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Short ||
                type == QMetaType::UShort)
                return value.toLongLong() >= -2147483648LL && value.toLongLong() <= 2147483647LL;
            return false;
        case TFieldKind::fkBoolean:
            return type == QMetaType::Bool;
        case TFieldKind::fkString:
        case TFieldKind::fkMemo:
            return type == QMetaType::QString;
        case TFieldKind::fkFloat:
            return type != QMetaType::Bool && type != QMetaType::QString && type != QMetaType::QDate &&
                   type != QMetaType::QTime && type != QMetaType::QDateTime;
        case TFieldKind::fkDateTime:
            return type == QMetaType::QDateTime || type == QMetaType::QDate || type == QMetaType::QTime;
        case TFieldKind::fkUnknown:
            return true;
    }
    return false;
}

QString KindText(TFieldKind kind)
{
    switch (kind) {
        case TFieldKind::fkInteger:
        case TFieldKind::fkSmallInt:
        case TFieldKind::fkAutoInc:
            return QStringLiteral("a whole number within 32 bits");
        case TFieldKind::fkBoolean:
            return QStringLiteral("true or false");
        case TFieldKind::fkString:
        case TFieldKind::fkMemo:
            return QStringLiteral("a text");
        case TFieldKind::fkFloat:
            return QStringLiteral("a number");
        case TFieldKind::fkDateTime:
            return QStringLiteral("a date or a time");
        case TFieldKind::fkUnknown:
            break;
    }
    return QStringLiteral("a value");
}

// What is wrong with one row's values (empty when nothing is): a value that
// does not fit its field, or no value in a field that needs one.
QString Misfit(const std::vector<TNFieldDef>& defs, const std::vector<QVariant>& values, const QStringList& required)
{
    for (size_t i = 0; i < values.size() && i < defs.size(); ++i) {
        const QVariant& value = values[i];
        if (!FitsField(defs[i].Kind, value)) {
            const QString shown =
                value.typeId() == QMetaType::QString ? u'"' + value.toString() + u'"' : value.toString();
            return QStringLiteral("%1 holds %2, which is not %3").arg(defs[i].Name, shown, KindText(defs[i].Kind));
        }
        if ((!value.isValid() || value.isNull()) && required.contains(defs[i].Name, Qt::CaseInsensitive))
            return QStringLiteral("%1 holds no value").arg(defs[i].Name);
    }
    return QString();
}

bool Read(QDataStream& in, std::vector<QVariant>& values)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > kMaxFields)
        return false;
    values.resize(count);
    for (QVariant& value : values)
        if (!ReadValue(in, value))
            return false;
    return true;
}

bool SameFields(const std::vector<TNFieldDef>& a, const std::vector<TNFieldDef>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TNFieldDef& x, const TNFieldDef& y) {
        return x.Kind == y.Kind && x.Name.compare(y.Name, Qt::CaseInsensitive) == 0;
    });
}

QString FieldNames(const std::vector<TNFieldDef>& defs)
{
    QStringList names;
    for (const TNFieldDef& def : defs)
        names << def.Name;
    return names.join(QStringLiteral(", "));
}

// What is wrong when two stored rows hold one value in Field (empty when
// none do, or the file has no such field): each would be taken for the
// other wherever the value names a row.
QString SameValueTwice(const TNClientPacket& packet, const QString& field)
{
    if (field.isEmpty())
        return QString();
    size_t column = packet.Defs.size();
    for (size_t i = 0; i < packet.Defs.size(); ++i)
        if (packet.Defs[i].Name.compare(field, Qt::CaseInsensitive) == 0)
            column = i;
    if (column == packet.Defs.size())
        return QString();
    QHash<qint64, size_t> rowOf;
    rowOf.reserve(qsizetype(packet.Rows.size()));
    for (size_t row = 0; row < packet.Rows.size(); ++row) {
        const QVariant& value = packet.Rows[row].second[column];
        if (!value.isValid() || value.isNull())
            continue;
        const auto at = rowOf.constFind(value.toLongLong());
        if (at == rowOf.constEnd())
            rowOf.insert(value.toLongLong(), row);
        else
            return QStringLiteral("rows %1 and %2 hold the same %3 %4")
                .arg(*at + 1)
                .arg(row + 1)
                .arg(packet.Defs[column].Name)
                .arg(value.toLongLong());
    }
    return QString();
}

[[noreturn]] void Unreadable(const QString& fileName, const QString& why)
{
    throw EDatabaseError(QStringLiteral("The cache file \"%1\" cannot be read: %2").arg(fileName, why));
}
}  // namespace

void SaveClientDataSetToFile(const TNClientDataSet& dataSet, const QString& fileName)
{
    // Written straight from the dataset into the new file: neither a copy of
    // the rows nor the file's bytes are held in memory.
    const auto write = [&dataSet](QIODevice& device) {
        QDataStream out(&device);
        out.setVersion(QDataStream::Qt_6_4);
        out.writeRawData(kMagic, 8);
        out << kVersion << quint32(dataSet.FieldDefs().size());
        for (const TNFieldDef& def : dataSet.FieldDefs())
            out << def.Name << qint32(def.Kind) << qint32(def.Size) << def.ReadOnly;
        out << qint64(dataSet.NextKey()) << quint32(dataSet.StoredRowCount());
        dataSet.ForEachStoredRowByKey([&out](qint64 key, const std::vector<QVariant>& values) {
            out << qint64(key);
            Write(out, values);
        });
        out << quint32(dataSet.LogCount());
        dataSet.ForEachLogEntry([&out](TUpdateKind kind, qint64 key, const std::vector<QVariant>& before) {
            out << qint32(kind) << qint64(key);
            Write(out, before);
        });
        out << dataSet.PendingApplyId() << quint32(dataSet.PendingApply().size());
        for (const TNRowChange& change : dataSet.PendingApply()) {
            out << qint32(change.Kind) << qint64(change.RowKey);
            Write(out, change.OldValues);
            Write(out, change.NewValues);
        }
        out << dataSet.SourceId() << qint64(dataSet.TempIdFloor());
        out.writeRawData(kEnd, 4);
        return out.status() == QDataStream::Ok;
    };
    QString error;
    if (!ReplaceFileDurably(fileName, write, &error))
        throw EDatabaseError(QStringLiteral("The cache file \"%1\" cannot be written: %2").arg(fileName, error));
}

void LoadClientDataSetFromFile(TNClientDataSet& dataSet, const QString& fileName, const QStringList& required,
                               const QString& uniqueField)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        Unreadable(fileName, file.errorString());
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    char magic[8] = {};
    if (in.readRawData(magic, 8) != 8 || std::memcmp(magic, kMagic, 8) != 0)
        Unreadable(fileName, QStringLiteral("not a cache file"));
    quint32 version = 0;
    quint32 defCount = 0;
    in >> version >> defCount;
    if (version != kVersion && version != kVersionWithoutApply && version != kVersionWithoutSource)
        Unreadable(fileName, QStringLiteral("format version %1, not %2").arg(version).arg(kVersion));
    if (in.status() != QDataStream::Ok || defCount == 0 || defCount > kMaxFields)
        Unreadable(fileName, QStringLiteral("bad field definitions"));
    TNClientPacket packet;
    for (quint32 i = 0; i < defCount; ++i) {
        TNFieldDef def;
        qint32 kind = 0;
        qint32 size = 0;
        in >> def.Name >> kind >> size >> def.ReadOnly;
        if (kind < int(TFieldKind::fkUnknown) || kind > int(TFieldKind::fkFloat) || def.Name.isEmpty())
            Unreadable(fileName, QStringLiteral("bad field definitions"));
        def.Kind = TFieldKind(kind);
        def.Size = size;
        packet.Defs.push_back(def);
    }
    if (!dataSet.FieldDefs().empty() && !SameFields(dataSet.FieldDefs(), packet.Defs))
        Unreadable(fileName, QStringLiteral("it holds the fields %1, not %2")
                                 .arg(FieldNames(packet.Defs), FieldNames(dataSet.FieldDefs())));
    quint32 rowCount = 0;
    in >> packet.NextKey >> rowCount;
    if (in.status() != QDataStream::Ok || rowCount > kMaxCount)
        Unreadable(fileName, QStringLiteral("bad row count"));
    // A damaged count must not reserve more than the file could hold.
    packet.Rows.reserve(std::min<qint64>(rowCount, file.size() / 16));
    // Rows are written in the order of their keys; two under one key would
    // leave one of them out of the dataset, and out of the file when it is
    // next written.
    bool ascending = true;
    for (quint32 i = 0; i < rowCount; ++i) {
        qint64 key = 0;
        std::vector<QVariant> values;
        in >> key;
        if (!Read(in, values) || values.size() != defCount)
            Unreadable(fileName, QStringLiteral("row %1 is damaged").arg(i + 1));
        const QString misfit = Misfit(packet.Defs, values, required);
        if (!misfit.isEmpty())
            Unreadable(fileName, QStringLiteral("in row %1, %2").arg(i + 1).arg(misfit));
        if (!packet.Rows.empty() && key == packet.Rows.back().first)
            Unreadable(fileName, QStringLiteral("rows %1 and %2 are stored under one key").arg(i).arg(i + 1));
        ascending = ascending && (packet.Rows.empty() || key > packet.Rows.back().first);
        packet.Rows.emplace_back(key, std::move(values));
    }
    if (!ascending) {
        std::vector<qint64> keys;
        keys.reserve(packet.Rows.size());
        for (const auto& row : packet.Rows)
            keys.push_back(row.first);
        std::sort(keys.begin(), keys.end());
        const auto twice = std::adjacent_find(keys.begin(), keys.end());
        if (twice != keys.end())
            Unreadable(fileName, QStringLiteral("two rows are stored under the key %1").arg(*twice));
    }
    const QString twice = SameValueTwice(packet, uniqueField);
    if (!twice.isEmpty())
        Unreadable(fileName, twice);
    quint32 logCount = 0;
    in >> logCount;
    if (in.status() != QDataStream::Ok || logCount > kMaxCount)
        Unreadable(fileName, QStringLiteral("bad change count"));
    for (quint32 i = 0; i < logCount; ++i) {
        TNClientPacket::TLogEntry entry;
        qint32 kind = 0;
        in >> kind >> entry.Key;
        // A change keeps the whole row as it was; an insert keeps nothing.
        if (kind < int(TUpdateKind::ukModify) || kind > int(TUpdateKind::ukDelete) || !Read(in, entry.Before) ||
            entry.Before.size() != (kind == int(TUpdateKind::ukInsert) ? 0 : defCount))
            Unreadable(fileName, QStringLiteral("change %1 is damaged").arg(i + 1));
        const QString misfit = Misfit(packet.Defs, entry.Before, required);
        if (!misfit.isEmpty())
            Unreadable(fileName, QStringLiteral("in change %1, %2").arg(i + 1).arg(misfit));
        entry.Kind = TUpdateKind(kind);
        packet.Log.push_back(std::move(entry));
    }
    quint32 applyingCount = 0;
    if (version != kVersionWithoutApply) {
        in >> packet.ApplyId >> applyingCount;
        if (in.status() != QDataStream::Ok || applyingCount > kMaxCount)
            Unreadable(fileName, QStringLiteral("bad count of changes in flight"));
    }
    if (packet.ApplyId.isEmpty() && applyingCount > 0)
        Unreadable(fileName, QStringLiteral("changes in flight have no apply ID"));
    for (quint32 i = 0; i < applyingCount; ++i) {
        TNRowChange change;
        qint32 kind = 0;
        in >> kind >> change.RowKey;
        if (kind < int(TUpdateKind::ukModify) || kind > int(TUpdateKind::ukDelete) || !Read(in, change.OldValues) ||
            !Read(in, change.NewValues))
            Unreadable(fileName, QStringLiteral("change in flight %1 is damaged").arg(i + 1));
        // The whole row as loaded for a change or a delete, the whole row as
        // sent for an insert or a change, nothing else: sending it again
        // reads exactly these.
        change.Kind = TUpdateKind(kind);
        const size_t oldCount = change.Kind == TUpdateKind::ukInsert ? 0 : defCount;
        const size_t newCount = change.Kind == TUpdateKind::ukDelete ? 0 : defCount;
        if (change.OldValues.size() != oldCount || change.NewValues.size() != newCount)
            Unreadable(fileName, QStringLiteral("change in flight %1 (%2) lacks the values it was sent with")
                                     .arg(i + 1)
                                     .arg(change.Kind == TUpdateKind::ukInsert   ? QStringLiteral("a new row")
                                          : change.Kind == TUpdateKind::ukDelete ? QStringLiteral("a delete")
                                                                                 : QStringLiteral("a change")));
        QString misfit = Misfit(packet.Defs, change.OldValues, required);
        if (misfit.isEmpty())
            misfit = Misfit(packet.Defs, change.NewValues, required);
        if (!misfit.isEmpty())
            Unreadable(fileName, QStringLiteral("in change in flight %1, %2").arg(i + 1).arg(misfit));
        packet.Applying.push_back(std::move(change));
    }
    if (version >= kVersion) {
        in >> packet.SourceId >> packet.TempIdFloor;
        if (in.status() != QDataStream::Ok || packet.TempIdFloor > 0 ||
            packet.TempIdFloor < std::numeric_limits<qint32>::min())
            Unreadable(fileName, QStringLiteral("bad lowest temporary ID"));
    }
    char end[4] = {};
    if (in.readRawData(end, 4) != 4 || std::memcmp(end, kEnd, 4) != 0)
        Unreadable(fileName, QStringLiteral("the file is cut short"));
    dataSet.LoadPacket(std::move(packet));
}
