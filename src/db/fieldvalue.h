#pragma once
// Kinds of field values and the rules every dataset applies to them: the one
// in-memory form of each kind, conversions, and the order rows sort in.
//
// In memory a null is an invalid QVariant; integers of every width are int,
// text is QString, a Boolean is bool, a date-time is a local QDateTime and a
// float is double.
#include <QString>
#include <QVariant>

enum class TFieldKind { fkUnknown, fkInteger, fkSmallInt, fkAutoInc, fkString, fkMemo, fkBoolean, fkDateTime, fkFloat };

bool IsNullValue(const QVariant& value);
bool IsIntegerKind(TFieldKind kind);
bool IsTextKind(TFieldKind kind);

// The value in the kind's in-memory form. Ok is false (and the result null)
// when the value cannot be read as the kind, such as "abc" for an integer.
QVariant ConvertToKind(TFieldKind kind, const QVariant& value, bool* ok = nullptr);

// The sort order of the kind: nulls first, numbers by value, text without
// regard to the case of the letters A to Z (the database's NOCASE), Booleans
// false first, date-times by time. Negative, 0 or positive.
int CompareValues(TFieldKind kind, const QVariant& a, const QVariant& b);
int CompareTextNoCase(const QString& a, const QString& b);

// The text form of a value of the kind (AsString): "" for null, "True" or
// "False", "yyyy-MM-dd HH:mm:ss" for date-times.
QString ValueToText(TFieldKind kind, const QVariant& value);

// The kind named by a declared column type of the database ("INTEGER",
// "SMALLINT", "VARCHAR(50)", "TEXT", "BOOLEAN", "DATETIME", "REAL"), with the
// size of a text(n) column.
TFieldKind KindOfDeclaredType(const QString& declaredType, int* size);
// The kind of a value read from the database when no declared type is known.
TFieldKind KindOfMetaType(int metaTypeId);
