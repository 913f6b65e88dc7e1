#pragma once
// Validation rules of contact addresses, as texts of the warning to show
// (empty when the value passes). No widgets.

#include <QString>

// Pager IDs (TAP, PACNET, SNPP, WCTP contacts): not empty; a signed 64-bit
// integer other than -1 (decimal, or hexadecimal after "$", "x" or "0x"; a
// value out of range is invalid); 3 to 18 characters, all tested on the
// trimmed text.
QString PagerIdProblem(const QString& pagerId);

// Destination numbers of SMS and MSG contacts (Word is "SMS" or "MSG"): not
// empty; only "0123456789+"; 6 to 18 characters, tested on the trimmed text.
QString DestinationAddressProblem(const QString& address, const QString& word);
