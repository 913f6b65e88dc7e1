#pragma once
// Comma text: the list encoding of every settings text and of the server
// protocol's lines.
//
// Writing: an item holding a character of code 32 or less, a double quote or
// a comma is written between double quotes with inner quotes doubled; items
// are joined by single commas. One empty item alone is written as "".
// Reading: blanks and control characters around items are skipped; a quoted
// item runs to the next undoubled quote; an unquoted item ends at a comma or
// at a character of code 32 or less (so an unquoted blank separates items
// too); a trailing comma adds one empty item. The text ends at a NUL
// character.

#include <QString>
#include <QStringList>

QString CommaTextFromList(const QStringList& items);

// Reads a comma text into a list. A quoted item without its closing quote
// takes the rest of the text except its last character (the settings-text
// rule); Malformed, when given, tells whether that happened (the wire treats
// such a line as malformed).
QStringList CommaTextToList(const QString& text, bool* malformed = nullptr);
