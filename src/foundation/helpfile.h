#pragma once
// The program's help: "Help.chm" beside the program, opened with the
// desktop's default handler for the file when there is one.
#include <QString>
#include <QUrl>
#include <functional>

// The help file's full path; empty restores the default (ProgramFolder() +
// "Help.chm").
void SetHelpFile(const QString& path);
QString HelpFile();

// Opens the help file at its start (desktop viewers take no help topic).
// When the file is missing, or no program opens it, the operator is told so
// in a warning box naming the file, and the result is false. Main thread.
bool ShowHelpTopic(int topic);

// Replaces the desktop opener (QDesktopServices::openUrl); for tests. An
// empty function restores it.
void SetHelpOpener(std::function<bool(const QUrl&)> opener);
