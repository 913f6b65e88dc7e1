#include "platform/codepage.h"

#include <gtest/gtest.h>

TEST(CodePage, MapsWindows1252AndReplacesTheRest)
{
    const QString text = QString::fromUtf8("Caf\u00e9 \u20ac5 \u201cq\u201d \u0416 \xF0\x9F\x98\x80!");
    const QByteArray bytes = ToCodePage(text);
    EXPECT_EQ(bytes, QByteArray("Caf\xE9 \x80" "5 \x93q\x94 ? ?!"));
    EXPECT_EQ(FromCodePage(bytes), QString::fromUtf8("Caf\u00e9 \u20ac5 \u201cq\u201d ? ?!"));
    EXPECT_EQ(ThroughCodePage(QStringLiteral("plain")), "plain");
}
