#include "messaging/framepipe.h"

#include <utility>

void TNFramePipe::Begin(bool receiverSends, int answerWaitMs)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_ring.clear();
    m_ring.resize(size_t(kDepth));
    m_head = 0;
    m_count = 0;
    m_inFlight = 0;
    m_answerWaitMs = answerWaitMs;
    m_receiverSends = receiverSends;
    m_draining = false;
    m_failed = false;
    m_failedRow = 0;
    m_failure.clear();
    m_onWire = TFrame();
    m_retired.clear();
    m_retired.reserve(size_t(kDepth));
}

void TNFramePipe::PushAll(std::vector<TFrame>& frames)
{
    std::vector<TFrame> retired;
    retired.reserve(size_t(kDepth));
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_count + frames.size() > m_ring.size()) {
            // More than kDepth queued (the send thread fills only the room
            // there is): the ring grows, in order.
            std::vector<TFrame> grown;
            grown.reserve(m_count + frames.size() + m_ring.size());
            for (size_t i = 0; i < m_count; ++i)
                grown.push_back(std::move(m_ring[(m_head + i) % m_ring.size()]));
            grown.resize(m_count + frames.size() + m_ring.size());
            m_ring.swap(grown);
            m_head = 0;
        }
        for (TFrame& frame : frames) {
            m_ring[(m_head + m_count) % m_ring.size()] = std::move(frame);
            ++m_count;
        }
        retired.swap(m_retired);
    }
    frames.clear();
    // The frames sent meanwhile are freed here, on the send thread, outside
    // the lock.
}

qsizetype TNFramePipe::Queued() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return qsizetype(m_count);
}

void TNFramePipe::SetInFlight(qint32 rowId)
{
    m_inFlight = rowId;
    m_deadline.setRemainingTime(m_answerWaitMs);
}

void TNFramePipe::TakeFront()
{
    if (m_onWire.RowId != 0)
        m_retired.push_back(std::move(m_onWire));
    m_onWire = std::move(m_ring[m_head]);
    m_head = (m_head + 1) % m_ring.size();
    --m_count;
    SetInFlight(m_onWire.RowId);
}

bool TNFramePipe::TakeForSender(TFrame& frame, qint32* timedOutRow, bool mayGoOn)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const bool expired = m_inFlight != 0 && m_deadline.hasExpired();
    if (timedOutRow)
        *timedOutRow = expired ? m_inFlight : 0;
    if (m_inFlight != 0 && !expired) {
        return false;
    }
    if (m_count == 0 || !mayGoOn) {
        m_inFlight = 0;  // an expired row stops being waited for
        return false;
    }
    TakeFront();
    frame = m_onWire;
    return true;
}

bool TNFramePipe::Busy() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inFlight != 0 || m_count != 0;
}

bool TNFramePipe::InFlightExpired() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inFlight != 0 && m_deadline.hasExpired();
}

qint64 TNFramePipe::InFlightLeftMs() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inFlight == 0 ? -1 : m_deadline.remainingTime();
}

int TNFramePipe::Position() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_onWire.Ordinal;
}

void TNFramePipe::SetDraining()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_draining = true;
}

QList<qint32> TNFramePipe::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    QList<qint32> rows;
    rows.reserve(qsizetype(m_count));
    for (; m_count > 0; --m_count, m_head = (m_head + 1) % m_ring.size())
        rows << std::exchange(m_ring[m_head], TFrame()).RowId;
    m_receiverSends = false;
    return rows;
}

TNFramePipe::TAnswer TNFramePipe::Answered(qint32 rowId, QByteArray& next, bool mayGoOn)
{
    std::lock_guard<std::mutex> guard(m_lock);
    TAnswer answer;
    if (rowId == 0 || rowId != m_inFlight)
        return answer;  // a late answer, or one of another batch
    answer.InFlight = true;
    if (!m_receiverSends || m_count == 0 || !mayGoOn) {
        m_inFlight = 0;
        answer.Wake = true;
        return answer;
    }
    TakeFront();
    next = m_onWire.Bytes;
    answer.SendNext = true;
    answer.NextRow = m_onWire.RowId;
    answer.Wake = m_draining || qsizetype(m_count) == kLowWater;
    return answer;
}

void TNFramePipe::SendFailed(const QString& error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_failed = true;
    m_failedRow = m_onWire.RowId;
    m_failure = error;
    m_receiverSends = false;
}

bool TNFramePipe::TakeFailure(TFrame& frame, QString& error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_failed)
        return false;
    m_failed = false;
    frame = m_onWire.RowId == m_failedRow ? m_onWire : TFrame{m_failedRow, 0, {}, {}};
    error = m_failure;
    return true;
}
