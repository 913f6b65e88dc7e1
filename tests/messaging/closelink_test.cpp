// The engine stopped at the program's close while another program holds the
// local database's write lock: the stop ends within its bound and names the
// accepted messages it could not log.
#include "db/connection.h"
#include "messagingfixture.h"
#include "platform/closereport.h"
#include "support/writelockholder.h"

#include <QElapsedTimer>

namespace {
class CloseLinkTest : public MessagingTest {};

}  // namespace

TEST_F(CloseLinkTest, StopUnderAHeldLockEndsInTimeAndNamesTheUnloggedMessages)
{
    TSimOptions options = LoopbackSim();
    options.ackDelayMs = 400;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 carrier = Carrier(sim.Port());
    const qint32 first = Contact(QStringLiteral("Ann"), carrier);
    const qint32 second = Contact(QStringLiteral("Bob"), carrier);
    Queue(QStringLiteral("Locked out"), {first, second});
    SendOutBox();
    // The first page goes out before the lock is taken (none goes while
    // the record of the send cannot be written).
    ASSERT_TRUE(sim.WaitForReceived(QStringLiteral("MESSAGE"), 1, 10000));
    {
        WriteLockHolder lock(m_dbs.LocalDataPath());
        ASSERT_TRUE(lock.Held());
        // The acceptance reaches the client; its log write then fails on the
        // lock.
        ASSERT_TRUE(sim.WaitForSent(QStringLiteral("MESSAGE_ACCEPTED"), 1, 10000));
        QTest::qWait(300);
        TCloseReport report;
        LimitDatabaseWaits(500);
        QElapsedTimer stopping;
        stopping.start();
        EXPECT_TRUE(StopMessaging(3000));
        // Without the bound the send thread waits out every row's lock
        // time-out, and the stop with it, while the lock is still held.
        EXPECT_LT(stopping.elapsed(), 4000);
        ResetDatabaseWaits();
        const QStringList texts = report.Texts();
        ASSERT_EQ(texts.size(), 1) << qPrintable(texts.join(u'\n'));
        EXPECT_TRUE(texts[0].contains(QStringLiteral("\"Contact%1[Ann]\"").arg(first))) << qPrintable(texts[0]);
        EXPECT_TRUE(texts[0].contains(QStringLiteral("sent-messages log"))) << qPrintable(texts[0]);
    }
    // Nothing was logged: the rows stay in the out-box.
    EXPECT_EQ(LogRows(), 0);
}
