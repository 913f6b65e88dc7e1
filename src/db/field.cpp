#include "db/field.h"

#include "db/dataset.h"
#include "db/dberror.h"

QVariant TNRecord::Value(const QString& fieldName) const
{
    return m_dataSet.RecordValue(m_values, m_dataSet.FieldByName(fieldName));
}

QVariant TNRecord::Value(const TNField* field) const
{
    return m_dataSet.RecordValue(m_values, field);
}

TNField::TNField(TNDataSet* dataSet, const QString& name, TFieldClass fieldClass)
    : m_dataSet(dataSet), m_name(name), m_class(fieldClass), m_readOnly(fieldClass != TFieldClass::fcData)
{
}

int TNField::Index() const
{
    return m_dataSet->FieldIndex(this);
}

int TNField::DisplayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    switch (m_kind) {
        case TFieldKind::fkString:
            return m_size > 0 ? m_size : 20;
        case TFieldKind::fkSmallInt:
            return 6;
        case TFieldKind::fkBoolean:
            return 5;
        case TFieldKind::fkDateTime:
            return 19;
        case TFieldKind::fkMemo:
        case TFieldKind::fkUnknown:
            return 20;
        default:
            return 10;
    }
}

Qt::Alignment TNField::Alignment() const
{
    if (m_alignmentSet)
        return m_alignment;
    const bool number = IsIntegerKind(m_kind) || m_kind == TFieldKind::fkFloat;
    return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QVariant TNField::Value() const
{
    return m_dataSet->CurrentValue(this);
}

int TNField::AsInteger() const
{
    bool ok = false;
    const QVariant v = ConvertToKind(TFieldKind::fkInteger, Value(), &ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value (field '%2')").arg(AsString(), m_name));
    return v.toInt();
}

QString TNField::AsString() const
{
    return ValueToText(m_kind, Value());
}

bool TNField::AsBoolean() const
{
    bool ok = false;
    const QVariant v = ConvertToKind(TFieldKind::fkBoolean, Value(), &ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid Boolean value (field '%2')").arg(AsString(), m_name));
    return v.toBool();
}

QDateTime TNField::AsDateTime() const
{
    return ConvertToKind(TFieldKind::fkDateTime, Value()).toDateTime();
}

double TNField::AsFloat() const
{
    return ConvertToKind(TFieldKind::fkFloat, Value()).toDouble();
}

QString TNField::TextOf(const QVariant& value) const
{
    if (m_onGetText)
        return m_onGetText(*this, value);
    return ValueToText(m_kind, value);
}

void TNField::SetValue(const QVariant& value)
{
    m_dataSet->SetFieldValue(this, value);
}
