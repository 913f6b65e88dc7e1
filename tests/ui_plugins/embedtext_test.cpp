#include "ui/plugins/embedtext.h"
#include "ui/plugins/contactrules.h"

#include <gtest/gtest.h>

#include "editorfixture.h"

TEST(EmbedText, TrimRemovesControlCharactersAndBlanksOnly)
{
    EXPECT_EQ(TrimBlanksAndControls(QStringLiteral(" \t\r\n a b \x01")), QStringLiteral("a b"));
    EXPECT_EQ(TrimBlanksAndControls(QString(QChar(0)) + QStringLiteral("x")), QStringLiteral("x"));
    // A non-breaking blank is a character of the value, not padding.
    EXPECT_EQ(TrimBlanksAndControls(QStringLiteral("\u00a0x")), QStringLiteral("\u00a0x"));
    EXPECT_EQ(TrimBlanksAndControls(QStringLiteral("   ")), QString());
}

TEST(EmbedText, ItemAtRaisesTheIndexError)
{
    const QStringList items{QStringLiteral("a"), QStringLiteral("b")};
    EXPECT_EQ(ItemAt(items, 1), QStringLiteral("b"));
    EXPECT_EQ(EditorErrorOf([&] { ItemAt(items, 2); }), QStringLiteral("List index out of bounds (2)"));
    EXPECT_EQ(EditorErrorOf([&] { ItemAt(QStringList(), 0); }), QStringLiteral("List index out of bounds (0)"));
}

TEST(EmbedText, IntegerConversionTakesSignDecimalAndHexadecimalForms)
{
    qint64 v = 0;
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("-12"), &v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("+7"), &v));
    EXPECT_EQ(v, 7);
    for (const char* hex : {"$1F", "x1f", "X1F", "0x1F", "0X1f"}) {
        ASSERT_TRUE(TryStrToInt64(QString::fromLatin1(hex), &v)) << hex;
        EXPECT_EQ(v, 31) << hex;
    }
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("-$10"), &v));
    EXPECT_EQ(v, -16);
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("9223372036854775807"), &v));
    EXPECT_EQ(v, std::numeric_limits<qint64>::max());
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("-9223372036854775808"), &v));
    EXPECT_EQ(v, std::numeric_limits<qint64>::min());
    for (const char* bad : {"", "-", "$", "0x", "12a", " 12", "1 2", "9223372036854775808", "-9223372036854775809",
                            "$FFFFFFFFFFFFFFFE", "$8000000000000000", "1.0"})
        EXPECT_FALSE(TryStrToInt64(QString::fromLatin1(bad), &v)) << bad;
}

