#include "platform/sysinfo.h"
#include "platform/guid.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QSet>

TEST(SystemInfo, MemoryTextInWholeKilobytesWithGroupSeparators)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatMemoryKB(1023, english), "");
    EXPECT_EQ(FormatMemoryKB(1024, english), "1");
    EXPECT_EQ(FormatMemoryKB(2047, english), "1");
    EXPECT_EQ(FormatMemoryKB(999 * 1024, english), "999");
    EXPECT_EQ(FormatMemoryKB(1000 * 1024, english), "1,000");
    EXPECT_EQ(FormatMemoryKB(16'384'012ull * 1024, english), "16,384,012");
    EXPECT_EQ(FormatMemoryKB(1'002'003ull * 1024, german), "1.002.003");
}

TEST(SystemInfo, RunningSystemIsDescribed)
{
    EXPECT_GT(TotalMemoryBytes(), 1024ull * 1024);
    EXPECT_FALSE(GetTotalMemoryText().isEmpty());
    const QString os = OperatingSystemText();
    EXPECT_FALSE(os.isEmpty());
    EXPECT_TRUE(os.contains(QRegularExpression(QStringLiteral(" \\(Build \\d+(\\.\\d+)*\\)$")))) << qPrintable(os);
}

TEST(SystemInfo, GuidTextHasBracesAndUpperCase)
{
    static const QRegularExpression form(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    QSet<QString> seen;
    for (int i = 0; i < 100; ++i) {
        const QString g = CreateGUIDText();
        EXPECT_EQ(g.size(), 38);
        EXPECT_TRUE(form.match(g).hasMatch()) << qPrintable(g);
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 100);
}
