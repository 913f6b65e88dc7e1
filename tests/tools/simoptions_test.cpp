// The simulator's command line.
#include "simoptions.h"

#include <gtest/gtest.h>

namespace {
QStringList Args(std::initializer_list<const char*> list)
{
    QStringList out{QStringLiteral("paging-server-sim")};
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

bool Parse(std::initializer_list<const char*> list, TSimOptions* o, QString* error = nullptr)
{
    QString e;
    QString help;
    return ParseSimArguments(Args(list), o, error ? error : &e, &help);
}
}  // namespace

TEST(SimOptionsTest, DefaultsWithoutArguments)
{
    TSimOptions o;
    ASSERT_TRUE(Parse({}, &o));
    EXPECT_EQ(o.port, 215);
    EXPECT_EQ(o.listenAddress, QHostAddress(QHostAddress::Any));
    EXPECT_EQ(o.logon, TSimLogon::Ok);
    EXPECT_EQ(o.report, TSimReport::Sent);
    EXPECT_TRUE(o.closeOnDenial);
}

TEST(SimOptionsTest, EveryOptionReachesItsField)
{
    TSimOptions o;
    ASSERT_TRUE(Parse({"--listen",
                       "127.0.0.1",
                       "--port",
                       "0",
                       "--logon",
                       "refuse",
                       "--deny-code",
                       "4",
                       "--deny-text",
                       "go away",
                       "--keep-open",
                       "--ack-delay",
                       "3500",
                       "--drop-acks",
                       "--drop-ack-ids",
                       "5,6",
                       "--accept-error-ids",
                       "1, 2,3",
                       "--accept-error-addresses",
                       "000,999",
                       "--accept-error-code",
                       "6",
                       "--report",
                       "error:7",
                       "--report-error-ids",
                       "9",
                       "--unreported-ids",
                       "4,8",
                       "--report-delay",
                       "250",
                       "--repeat-reports",
                       "1200",
                       "--stray-answers",
                       "50",
                       "--stray-failures",
                       "7",
                       "--reports-first",
                       "--hold-reports",
                       "--stale-reports",
                       "--split",
                       "1",
                       "--split-gap",
                       "10",
                       "--garbage",
                       "--nul",
                       "--close-after",
                       "3",
                       "--silent",
                       "--log",
                       "/tmp/x.jsonl",
                       "--broadcast-every",
                       "1000",
                       "--broadcast-text",
                       "hello",
                       "--first-server-id",
                       "500",
                       "--memory-log",
                       "50"},
                      &o));
    EXPECT_EQ(o.listenAddress, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.logon, TSimLogon::Refuse);
    EXPECT_EQ(o.denyCode, 4);
    EXPECT_EQ(o.denyText, QStringLiteral("go away"));
    EXPECT_FALSE(o.closeOnDenial);
    EXPECT_EQ(o.ackDelayMs, 3500);
    EXPECT_TRUE(o.dropAcks);
    EXPECT_EQ(o.dropAckIds, (QList<qint32>{5, 6}));
    EXPECT_EQ(o.acceptErrorIds, (QList<qint32>{1, 2, 3}));
    EXPECT_EQ(o.acceptErrorAddresses, (QStringList{QStringLiteral("000"), QStringLiteral("999")}));
    EXPECT_EQ(o.acceptErrorCode, 6);
    EXPECT_EQ(o.report, TSimReport::Error);
    EXPECT_EQ(o.reportErrorCode, 7);
    EXPECT_EQ(o.reportErrorIds, QList<qint32>{9});
    EXPECT_EQ(o.unreportedIds, (QList<qint32>{4, 8}));
    EXPECT_EQ(o.reportDelayMs, 250);
    EXPECT_EQ(o.repeatReportMs, 1200);
    EXPECT_EQ(o.strayAnswers, 50);
    EXPECT_EQ(o.strayFailures, 7);
    EXPECT_TRUE(o.reportsFirst);
    EXPECT_TRUE(o.holdReports);
    EXPECT_TRUE(o.staleReports);
    EXPECT_EQ(o.splitAt, 1);
    EXPECT_EQ(o.splitGapMs, 10);
    EXPECT_TRUE(o.garbage);
    EXPECT_TRUE(o.nul);
    EXPECT_EQ(o.closeAfter, 3);
    EXPECT_TRUE(o.silent);
    EXPECT_EQ(o.logFile, QStringLiteral("/tmp/x.jsonl"));
    EXPECT_EQ(o.broadcastEveryMs, 1000);
    EXPECT_EQ(o.broadcastText, QStringLiteral("hello"));
    EXPECT_EQ(o.firstServerRecordId, 500);
    EXPECT_EQ(o.memoryLogLimit, 50);

    ASSERT_TRUE(Parse({"--report", "none", "--logon", "silent", "--listen", "localhost"}, &o));
    EXPECT_EQ(o.report, TSimReport::None);
    EXPECT_EQ(o.logon, TSimLogon::Silent);
}

TEST(SimOptionsTest, BadValuesAreRejectedAndLeaveTheOptionsAlone)
{
    for (auto bad : {std::initializer_list<const char*>{"--port", "70000"},
                     {"--port", "x"},
                     {"--logon", "OK"},
                     {"--report", "error:"},
                     {"--report", "fail"},
                     {"--ack-delay", "-1"},
                     {"--accept-error-ids", "1,b"},
                     {"--listen", "nowhere"},
                     {"--frobnicate"},
                     {"stray"}}) {
        TSimOptions o;
        o.port = 1234;
        QString error;
        EXPECT_FALSE(Parse(bad, &o, &error)) << *bad.begin();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(o.port, 1234);
    }
    TSimOptions o;
    QString error;
    QString help;
    EXPECT_FALSE(ParseSimArguments(Args({"--help"}), &o, &error, &help));
    EXPECT_TRUE(help.contains(QStringLiteral("--close-after")));
}

TEST(SimOptionsTest, AutomationDoorAndItsFaults)
{
    TSimOptions o;
    ASSERT_TRUE(Parse({"--automation", "--no-tcp", "--bus-name", "org.tovix.PagingServer.Demo", "--engine", "stopped",
                       "--start-delay", "250", "--logon-broadcast", "Hi", "--join-frames", "--event-split", "2"},
                      &o));
    EXPECT_TRUE(o.automationDoor);
    EXPECT_FALSE(o.tcpDoor);
    EXPECT_EQ(o.busName, QStringLiteral("org.tovix.PagingServer.Demo"));
    EXPECT_EQ(o.engine, TSimEngine::Stopped);
    EXPECT_EQ(o.engineStartDelayMs, 250);
    EXPECT_EQ(o.logonBroadcast, QStringLiteral("Hi"));
    EXPECT_TRUE(o.joinFrames);
    EXPECT_EQ(o.eventSplit, 2);
    // A server with no door at all, and an engine state it does not know.
    QString error;
    TSimOptions none;
    EXPECT_FALSE(Parse({"--no-tcp"}, &none, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("--automation")));
    EXPECT_FALSE(Parse({"--automation", "--engine", "sleepy"}, &none, &error));
}
