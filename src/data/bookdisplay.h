#pragma once
// Display handlers of address-book fields, shared by the local and the
// shared client.

#include <QString>
#include <QVariant>

class TNField;

// A memo shown as one line: carriage returns removed, line feeds turned into
// blanks. A field that is not a memo raises EDataError "From
// TLocalAccessClient.MyMemoFieldOnGetText() - wrong field type.".
QString MemoFieldOneLineText(const TNField& field, const QVariant& value);
// A server's type number as "TCP" (1), "COM" (2) or "UNKNOWN".
QString ServerTypeText(const TNField& field, const QVariant& value);
