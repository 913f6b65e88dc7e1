#pragma once
// Reads an INI file with Python's own INI reader (configparser), so a test
// checks what the program wrote without the program's reader.
#include <QString>
#include <QStringList>

// One "section|key|value" line per entry, in file order, the value as
// written (quotes included). Empty when python3 is not installed; a line
// "python failed: <error>" when the reader failed.
QStringList ReadIniWithPython(const QString& path);
