#pragma once
// The folder of the running executable, ending in "/". The program keeps its
// settings files and databases there. Tests point it at a temporary folder.
#include <QString>

QString ProgramFolder();
// Overrides the folder (an empty text restores the executable's folder).
// A missing trailing separator is added.
void SetProgramFolder(const QString& folder);
// Appends "/" unless the text already ends in "/" or "\" (a "\" is turned
// into "/"); an empty text stays empty.
QString IncludeTrailingPathDelimiter(const QString& folder);
