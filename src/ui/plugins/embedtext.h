#pragma once
// Text rules shared by the embedded settings editors: trimming, taking items
// of a settings text by index, and the integer and Boolean conversions with
// the class library's error texts. No widgets here, so the rules can be used
// (and tested) without a screen.

#include "platform/textutil.h"

#include <QString>
#include <QStringList>
#include <stdexcept>

// Raised by an editor's Put for an item that is missing ("List index out of
// bounds (%d)") or cannot be converted ("'%s' is not a valid integer value",
// "'%s' is not a valid boolean value"). The host shows the text.
class EEmbedEditorError : public std::runtime_error {
public:
    explicit EEmbedEditorError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// The item at Index; throws EEmbedEditorError "List index out of bounds (%d)"
// when the list has no such item.
const QString& ItemAt(const QStringList& items, qsizetype index);

// The class library's integer conversion: an optional sign, then decimal
// digits or a hexadecimal form after "$", "x" or "0x" (either letter case).
// A value outside the signed 64-bit range does not convert (it is never
// wrapped).
bool TryStrToInt64(const QString& text, qint64* value);
// As above within the 32-bit range; throws "'%s' is not a valid integer
// value" when the text does not convert.
int StrToIntChecked(const QString& text);
// An optional sign and decimal digits only, within the 32-bit range.
bool TryDecimalToInt(const QString& text, int* value);

// A decimal number (zero is false, any other number true) or "True"/"False"
// in any letter case; throws "'%s' is not a valid boolean value" otherwise
// (also for "nan", "inf" and hexadecimal forms such as "$1").
bool StrToBoolChecked(const QString& text);

// Every character is one of "0123456789+" (the empty text passes): the form
// of SMS centre and destination numbers.
bool IsPhoneNumberText(const QString& text);

// The trimmed text is a whole number in 0..65535 (a port).
bool IsValidPortText(const QString& text);
