#pragma once
// The program's 8-bit text is Windows-1252 (wire frames, queued message
// texts). Characters the code page lacks become "?".
#include <QByteArray>
#include <QString>

QByteArray ToCodePage(const QString& text);
QString FromCodePage(const QByteArray& bytes);
// The text as it comes back after a trip through the code page.
QString ThroughCodePage(const QString& text);
