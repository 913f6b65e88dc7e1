#pragma once
// A field of a dataset: a column of its rows (data field), a value looked up
// in another dataset (lookup field) or a value computed from the row
// (calculated field). Owned by its dataset; the pointer stays valid while the
// dataset lives (a query may rebuild its data fields when its text changes).
//
// The value read is that of the dataset's current row, or of the row being
// edited or inserted. Writing needs the edit or insert state.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

#include "db/fieldvalue.h"

class TNDataSet;
class TNField;

enum class TFieldClass { fcData, fcLookup, fcCalculated };

// Read access to one row of a dataset, given to calculated fields, display
// handlers and filter callbacks.
class TNRecord {
public:
    TNRecord(const TNDataSet& dataSet, const std::vector<QVariant>& values) : m_dataSet(dataSet), m_values(values) {}
    // The value of the field of this row; raises EDatabaseError for an
    // unknown name.
    QVariant Value(const QString& fieldName) const;
    QVariant Value(const TNField* field) const;
    const TNDataSet& DataSet() const { return m_dataSet; }

private:
    const TNDataSet& m_dataSet;
    const std::vector<QVariant>& m_values;
};

using TCalcFieldFunc = std::function<QVariant(const TNRecord& record)>;
// Turns a field's value into the text shown for it.
using TGetTextFunc = std::function<QString(const TNField& field, const QVariant& value)>;

class TNField {
public:
    TNField(TNDataSet* dataSet, const QString& name, TFieldClass fieldClass);

    const QString& FieldName() const { return m_name; }
    TFieldKind Kind() const { return m_kind; }
    // Characters of a text(n) field; 0 for other kinds.
    int Size() const { return m_size; }
    TFieldClass FieldClass() const { return m_class; }
    TNDataSet* DataSet() const { return m_dataSet; }
    // Position in the dataset's field list.
    int Index() const;

    // Auto-number keys, lookup and calculated fields are read-only.
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }

    // How views show the field.
    const QString& DisplayLabel() const { return m_displayLabel.isEmpty() ? m_name : m_displayLabel; }
    void SetDisplayLabel(const QString& value) { m_displayLabel = value; }
    int DisplayWidth() const;  // in characters
    void SetDisplayWidth(int value) { m_displayWidth = value; }
    Qt::Alignment Alignment() const;
    void SetAlignment(Qt::Alignment value)
    {
        m_alignment = value;
        m_alignmentSet = true;
    }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { m_visible = value; }
    void SetOnGetText(TGetTextFunc handler) { m_onGetText = std::move(handler); }
    bool HasOnGetText() const { return bool(m_onGetText); }

    // Lookup fields: the value of LookupResultField of the LookupDataSet row
    // whose LookupKeyFields equal this row's KeyFields ("A;B" for several).
    TNDataSet* LookupDataSet() const { return m_lookupDataSet; }
    const QString& KeyFields() const { return m_keyFields; }
    const QString& LookupKeyFields() const { return m_lookupKeyFields; }
    const QString& LookupResultField() const { return m_lookupResultField; }

    // The current row's value.
    QVariant Value() const;
    bool IsNull() const { return IsNullValue(Value()); }
    int AsInteger() const;  // 0 for null
    QString AsString() const;
    bool AsBoolean() const;  // false for null
    QDateTime AsDateTime() const;
    double AsFloat() const;
    // The text views show: the display handler's, else AsString.
    QString DisplayText() const { return TextOf(Value()); }
    QString TextOf(const QVariant& value) const;

    // Writing, in the edit or insert state. A value that cannot be read as
    // the field's kind raises EDatabaseError; text longer than Size is cut.
    void SetValue(const QVariant& value);
    void SetAsInteger(int value) { SetValue(QVariant(value)); }
    void SetAsString(const QString& value) { SetValue(QVariant(value)); }
    void SetAsBoolean(bool value) { SetValue(QVariant(value)); }
    void SetAsDateTime(const QDateTime& value) { SetValue(QVariant(value)); }
    void Clear() { SetValue(QVariant()); }

private:
    friend class TNDataSet;
    TNDataSet* m_dataSet;
    QString m_name;
    TFieldClass m_class;
    TFieldKind m_kind = TFieldKind::fkUnknown;
    int m_size = 0;
    int m_slot = -1;  // data fields: the column of the row's values
    bool m_readOnly = false;
    bool m_declared = false;  // defined before the dataset was first opened
    QString m_displayLabel;
    int m_displayWidth = 0;
    Qt::Alignment m_alignment;
    bool m_alignmentSet = false;
    bool m_visible = true;
    TGetTextFunc m_onGetText;
    TNDataSet* m_lookupDataSet = nullptr;
    QString m_keyFields;
    QString m_lookupKeyFields;
    QString m_lookupResultField;
    TCalcFieldFunc m_calc;
    struct TLookupCache {
        quint64 OwnStamp = 0;
        quint64 OtherStamp = 0;
        QList<const TNField*> KeyFields;
        QList<const TNField*> LookupKeyFields;
        const TNField* Result = nullptr;
    };
    mutable TLookupCache m_lookupCache;
};
