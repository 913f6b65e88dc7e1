#include "db/fieldvalue.h"

#include <QDateTime>
#include <QRegularExpression>

#include "db/sqlexec.h"

bool IsNullValue(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

bool IsIntegerKind(TFieldKind kind)
{
    return kind == TFieldKind::fkInteger || kind == TFieldKind::fkSmallInt || kind == TFieldKind::fkAutoInc;
}

bool IsTextKind(TFieldKind kind)
{
    return kind == TFieldKind::fkString || kind == TFieldKind::fkMemo || kind == TFieldKind::fkUnknown;
}

namespace {

QVariant Fail(bool* ok)
{
    if (ok)
        *ok = false;
    return QVariant();
}

QVariant ToInteger(const QVariant& value, bool* ok)
{
    bool good = false;
    qlonglong n = 0;
    switch (value.typeId()) {
        case QMetaType::Bool:
            n = value.toBool() ? 1 : 0;
            good = true;
            break;
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            good = d >= -2147483648.0 && d <= 2147483647.0 && d == double(qlonglong(d));
            n = good ? qlonglong(d) : 0;
            break;
        }
        case QMetaType::QString:
            n = value.toString().trimmed().toLongLong(&good);
            break;
        default:
            n = value.toLongLong(&good);
            break;
    }
    if (!good || n < -2147483648LL || n > 2147483647LL)
        return Fail(ok);
    return QVariant(int(n));
}

QVariant ToBoolean(const QVariant& value, bool* ok)
{
    if (value.typeId() == QMetaType::QString) {
        const QString t = value.toString().trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
            return QVariant(true);
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
            return QVariant(false);
        bool good = false;
        const qlonglong n = t.toLongLong(&good);
        return good ? QVariant(n != 0) : Fail(ok);
    }
    if (value.typeId() == QMetaType::Bool)
        return value;
    bool good = false;
    const qlonglong n = value.toLongLong(&good);
    return good ? QVariant(n != 0) : Fail(ok);
}

QVariant ToDateTime(const QVariant& value, bool* ok)
{
    QDateTime dt;
    if (value.typeId() == QMetaType::QDateTime)
        dt = value.toDateTime().toLocalTime();
    else if (value.typeId() == QMetaType::QDate)
        dt = QDateTime(value.toDate(), QTime(0, 0));
    else if (value.typeId() == QMetaType::QString)
        dt = DateTimeFromSqlText(value.toString());
    return dt.isValid() ? QVariant(dt) : Fail(ok);
}

}  // namespace

QVariant ConvertToKind(TFieldKind kind, const QVariant& value, bool* ok)
{
    if (ok)
        *ok = true;
    if (IsNullValue(value))
        return QVariant();
    switch (kind) {
        case TFieldKind::fkInteger:
        case TFieldKind::fkAutoInc:
            return ToInteger(value, ok);
        case TFieldKind::fkSmallInt: {
            bool good = true;
            const QVariant v = ToInteger(value, &good);
            if (!good || v.toInt() < -32768 || v.toInt() > 32767)
                return Fail(ok);
            return v;
        }
        case TFieldKind::fkBoolean:
            return ToBoolean(value, ok);
        case TFieldKind::fkDateTime:
            return ToDateTime(value, ok);
        case TFieldKind::fkFloat: {
            bool good = false;
            const double d = value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&good)
                                                                  : value.toDouble(&good);
            return good ? QVariant(d) : Fail(ok);
        }
        case TFieldKind::fkString:
        case TFieldKind::fkMemo:
        case TFieldKind::fkUnknown:
            if (value.typeId() == QMetaType::QString)
                return value;
            return QVariant(ValueToText(TFieldKind::fkUnknown, value));
    }
    return Fail(ok);
}

int CompareTextNoCase(const QString& a, const QString& b)
{
    const qsizetype n = qMin(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t ca = pa[i].unicode();
        char16_t cb = pb[i].unicode();
        if (ca >= u'A' && ca <= u'Z')
            ca = char16_t(ca + 32);
        if (cb >= u'A' && cb <= u'Z')
            cb = char16_t(cb + 32);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareValues(TFieldKind kind, const QVariant& a, const QVariant& b)
{
    const bool na = IsNullValue(a);
    const bool nb = IsNullValue(b);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    switch (kind) {
        case TFieldKind::fkInteger:
        case TFieldKind::fkSmallInt:
        case TFieldKind::fkAutoInc:
        case TFieldKind::fkBoolean: {
            const qlonglong x = a.toLongLong();
            const qlonglong y = b.toLongLong();
            return x == y ? 0 : (x < y ? -1 : 1);
        }
        case TFieldKind::fkFloat: {
            const double x = a.toDouble();
            const double y = b.toDouble();
            return x == y ? 0 : (x < y ? -1 : 1);
        }
        case TFieldKind::fkDateTime: {
            const QDateTime x = a.toDateTime();
            const QDateTime y = b.toDateTime();
            return x == y ? 0 : (x < y ? -1 : 1);
        }
        default:
            return CompareTextNoCase(a.toString(), b.toString());
    }
}

QString ValueToText(TFieldKind kind, const QVariant& value)
{
    if (IsNullValue(value))
        return QString();
    if (value.typeId() == QMetaType::Bool || kind == TFieldKind::fkBoolean)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString();
}

TFieldKind KindOfDeclaredType(const QString& declaredType, int* size)
{
    static const QRegularExpression sized(QStringLiteral("^\\s*(\\w+)\\s*\\(\\s*(\\d+)\\s*\\)"));
    const QString type = declaredType.trimmed().toUpper();
    if (size)
        *size = 0;
    const QRegularExpressionMatch m = sized.match(type);
    const QString base = m.hasMatch() ? m.captured(1) : type;
    if (base == QLatin1String("SMALLINT") || base == QLatin1String("TINYINT") || base == QLatin1String("BYTE"))
        return TFieldKind::fkSmallInt;
    if (base.contains(QLatin1String("INT")))
        return TFieldKind::fkInteger;
    if (base.startsWith(QLatin1String("BOOL")) || base == QLatin1String("BIT") || base == QLatin1String("YESNO"))
        return TFieldKind::fkBoolean;
    if (base.startsWith(QLatin1String("DATE")) || base == QLatin1String("TIMESTAMP"))
        return TFieldKind::fkDateTime;
    if (base == QLatin1String("REAL") || base == QLatin1String("DOUBLE") || base == QLatin1String("FLOAT") ||
        base.startsWith(QLatin1String("NUMERIC")) || base.startsWith(QLatin1String("DECIMAL")))
        return TFieldKind::fkFloat;
    if (m.hasMatch() && (base.contains(QLatin1String("CHAR")) || base == QLatin1String("TEXT"))) {
        if (size)
            *size = m.captured(2).toInt();
        return TFieldKind::fkString;
    }
    if (base.contains(QLatin1String("CHAR"))) {
        if (size)
            *size = 255;
        return TFieldKind::fkString;
    }
    return TFieldKind::fkMemo;
}

TFieldKind KindOfMetaType(int metaTypeId)
{
    switch (metaTypeId) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return TFieldKind::fkInteger;
        case QMetaType::Bool:
            return TFieldKind::fkBoolean;
        case QMetaType::Double:
        case QMetaType::Float:
            return TFieldKind::fkFloat;
        case QMetaType::QDateTime:
        case QMetaType::QDate:
            return TFieldKind::fkDateTime;
        default:
            return TFieldKind::fkMemo;
    }
}