TEST(EmbedText, CheckedConversionsRaiseTheClassLibraryTexts)
{
    EXPECT_EQ(StrToIntChecked(QStringLiteral("-1")), -1);
    EXPECT_EQ(StrToIntChecked(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(EditorErrorOf([] { StrToIntChecked(QStringLiteral("x")); }),
              QStringLiteral("'x' is not a valid integer value"));
    EXPECT_EQ(EditorErrorOf([] { StrToIntChecked(QStringLiteral("2147483648")); }),
              QStringLiteral("'2147483648' is not a valid integer value"));

    EXPECT_TRUE(StrToBoolChecked(QStringLiteral("-1")));
    EXPECT_TRUE(StrToBoolChecked(QStringLiteral("5")));
    EXPECT_FALSE(StrToBoolChecked(QStringLiteral("0")));
    EXPECT_TRUE(StrToBoolChecked(QStringLiteral("tRuE")));
    EXPECT_FALSE(StrToBoolChecked(QStringLiteral("FALSE")));
    EXPECT_EQ(EditorErrorOf([] { StrToBoolChecked(QStringLiteral("yes")); }),
              QStringLiteral("'yes' is not a valid boolean value"));
    EXPECT_EQ(EditorErrorOf([] { StrToBoolChecked(QString()); }), QStringLiteral("'' is not a valid boolean value"));
    EXPECT_FALSE(StrToBoolChecked(QStringLiteral("0.0")));
    EXPECT_TRUE(StrToBoolChecked(QStringLiteral("2.5e3")));
    for (const char* refused : {"nan", "inf", "$1", "0x1", "1,5"})
        EXPECT_EQ(EditorErrorOf([refused] { StrToBoolChecked(QString::fromLatin1(refused)); }),
                  QStringLiteral("'%1' is not a valid boolean value").arg(QString::fromLatin1(refused)));

    int n = 0;
    EXPECT_TRUE(TryDecimalToInt(QStringLiteral("160"), &n));
    EXPECT_EQ(n, 160);
    EXPECT_FALSE(TryDecimalToInt(QStringLiteral("$A0"), &n));
    EXPECT_FALSE(TryDecimalToInt(QStringLiteral("smtp.example.com"), &n));
}

TEST(EmbedText, PhoneNumbersAndPorts)
{
    EXPECT_TRUE(IsPhoneNumberText(QString()));
    EXPECT_TRUE(IsPhoneNumberText(QStringLiteral("+6421600600")));
    EXPECT_FALSE(IsPhoneNumberText(QStringLiteral("+64 21600600")));
    EXPECT_FALSE(IsPhoneNumberText(QStringLiteral("021-555")));
    // Digits of other scripts are not telephone digits.
    EXPECT_FALSE(IsPhoneNumberText(QStringLiteral("\u0661\u0662")));

    EXPECT_TRUE(IsValidPortText(QStringLiteral("0")));
    EXPECT_TRUE(IsValidPortText(QStringLiteral(" 65535 ")));
    EXPECT_FALSE(IsValidPortText(QStringLiteral("65536")));
    EXPECT_FALSE(IsValidPortText(QStringLiteral("-1")));
    EXPECT_FALSE(IsValidPortText(QStringLiteral("abc")));
    EXPECT_FALSE(IsValidPortText(QString()));
}

TEST(ContactRules, PagerIdBoundaries)
{
    const QString notNumeric = QStringLiteral("Error - Pager ID: \"%1\" is not a valid numeric string !");
    EXPECT_EQ(PagerIdProblem(QString()), QStringLiteral("Error - Pager ID is empty !"));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("  ")), QStringLiteral("Error - Pager ID is empty !"));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("12")), QStringLiteral("Error - Pager ID less than 3 digits !"));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("123")), QString());
    EXPECT_EQ(PagerIdProblem(QStringLiteral(" 123 ")), QString());
    EXPECT_EQ(PagerIdProblem(QStringLiteral("123456789012345678")), QString());
    EXPECT_EQ(PagerIdProblem(QStringLiteral("1234567890123456789")),
              QStringLiteral("Error - Pager ID greater than 18 digits  !"));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("12345678901234567890")),
              notNumeric.arg(QStringLiteral("12345678901234567890")));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("-1")), notNumeric.arg(QStringLiteral("-1")));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("-12")), QString());
    EXPECT_EQ(PagerIdProblem(QStringLiteral(" 12a")), notNumeric.arg(QStringLiteral(" 12a")));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("$FF")), QString());
    EXPECT_EQ(PagerIdProblem(QStringLiteral("0x1")), QString());
    EXPECT_EQ(PagerIdProblem(QStringLiteral("x1")), QStringLiteral("Error - Pager ID less than 3 digits !"));
    // Out of the signed 64-bit range: invalid, not wrapped round to -2.
    EXPECT_EQ(PagerIdProblem(QStringLiteral("$FFFFFFFFFFFFFFFE")), notNumeric.arg(QStringLiteral("$FFFFFFFFFFFFFFFE")));
    EXPECT_EQ(PagerIdProblem(QStringLiteral("-$1")), notNumeric.arg(QStringLiteral("-$1")));
}

TEST(ContactRules, DestinationAddressBoundaries)
{
    const QString sms = QStringLiteral("SMS");
    EXPECT_EQ(DestinationAddressProblem(QString(), sms), QStringLiteral("Error - SMS Destionation Address is empty !"));
    EXPECT_EQ(DestinationAddressProblem(QStringLiteral("+12345"), sms), QString());
    EXPECT_EQ(DestinationAddressProblem(QStringLiteral("12345"), sms),
              QStringLiteral("Error - SMS Destination Address less than 6 digits !"));
    EXPECT_EQ(DestinationAddressProblem(QStringLiteral(" 021-5551234"), sms),
              QStringLiteral("Error - SMS Destination Address: \" 021-5551234\" is not a valid format!"));
    EXPECT_EQ(DestinationAddressProblem(QStringLiteral("123456789012345678"), sms), QString());
    EXPECT_EQ(DestinationAddressProblem(QStringLiteral("1234567890123456789"), sms),
              QStringLiteral("Error - SMS Destination Address greater than 18 digits  !"));
    EXPECT_EQ(DestinationAddressProblem(QString(), QStringLiteral("MSG")),
              QStringLiteral("Error - MSG Destionation Address is empty !"));
    EXPECT_EQ(DestinationAddressProblem(QStringLiteral("12a456"), QStringLiteral("MSG")),
              QStringLiteral("Error - MSG Destination Address: \"12a456\" is not a valid format!"));
}
