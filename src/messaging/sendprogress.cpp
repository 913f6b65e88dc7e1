#include "messaging/sendprogress.h"

#include "messaging/messagetable.h"

TNSendProgressPoster::TNSendProgressPoster(quint64 batch, int intervalMs) : m_batch(batch), m_intervalMs(intervalMs) {}

void TNSendProgressPoster::Row(int index, int total)
{
    m_index = index;
    m_total = total;
    m_held = true;
    if (!m_sinceLast.isValid() || index == total || m_intervalMs <= 0 || m_sinceLast.hasExpired(m_intervalMs))
        Post();
}

void TNSendProgressPoster::Finish()
{
    if (m_held)
        Post();
}

qint64 TNSendProgressPoster::PostIfDue()
{
    if (!m_held)
        return -1;
    const qint64 left = m_sinceLast.isValid() ? m_intervalMs - m_sinceLast.elapsed() : 0;
    if (left > 0)
        return left;
    Post();
    return -1;
}

void TNSendProgressPoster::Post()
{
    PostSendProgress(m_batch, m_index, m_total);
    m_held = false;
    m_sinceLast.start();
}
