#pragma once
#include <QString>

// Removes the characters of code 32 or less (blanks and control characters)
// at both ends: the class library's Trim. QString::trimmed differs: it keeps
// control characters and drops Unicode blanks above 32.
QString TrimBlanksAndControls(const QString& text);
