#include "remotedataprotocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QtEndian>
#include <cmath>

namespace RemoteData {
QStringList ProviderNames()
{
    return {QStringLiteral("prvCarrierTypes"), QStringLiteral("prvCarriers"),     QStringLiteral("prvContacts"),
            QStringLiteral("prvTemplates"),    QStringLiteral("prvGroups"),       QStringLiteral("prvGroupAssigns"),
            QStringLiteral("prvFolders"),      QStringLiteral("prvFolderAssigns")};
}

bool IsTemporaryId(qint64 id)
{
    return id < 0 && id != NoRowId;
}

QString ProviderTable(const QString& provider)
{
    if (!ProviderNames().contains(provider))
        return QString();
    return provider.mid(3);
}
}  // namespace RemoteData

QByteArray EncodeRemoteMessage(const QJsonObject& message)
{
    const QByteArray body = QJsonDocument(message).toJson(QJsonDocument::Compact);
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), framed.data());
    framed.append(body);
    return framed;
}

TRemoteMessageReader::TResult TRemoteMessageReader::NextRaw(QByteArray* body, QString* errorText)
{
    if (m_broken) {
        *errorText = QStringLiteral("The data stream is broken");
        return TResult::Broken;
    }
    if (m_buffer.size() < 4)
        return TResult::NeedMore;
    const qint32 length = qFromBigEndian<qint32>(m_buffer.constData());
    if (length < 0 || length > m_maxBytes) {
        m_broken = true;
        m_buffer.clear();
        *errorText = QStringLiteral("A message of %1 bytes is over the limit of %2").arg(length).arg(m_maxBytes);
        return TResult::Broken;
    }
    if (m_buffer.size() - 4 < length) {
        // Room for the whole message at once: growing step by step would
        // leave up to twice its size allocated.
        m_buffer.reserve(qsizetype(length) + 4);
        return TResult::NeedMore;
    }
    if (m_buffer.size() - 4 == length && length > 65536) {
        m_buffer.remove(0, 4);
        *body = std::move(m_buffer);
        m_buffer = QByteArray();
        return TResult::Message;
    }
    *body = m_buffer.mid(4, length);
    m_buffer.remove(0, 4 + length);
    return TResult::Message;
}

TRemoteMessageReader::TResult TRemoteMessageReader::Next(QJsonObject* message, QString* errorText)
{
    QByteArray body;
    const TResult result = NextRaw(&body, errorText);
    if (result != TResult::Message)
        return result;
    return ParseRemoteMessage(body, message, errorText) ? TResult::Message : TResult::Malformed;
}

bool ParseRemoteMessage(const QByteArray& body, QJsonObject* message, QString* errorText)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *errorText = parseError.error != QJsonParseError::NoError
                         ? QStringLiteral("Malformed message: %1").arg(parseError.errorString())
                         : QStringLiteral("Malformed message: not a JSON object");
        return false;
    }
    *message = document.object();
    return true;
}

