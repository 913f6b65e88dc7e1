#pragma once
// The lines of the splash window and the about box, worked out from the
// version information (no window needed).

#include <QString>
#include <functional>

struct TAboutTexts {
    QString Caption;  // "  About " + product name
    QString ProductName;
    QString ProductVersion;  // "Version 2.0  (Build 438)" (splash) / three blanks (about box)
    QString LegalCopyRight;  // "Copyright " + LegalCopyRight
    QString CompanyName;
    QString WindowsVersion;
    QString Memory;  // "Memory Available to Windows:  <n> KB"
};

enum class TAboutStyle { Splash, AboutBox };

using TVersionValue = std::function<QString(const QString& key)>;

TAboutTexts MakeAboutTexts(TAboutStyle style, const TVersionValue& value, const QString& windowsVersion,
                           const QString& memory);
// From the program's own version information and the running system.
TAboutTexts ProgramAboutTexts(TAboutStyle style);
