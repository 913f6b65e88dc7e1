#include "ui/main/abouttexts.h"

#include "platform/sysinfo.h"
#include "platform/versioninfo.h"

TAboutTexts MakeAboutTexts(TAboutStyle style, const TVersionValue& value, const QString& windowsVersion,
                           const QString& memory)
{
    TAboutTexts t;
    t.ProductName = value(QStringLiteral("ProductName"));
    t.Caption = QStringLiteral("  About ") + t.ProductName;
    const QString format = style == TAboutStyle::Splash ? QStringLiteral("Version %1.%2  (Build %3)")
                                                        : QStringLiteral("Version %1.%2   (Build %3)");
    t.ProductVersion = format.arg(value(QStringLiteral("MajorVersion")), value(QStringLiteral("MinorVersion")),
                                  value(QStringLiteral("Build")));
    t.LegalCopyRight = QStringLiteral("Copyright %1").arg(value(QStringLiteral("LegalCopyRight")));
    t.CompanyName = value(QStringLiteral("CompanyName"));
    t.WindowsVersion = windowsVersion;
    t.Memory = QStringLiteral("Memory Available to Windows:  %1 KB").arg(memory);
    return t;
}

TAboutTexts ProgramAboutTexts(TAboutStyle style)
{
    return MakeAboutTexts(style, GetVersionInfoValue, GetWindowsVersionText(), GetTotalMemoryText());
}