namespace {
struct TKindName {
    TRemoteFieldKind kind;
    const char* name;
};
constexpr TKindName KindNames[] = {{TRemoteFieldKind::Integer, "integer"},
                                   {TRemoteFieldKind::SmallInt, "smallint"},
                                   {TRemoteFieldKind::Boolean, "boolean"},
                                   {TRemoteFieldKind::String, "string"},
                                   {TRemoteFieldKind::Memo, "memo"}};

QString KindName(TRemoteFieldKind kind)
{
    for (const TKindName& entry : KindNames) {
        if (entry.kind == kind)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

bool KindFromName(const QString& name, TRemoteFieldKind* kind)
{
    for (const TKindName& entry : KindNames) {
        if (name == QLatin1String(entry.name)) {
            *kind = entry.kind;
            return true;
        }
    }
    return false;
}

QJsonValue ValueToJson(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue(QJsonValue::Null);
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
            return value.toLongLong();
        case QMetaType::Double:
        case QMetaType::Float:
            return value.toDouble();
        default:
            return value.toString();
    }
}

QVariant ValueFromJson(const QJsonValue& value)
{
    switch (value.type()) {
        case QJsonValue::Bool:
            return value.toBool();
        case QJsonValue::Double: {
            // Whole numbers become integers only where a double holds them
            // exactly; anything larger (1e300) stays a double.
            const double number = value.toDouble();
            constexpr double exact = 9007199254740992.0;  // 2^53
            if (std::trunc(number) == number && number >= -exact && number <= exact)
                return static_cast<qint64>(number);
            return number;
        }
        case QJsonValue::String:
            return value.toString();
        default:
            return QVariant();
    }
}

// A value as it stood in the message, for error texts.
QString JsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

bool Fail(QString* errorText, const QString& text)
{
    if (errorText)
        *errorText = text;
    return false;
}
}  // namespace

bool RemoteWholeInt32(double number, qint32* value)
{
    if (!std::isfinite(number) || std::trunc(number) != number || number < -2147483648.0 || number > 2147483647.0)
        return false;
    *value = static_cast<qint32>(number);
    return true;
}

bool RemoteWholeInt32(const QJsonValue& json, qint32* value)
{
    return json.isDouble() && RemoteWholeInt32(json.toDouble(), value);
}

QJsonObject RemoteValuesToJson(const QVariantMap& values)
{
    QJsonObject json;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        json.insert(it.key(), ValueToJson(it.value()));
    return json;
}

QVariantMap RemoteValuesFromJson(const QJsonObject& json)
{
    QVariantMap values;
    for (auto it = json.constBegin(); it != json.constEnd(); ++it)
        values.insert(it.key(), ValueFromJson(it.value()));
    return values;
}

int TRemotePacket::FieldIndex(const QString& name) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QJsonObject TRemotePacket::ToJson() const
{
    QJsonArray fieldArray;
    for (const TRemoteFieldDef& field : fields) {
        QJsonObject def{{QStringLiteral("name"), field.name}, {QStringLiteral("kind"), KindName(field.kind)}};
        if (field.size > 0)
            def.insert(QStringLiteral("size"), field.size);
        fieldArray.append(def);
    }
    QJsonArray rowArray;
    for (const QVariantList& row : rows) {
        QJsonArray cells;
        for (const QVariant& value : row)
            cells.append(ValueToJson(value));
        rowArray.append(cells);
    }
    return {{QStringLiteral("fields"), fieldArray}, {QStringLiteral("rows"), rowArray}};
}

bool TRemotePacket::FromJson(const QJsonObject& json, TRemotePacket* packet, QString* errorText)
{
    if (!json.value(QStringLiteral("fields")).isArray() || !json.value(QStringLiteral("rows")).isArray())
        return Fail(errorText, QStringLiteral("A packet needs \"fields\" and \"rows\""));
    TRemotePacket result;
    for (const QJsonValue& value : json.value(QStringLiteral("fields")).toArray()) {
        const QJsonObject def = value.toObject();
        TRemoteFieldDef field;
        field.name = def.value(QStringLiteral("name")).toString();
        field.size = def.value(QStringLiteral("size")).toInt();
        if (field.name.isEmpty() || !KindFromName(def.value(QStringLiteral("kind")).toString(), &field.kind))
            return Fail(errorText, QStringLiteral("A field definition is malformed"));
        result.fields.append(field);
    }
    for (const QJsonValue& value : json.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray cells = value.toArray();
        if (!value.isArray() || cells.size() != result.fields.size())
            return Fail(errorText, QStringLiteral("A row does not match the field definitions"));
        QVariantList row;
        row.reserve(cells.size());
        for (const QJsonValue& cell : cells)
            row.append(ValueFromJson(cell));
        result.rows.append(row);
    }
    *packet = std::move(result);
    return true;
}

namespace {
const char* ChangeKindName(TRemoteChange::TKind kind)
{
    switch (kind) {
        case TRemoteChange::TKind::Insert:
            return "insert";
        case TRemoteChange::TKind::Modify:
            return "modify";
        case TRemoteChange::TKind::Delete:
            return "delete";
    }
    return "";
}
}  // namespace

QJsonObject TRemoteChange::ToJson() const
{
    QJsonObject json{{QStringLiteral("kind"), QString::fromLatin1(ChangeKindName(kind))}, {QStringLiteral("id"), id}};
    if (kind != TKind::Delete)
        json.insert(QStringLiteral("values"), RemoteValuesToJson(values));
    if (kind != TKind::Insert)
        json.insert(QStringLiteral("original"), RemoteValuesToJson(original));
    return json;
}

bool TRemoteChange::FromJson(const QJsonObject& json, TRemoteChange* change, QString* errorText)
{
    const QString kindName = json.value(QStringLiteral("kind")).toString();
    TRemoteChange result;
    if (kindName == QLatin1String("insert"))
        result.kind = TKind::Insert;
    else if (kindName == QLatin1String("modify"))
        result.kind = TKind::Modify;
    else if (kindName == QLatin1String("delete"))
        result.kind = TKind::Delete;
    else
        return Fail(errorText, QStringLiteral("Unknown change kind \"%1\"").arg(kindName));
    if (!json.value(QStringLiteral("id")).isDouble())
        return Fail(errorText, QStringLiteral("A change needs its \"id\""));
    qint32 id = 0;
    if (!RemoteWholeInt32(json.value(QStringLiteral("id")), &id))
        return Fail(errorText, QStringLiteral("The \"id\" of a change is not a whole number within 32 bits"));
    result.id = id;
    result.values = RemoteValuesFromJson(json.value(QStringLiteral("values")).toObject());
    result.original = RemoteValuesFromJson(json.value(QStringLiteral("original")).toObject());
    *change = std::move(result);
    return true;
}

QJsonObject TRemoteApplyResult::ToJson() const
{
    if (ok && !hasCurrent)
        return {{QStringLiteral("ok"), true}, {QStringLiteral("id"), newId}};
    if (ok)
        return {{QStringLiteral("ok"), true},
                {QStringLiteral("id"), newId},
                {QStringLiteral("current"), RemoteValuesToJson(current)}};
    QJsonObject json{{QStringLiteral("ok"), false}, {QStringLiteral("code"), code}, {QStringLiteral("text"), text}};
    json.insert(QStringLiteral("current"), hasCurrent ? QJsonValue(RemoteValuesToJson(current)) : QJsonValue());
    return json;
}

bool TRemoteApplyResult::FromJson(const QJsonObject& json, TRemoteApplyResult* result, QString* errorText)
{
    if (!json.value(QStringLiteral("ok")).isBool())
        return Fail(errorText, QStringLiteral("A row result needs \"ok\""));
    TRemoteApplyResult parsed;
    parsed.ok = json.value(QStringLiteral("ok")).toBool();
    // The ID is checked against the row it names by whoever stores it; here
    // only that it is one: absent, or a whole number within 32 bits.
    const QJsonValue id = json.value(QStringLiteral("id"));
    qint32 newId = 0;
    if (!id.isUndefined() && !id.isNull() && !RemoteWholeInt32(id, &newId))
        return Fail(errorText,
                    QStringLiteral("The ID %1 of a row result is not a whole number within 32 bits").arg(JsonText(id)));
    const QJsonValue current = json.value(QStringLiteral("current"));
    if (!current.isUndefined() && !current.isNull() && !current.isObject())
        return Fail(errorText, QStringLiteral("The server's row of a row result is not a row"));
    parsed.newId = newId;
    parsed.code = json.value(QStringLiteral("code")).toInt();
    parsed.text = json.value(QStringLiteral("text")).toString();
    parsed.hasCurrent = json.value(QStringLiteral("current")).isObject();
    if (parsed.hasCurrent)
        parsed.current = RemoteValuesFromJson(json.value(QStringLiteral("current")).toObject());
    *result = std::move(parsed);
    return true;
}
