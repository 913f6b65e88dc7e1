// The text and route of one out-box row: display-name prefix, numeric-pager
// filter, contact settings.
#include "messaging/outmessageline.h"
#include "data/basedataclient.h"

#include <gtest/gtest.h>

namespace {
TNOutRow Row(const QString& name, const QString& text)
{
    TNOutRow row;
    row.ID = 7;
    row.Name = name;
    row.MessageText = text;
    return row;
}
}  // namespace

TEST(OutMessageLine, DisplayNamePrefixOnlyWhenTheEditorDidNotAddIt)
{
    TNSendSettings settings;
    settings.AddDisplayNameToMessage = true;
    settings.FollowedByChar = QStringLiteral(":");
    const TNRecipientRoute alpha;
    EXPECT_EQ(TextForRecipient(Row(QStringLiteral("Ann"), QStringLiteral("Hi")), alpha, settings),
              QStringLiteral("Ann:Hi"));
    settings.PrefixAddInEditor = true;
    EXPECT_EQ(TextForRecipient(Row(QStringLiteral("Ann"), QStringLiteral("Hi")), alpha, settings),
              QStringLiteral("Hi"));
    settings.AddDisplayNameToMessage = false;
    settings.PrefixAddInEditor = false;
    EXPECT_EQ(TextForRecipient(Row(QStringLiteral("Ann"), QStringLiteral("Hi")), alpha, settings),
              QStringLiteral("Hi"));
}

TEST(OutMessageLine, NumericPagerKeepsAllowedCharactersUpToTheLimit)
{
    TNSendSettings settings;
    settings.MaxNumericLength = 8;
    TNRecipientRoute numeric;
    numeric.NumericPager = true;
    EXPECT_EQ(KeepPagerChars(QStringLiteral("Call 555-1234 [2]"), settings.NumericAllowedChars),
              QStringLiteral("555-1234[2]"));
    EXPECT_EQ(TextForRecipient(Row(QStringLiteral("Bob"), QStringLiteral("Call 555-1234 [2]")), numeric, settings),
              QStringLiteral("555-1234"));
    // The prefix is filtered too; the comparison is exact.
    settings.AddDisplayNameToMessage = true;
    settings.MaxNumericLength = 20;
    settings.NumericAllowedChars = QStringLiteral("0123456789a");
    EXPECT_EQ(TextForRecipient(Row(QStringLiteral("Dan9"), QStringLiteral("A1a")), numeric, settings),
              QStringLiteral("a91a"));
}

TEST(OutMessageLine, RouteReadsAddressAndNumericFlagFromTheContactSettings)
{
    TNContactCarrier carrier;
    carrier.CarrierTypeNo = 6;
    carrier.CarrierData = QStringLiteral("host,444");
    carrier.ContactData = QStringLiteral("021555, \" TRUE \"");
    TNRecipientRoute route;
    ASSERT_TRUE(RouteFromContactCarrier(carrier, route));
    EXPECT_EQ(route.Address, QStringLiteral("021555"));
    EXPECT_TRUE(route.NumericPager);
    EXPECT_EQ(route.CarrierTypeNo, 6);
    EXPECT_EQ(route.CarrierSettings, QStringLiteral("host,444"));

    carrier.ContactData = QStringLiteral("021555");
    ASSERT_TRUE(RouteFromContactCarrier(carrier, route));
    EXPECT_FALSE(route.NumericPager);
    carrier.ContactData = QStringLiteral("\"a,b\",false");
    ASSERT_TRUE(RouteFromContactCarrier(carrier, route));
    EXPECT_EQ(route.Address, QStringLiteral("a,b"));
    EXPECT_FALSE(route.NumericPager);
    // No address item: the row cannot be routed.
    carrier.ContactData.clear();
    EXPECT_FALSE(RouteFromContactCarrier(carrier, route));
}

TEST(OutMessageLine, RowOfAnUnknownAddressBookCannotBeRouted)
{
    TNOutRow row = Row(QStringLiteral("Ann"), QStringLiteral("Hi"));
    row.DatabaseGUID = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
    EXPECT_TRUE(OutMessageLine(row, TNSendSettings()).isEmpty());
}
