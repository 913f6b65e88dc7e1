#pragma once
// The remote data door of the paging server: the protocol shared address
// books use to fetch and apply their rows (see docs/REMOTEDATA.md).
//
// Every message, in both directions, is a 4-byte big-endian length followed
// by that many bytes of one UTF-8 JSON object. This file holds the framing,
// the reader of a byte stream, and the JSON forms of field definitions, row
// packets, change logs and per-row results. No sockets, no database: the
// client connection and the simulator's door both build on it.
// Plain values; no thread rules beyond those of the objects' owners.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace RemoteData {
constexpr quint16 DefaultPort = 211;
// 2: every apply carries an apply ID, and a repeated ID is answered with the
// stored result (a door of protocol 1 would store a repeated apply again).
constexpr int ProtocolVersion = 2;
// The largest message either side accepts; a longer announced length breaks
// the stream (the reader cannot find the next message after it).
constexpr qint32 MaxMessageBytes = 64 * 1024 * 1024;

// Error codes of a whole request.
constexpr int ErrBadRequest = 1;
constexpr int ErrUnknownServer = 2;
constexpr int ErrNotConnected = 3;
constexpr int ErrUnknownProvider = 4;
constexpr int ErrServer = 5;

// Error codes of one row of an apply.
constexpr int RowConstraint = 1;  // the database refused the row
constexpr int RowNotFound = 2;    // deleted by someone else meanwhile
constexpr int RowConflict = 3;    // changed by someone else meanwhile

// A value of a reference column that names no row (FolderAssigns.GroupID of
// a contact's membership); every other negative ID is a client's temporary
// ID of a row not yet applied.
constexpr qint64 NoRowId = -2147483647LL - 1;
bool IsTemporaryId(qint64 id);

// The eight providers, in the order of the address-book kinds 0 to 7.
QStringList ProviderNames();
// "prvContacts" -> "Contacts"; empty for an unknown provider.
QString ProviderTable(const QString& provider);
}  // namespace RemoteData

// One framed message: the length prefix and the JSON text.
QByteArray EncodeRemoteMessage(const QJsonObject& message);
// The JSON object of a message's text; false with ErrorText when it is none.
bool ParseRemoteMessage(const QByteArray& body, QJsonObject* message, QString* errorText);

// Cuts messages out of a byte stream. A well-framed message that is not a
// JSON object is reported and skipped (the stream stays usable); a length
// that is negative or above the limit breaks the stream for good.
class TRemoteMessageReader {
public:
    enum class TResult { Message, NeedMore, Malformed, Broken };

    explicit TRemoteMessageReader(qint32 maxBytes = RemoteData::MaxMessageBytes) : m_maxBytes(maxBytes) {}

    void Append(const char* data, qint64 size) { m_buffer.append(data, size); }
    void Append(const QByteArray& data) { m_buffer.append(data); }
    // The next message, or why there is none. ErrorText says what was wrong
    // for Malformed and Broken.
    TResult Next(QJsonObject* message, QString* errorText);
    // The same without reading the JSON: the message's bytes as they came
    // (never Malformed). A long message is taken out of the buffer without
    // a copy of its bytes.
    TResult NextRaw(QByteArray* body, QString* errorText);
    // Bytes of an unfinished message are waiting: the stream was cut short
    // when it ends now.
    bool HasPartial() const { return !m_buffer.isEmpty(); }
    bool IsBroken() const { return m_broken; }

private:
    QByteArray m_buffer;
    qint32 m_maxBytes;
    bool m_broken = false;
};

enum class TRemoteFieldKind { Integer, SmallInt, Boolean, String, Memo };

struct TRemoteFieldDef {
    QString name;
    TRemoteFieldKind kind = TRemoteFieldKind::String;
    int size = 0;  // characters of a String field
};

// The rows of one provider with their field definitions; each row holds
// one value per field, in field order (a null QVariant for NULL).
struct TRemotePacket {
    QList<TRemoteFieldDef> fields;
    QList<QVariantList> rows;

    int FieldIndex(const QString& name) const;
    QJsonObject ToJson() const;
    // False with ErrorText when the object is not a packet.
    static bool FromJson(const QJsonObject& json, TRemotePacket* packet, QString* errorText);
};

// One change of a client's change log. An insert carries its temporary ID
// and the values set; a modification the values set and the original values
// of the fields it touches; a delete the original values it relies on.
struct TRemoteChange {
    enum class TKind { Insert, Modify, Delete };
    TKind kind = TKind::Insert;
    qint64 id = 0;
    QVariantMap values;
    QVariantMap original;

    QJsonObject ToJson() const;
    static bool FromJson(const QJsonObject& json, TRemoteChange* change, QString* errorText);
};

// What the server did with one change, in the order the changes were sent.
struct TRemoteApplyResult {
    bool ok = false;
    qint64 newId = 0;  // the stored ID of an insert
    int code = 0;
    QString text;
    // The server's row as it stands: for a refusal, and for a stored insert
    // (with the values the server filled in, its defaults).
    bool hasCurrent = false;
    QVariantMap current;

    QJsonObject ToJson() const;
    static bool FromJson(const QJsonObject& json, TRemoteApplyResult* result, QString* errorText);
};

// A JSON number that is a whole number within 32 bits (IDs, integer cells);
// false for 2.5, 1e300, texts and null.
bool RemoteWholeInt32(double number, qint32* value);
bool RemoteWholeInt32(const QJsonValue& json, qint32* value);

// JSON forms of a row's values: numbers, texts, Booleans and null.
QJsonObject RemoteValuesToJson(const QVariantMap& values);
QVariantMap RemoteValuesFromJson(const QJsonObject& json);
