#include "db/clientdatasetfile.h"

#include "db/clientdataset.h"
#include "db/dberror.h"
#include "platform/durablefile.h"

#include <QDataStream>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstring>

namespace {
constexpr char kMagic[] = "TVXCDS\r\n";
constexpr char kEnd[] = "END!";
constexpr quint32 kVersion = 2;
// Version 1 files have no apply in flight; they are read as they are.
constexpr quint32 kVersionWithoutApply = 1;
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
        out << quint32(dataSet.SavePoint());
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
        out.writeRawData(kEnd, 4);
        return out.status() == QDataStream::Ok;
    };
    QString error;
    if (!ReplaceFileDurably(fileName, write, &error))
        throw EDatabaseError(QStringLiteral("The cache file \"%1\" cannot be written: %2").arg(fileName, error));
}

void LoadClientDataSetFromFile(TNClientDataSet& dataSet, const QString& fileName)
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
    if (version != kVersion && version != kVersionWithoutApply)
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
    for (quint32 i = 0; i < rowCount; ++i) {
        qint64 key = 0;
        std::vector<QVariant> values;
        in >> key;
        if (!Read(in, values) || values.size() != defCount)
            Unreadable(fileName, QStringLiteral("row %1 is damaged").arg(i + 1));
        packet.Rows.emplace_back(key, std::move(values));
    }
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
        entry.Kind = TUpdateKind(kind);
        packet.Log.push_back(std::move(entry));
    }
    quint32 applyingCount = 0;
    if (version != kVersionWithoutApply) {
        in >> packet.ApplyId >> applyingCount;
        if (in.status() != QDataStream::Ok || applyingCount > kMaxCount)
            Unreadable(fileName, QStringLiteral("bad count of changes in flight"));
    }
    // A change in flight holds no values or a whole row on each side.
    const auto wholeOrNone = [defCount](const std::vector<QVariant>& values) {
        return values.empty() || values.size() == defCount;
    };
    for (quint32 i = 0; i < applyingCount; ++i) {
        TNRowChange change;
        qint32 kind = 0;
        in >> kind >> change.RowKey;
        if (kind < int(TUpdateKind::ukModify) || kind > int(TUpdateKind::ukDelete) || !Read(in, change.OldValues) ||
            !Read(in, change.NewValues) || !wholeOrNone(change.OldValues) || !wholeOrNone(change.NewValues))
            Unreadable(fileName, QStringLiteral("change in flight %1 is damaged").arg(i + 1));
        change.Kind = TUpdateKind(kind);
        packet.Applying.push_back(std::move(change));
    }
    char end[4] = {};
    if (in.readRawData(end, 4) != 4 || std::memcmp(end, kEnd, 4) != 0)
        Unreadable(fileName, QStringLiteral("the file is cut short"));
    dataSet.LoadPacket(std::move(packet));
}
