#include "platform/commatext.h"

#include <gtest/gtest.h>

TEST(CommaText, Writing)
{
    EXPECT_EQ(CommaTextFromList({}), "");
    EXPECT_EQ(CommaTextFromList({""}), "\"\"");
    EXPECT_EQ(CommaTextFromList({"a", "", "b"}), "a,,b");
    EXPECT_EQ(CommaTextFromList({"a b", "c,d", "say \"hi\"", "x"}), "\"a b\",\"c,d\",\"say \"\"hi\"\"\",x");
    EXPECT_EQ(CommaTextFromList({"line\r\nbreak"}), "\"line\r\nbreak\"");
    EXPECT_EQ(CommaTextFromList({"", ""}), ",");
}

TEST(CommaText, Reading)
{
    EXPECT_EQ(CommaTextToList(""), QStringList());
    EXPECT_EQ(CommaTextToList("  "), QStringList());
    EXPECT_EQ(CommaTextToList("\"\""), QStringList({""}));
    EXPECT_EQ(CommaTextToList("a,,b"), QStringList({"a", "", "b"}));
    EXPECT_EQ(CommaTextToList("a,"), QStringList({"a", ""}));
    EXPECT_EQ(CommaTextToList(",a"), QStringList({"", "a"}));
    // An unquoted blank separates items just as a comma does.
    EXPECT_EQ(CommaTextToList("a b , c"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(CommaTextToList("  \"a \"\"q\"\" b\" ,x"), QStringList({"a \"q\" b", "x"}));
    EXPECT_EQ(CommaTextToList("\"x,y\"z"), QStringList({"x,y", "z"}));
}

TEST(CommaText, MalformedAndNul)
{
    bool malformed = false;
    EXPECT_EQ(CommaTextToList("a,\"open end", &malformed), QStringList({"a", "open en"}));
    EXPECT_TRUE(malformed);
    CommaTextToList("a,\"closed\"", &malformed);
    EXPECT_FALSE(malformed);
    QString withNul = QStringLiteral("a,b");
    withNul += QChar(0);
    withNul += QStringLiteral(",c");
    EXPECT_EQ(CommaTextToList(withNul), QStringList({"a", "b"}));
}

TEST(CommaText, RoundTripOfNestedTexts)
{
    const QStringList inner{"host name", "215", "say \"x\"", ""};
    const QStringList outer{CommaTextFromList(inner), "true"};
    const QStringList back = CommaTextToList(CommaTextFromList(outer));
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(CommaTextToList(back[0]), inner);
    EXPECT_EQ(back[1], "true");
}
