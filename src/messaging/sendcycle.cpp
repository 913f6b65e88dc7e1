#include "messaging/sendcycle.h"

#include "data/threadconnections.h"
#include "messaging/inmessageslist.h"
#include "messaging/messagetable.h"
#include "messaging/outboxstore.h"
#include "messaging/sendsettings.h"
#include "messaging/serverslist.h"

#include <atomic>
#include <mutex>

namespace {
struct TCycle {
    std::mutex lock;
    int busy = 0;
    bool open = false;
};

TCycle& Cycle()
{
    static TCycle cycle;
    return cycle;
}

std::atomic<bool>& ReportsInHand()
{
    static std::atomic<bool> inHand{false};
    return inHand;
}

void CountWork(int delta)
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    Cycle().busy += delta;
}
}  // namespace

TNWorkSignal::~TNWorkSignal()
{
    Cancel();
}

void TNWorkSignal::Request()
{
    {
        TNCriticalSectionGuard guard(m_event.Lock());
        if (!m_pending) {
            m_pending = true;
            CountWork(+1);
        }
    }
    m_event.SetEvent();
}

bool TNWorkSignal::Take()
{
    TNCriticalSectionGuard guard(m_event.Lock());
    m_event.ResetEvent();
    const bool had = m_pending;
    m_pending = false;
    return had;
}

bool TNWorkSignal::Cancel()
{
    bool had = false;
    {
        TNCriticalSectionGuard guard(m_event.Lock());
        had = m_pending;
        m_pending = false;
    }
    if (had)
        CountWork(-1);
    return had;
}

void BeginSendCycle(TNWorkSignal& dispatcher, QSqlDatabase& db)
{
    // The cycle opens with a token of work of its own, so that no check on
    // another thread can close it between the opening and the dispatcher's
    // request; the token is released (with a check) once the request stands.
    {
        std::lock_guard<std::mutex> guard(Cycle().lock);
        Cycle().open = true;
        Cycle().busy += 1;
    }
    dispatcher.Request();
    ReleaseSendWork(db);
}

void ReleaseSendWork(QSqlDatabase& db)
{
    CountWork(-1);
    CheckSendDone(db);
}

void CheckSendDone(QSqlDatabase& db)
{
    // Taken before the cycle's lock: the dispatcher requests batches while
    // it holds ServersList's lock, so that lock always comes first.
    const QList<TNOutRowFilter> live = ServersList.LiveEndpoints();
    std::lock_guard<std::mutex> guard(Cycle().lock);
    if (!Cycle().open || Cycle().busy > 0)
        return;
    // The list before the processor: it marks its hands full before it
    // takes from the list.
    if (InMessagesList.PendingCount() > 0 || ReportsInHand().load())
        return;
    if (ReportsAwaited(db, live))
        return;
    Cycle().open = false;
    PostSendDone();
}

void SetReportsInHand(bool inHand)
{
    ReportsInHand() = inHand;
}

void CheckSendDoneOnOwnConnection()
{
    const QString path = CurrentSendSettings().LocalDatabasePath;
    {
        QSqlDatabase db;
        try {
            db = ThreadDatabase(path);
        } catch (const std::exception&) {
            // Unreachable now: the check cannot see the out-box and does
            // not keep Send disabled for it.
        }
        CheckSendDone(db);
    }
    CloseThreadDatabase(path);
}

int SendWorkInFlight()
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    return Cycle().busy;
}

bool SendCycleOpen()
{
    std::lock_guard<std::mutex> guard(Cycle().lock);
    return Cycle().open;
}
