// The message editor's counting, queuing and type-ahead rules, and the send
// bar's progress sums, without a window.
#include "ui/main/frmembedcontrolprogress.h"
#include "ui/main/frmmessageeditortext.h"

#include <gtest/gtest.h>

TEST(MessageText, LineBreaksAreNotCountedButQueuedAsOneBlank)
{
    const QString text = QStringLiteral("AB\r\nC");
    EXPECT_EQ(CalcMessageLengthOf(text), 3);
    EXPECT_EQ(MessageTextForSending(text), QStringLiteral("AB C"));
    EXPECT_EQ(CalcMessageLengthOf(QStringLiteral("  \r\n \r\n\t ")), 0);
    EXPECT_EQ(MessageTextForSending(QStringLiteral("  \r\n \r\n\t ")), QString());
}

TEST(MessageText, QueuedTextIsCutTo1000AndInTheCodePage)
{
    EXPECT_EQ(MessageTextForSending(QString(1200, QLatin1Char('x'))), QString(1000, QLatin1Char('x')));
    // A character the code page lacks counts once and is queued as "?".
    const QString text = QStringLiteral("a\u03A9b") + QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(CalcMessageLengthOf(text), 4);
    EXPECT_EQ(MessageTextForSending(text), QStringLiteral("a?b?"));
    EXPECT_EQ(MessageTextForSending(QStringLiteral("\u20AC5")), QStringLiteral("\u20AC5"));
}

TEST(MessageCounters, TightestLimitLessTheNamePrefix)
{
    TNCounterInput in;
    in.HaveRecipientList = true;
    in.RecipientCount = 3;
    in.MinMaxMessageLength = 120;  // of 160, 0 and 120
    in.MaxNameLength = 8;
    in.AddDisplayName = true;
    in.FollowedBy = QStringLiteral(":");
    in.Length = 111;
    TNCounterDisplay out = ComputeCounters(in);
    EXPECT_FALSE(out.CountRed);
    EXPECT_EQ(out.Remaining, QStringLiteral("(0)"));
    in.Length = 112;
    out = ComputeCounters(in);
    EXPECT_EQ(out.CharCount, QStringLiteral("112"));
    EXPECT_TRUE(out.CountRed);
    EXPECT_EQ(out.Remaining, QStringLiteral("(-1)"));
    EXPECT_EQ(out.PrefixIndicator, QStringLiteral("(Name:)"));
    EXPECT_TRUE(out.PrefixVisible);
}

TEST(MessageCounters, EmptyListOrNoListShowsNoRemainder)
{
    TNCounterInput in;
    in.Length = 5000;
    in.HaveRecipientList = true;
    TNCounterDisplay out = ComputeCounters(in);
    EXPECT_TRUE(out.Remaining.isEmpty());
    EXPECT_FALSE(out.CountRed);
    EXPECT_FALSE(out.PrefixVisible);
    // Recipients whose carriers name no limit: nothing to count down.
    in.RecipientCount = 2;
    out = ComputeCounters(in);
    EXPECT_TRUE(out.Remaining.isEmpty());
    EXPECT_FALSE(out.CountRed);
    in.HaveRecipientList = false;
    in.AddDisplayName = true;
    in.FollowedBy = QStringLiteral(" - ");
    out = ComputeCounters(in);
    EXPECT_TRUE(out.Remaining.isEmpty());
    EXPECT_EQ(out.PrefixIndicator, QStringLiteral("(Name - )"));
}

TEST(TemplateTypeAhead, PrefixWithoutCase)
{
    const QStringList names{QStringLiteral("Alarm"), QStringLiteral("All clear"), QStringLiteral("Zebra")};
    EXPECT_EQ(FindTemplateByPrefix(names, QStringLiteral("al")), 0);
    EXPECT_EQ(FindTemplateByPrefix(names, QStringLiteral("ALL")), 1);
    EXPECT_EQ(FindTemplateByPrefix(names, QString()), 0);
    EXPECT_EQ(FindTemplateByPrefix(names, QStringLiteral("Alarms")), -1);  // longer than the name
    EXPECT_EQ(FindTemplateByPrefix({}, QString()), -1);
}

TEST(UpperCaseEntry, CodePageRules)
{
    EXPECT_EQ(UpperCaseEntryText(QStringLiteral("a\u00E9\u00FF")), QStringLiteral("A\u00C9\u0178"));
    EXPECT_EQ(UpperCaseEntryText(QStringLiteral("\u00DF")), QStringLiteral("\u00DF"));
    EXPECT_EQ(UpperCaseEntryText(QStringLiteral("\u03B1")), QStringLiteral("\u03B1"));
}

TEST(SendProgress, TwoBatchesShowTheirSums)
{
    TNSendProgress p;
    TNSendProgress::TSums s = p.Report(1, 1, 3);
    EXPECT_EQ(s.Current, 2);
    EXPECT_EQ(s.Total, 3);
    s = p.Report(2, 1, 2);
    EXPECT_EQ(s.Current, 4);
    EXPECT_EQ(s.Total, 5);
    s = p.Report(2, 2, 2);  // the second batch is done
    EXPECT_EQ(s.Current, 2);
    EXPECT_EQ(s.Total, 3);
    s = p.Report(1, 3, 3);
    EXPECT_EQ(s.Total, 0);
    EXPECT_TRUE(p.IsEmpty());
    // A last report for an unknown batch only recomputes.
    s = p.Report(7, 4, 4);
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_EQ(TNSendProgress::PositionOf((qint64(5) << 16) | 3), 3);
    EXPECT_EQ(TNSendProgress::TotalOf((qint64(5) << 16) | 3), 5);
}
