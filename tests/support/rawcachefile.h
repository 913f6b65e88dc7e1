#pragma once
// The bytes of a cache file holding exactly the parts given, as the program
// writes them, so that tests can make files no dataset would write (two
// rows under one key, a value of the wrong kind, a change without values).
#include "db/clientdataset.h"

#include <QDataStream>

inline QByteArray RawCacheFile(const TNClientPacket& packet)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    const auto values = [&out](const std::vector<QVariant>& row) {
        out << quint32(row.size());
        for (const QVariant& value : row)
            out << value;
    };
    out.writeRawData("TVXCDS\r\n", 8);
    out << quint32(2) << quint32(packet.Defs.size());
    for (const TNFieldDef& def : packet.Defs)
        out << def.Name << qint32(def.Kind) << qint32(def.Size) << def.ReadOnly;
    out << packet.NextKey << quint32(packet.Rows.size());
    for (const auto& [key, row] : packet.Rows) {
        out << key;
        values(row);
    }
    out << quint32(packet.Log.size());
    for (const TNClientPacket::TLogEntry& entry : packet.Log) {
        out << qint32(entry.Kind) << entry.Key;
        values(entry.Before);
    }
    out << packet.ApplyId << quint32(packet.Applying.size());
    for (const TNRowChange& change : packet.Applying) {
        out << qint32(change.Kind) << change.RowKey;
        values(change.OldValues);
        values(change.NewValues);
    }
    out.writeRawData("END!", 4);
    return bytes;
}
