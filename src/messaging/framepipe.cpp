#include "messaging/framepipe.h"

void TNFramePipe::Begin(bool receiverSends, int answerWaitMs)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_queue.clear();
    m_inFlight = 0;
    m_answerWaitMs = answerWaitMs;
    m_sent = 0;
    m_receiverSends = receiverSends;
    m_draining = false;
    m_failed = false;
    m_failedFrame = TFrame();
    m_failure.clear();
}

void TNFramePipe::Push(TFrame frame)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_queue.push_back(std::move(frame));
}

qsizetype TNFramePipe::Queued() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return qsizetype(m_queue.size());
}

void TNFramePipe::SetInFlight(qint32 rowId)
{
    m_inFlight = rowId;
    m_deadline.setRemainingTime(m_answerWaitMs);
    ++m_sent;
}

bool TNFramePipe::TakeForSender(TFrame& frame, bool* timedOut)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const bool expired = m_inFlight != 0 && m_deadline.hasExpired();
    if (timedOut)
        *timedOut = expired;
    if (m_inFlight != 0 && !expired) {
        return false;
    }
    if (m_queue.empty()) {
        m_inFlight = 0;  // an expired row stops being waited for
        return false;
    }
    frame = std::move(m_queue.front());
    m_queue.pop_front();
    SetInFlight(frame.RowId);
    return true;
}

bool TNFramePipe::Busy() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inFlight != 0 || !m_queue.empty();
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

int TNFramePipe::Sent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sent;
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
    rows.reserve(qsizetype(m_queue.size()));
    for (const TFrame& frame : m_queue)
        rows << frame.RowId;
    m_queue.clear();
    m_receiverSends = false;
    return rows;
}

bool TNFramePipe::Answered(qint32 rowId, TFrame& next, bool& wake)
{
    std::lock_guard<std::mutex> guard(m_lock);
    wake = false;
    if (rowId == 0 || rowId != m_inFlight)
        return false;  // a late answer, or one of another batch
    if (!m_receiverSends || m_queue.empty()) {
        m_inFlight = 0;
        wake = true;
        return false;
    }
    next = std::move(m_queue.front());
    m_queue.pop_front();
    SetInFlight(next.RowId);
    wake = m_draining || qsizetype(m_queue.size()) == kLowWater;
    return true;
}

void TNFramePipe::SendFailed(const TFrame& frame, const QString& error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_failed = true;
    m_failedFrame = frame;
    m_failure = error;
    m_receiverSends = false;
}

bool TNFramePipe::TakeFailure(TFrame& frame, QString& error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_failed)
        return false;
    m_failed = false;
    frame = m_failedFrame;
    error = m_failure;
    return true;
}
