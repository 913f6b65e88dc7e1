#include "messaging/sentrows.h"

void TNSentRows::Sent(qint32 rowId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_rows.insert(rowId, TRow());
}

bool TNSentRows::TakeAck(const TClientInputMessage& ack)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_rows.find(ack.ClientRecordID);
    if (it == m_rows.end() || it->Accepted)
        return false;
    if (ack.MsgType != rkMessageAccepted) {
        m_rows.erase(it);
        return true;
    }
    it->Accepted = true;
    it->ServerRecordID = ack.ServerRecordID;
    return true;
}

bool TNSentRows::TakeReport(const TClientInputMessage& report)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_rows.find(report.ClientRecordID);
    if (it == m_rows.end() || !it->Accepted)
        return false;
    if (report.MsgType == rkMessageSent && report.ServerRecordID != it->ServerRecordID)
        return false;
    m_rows.erase(it);
    return true;
}

qsizetype TNSentRows::Count() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_rows.size();
}

void TNSentRows::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_rows.clear();
}

TNSentRows& RunSentRows()
{
    static TNSentRows rows;
    return rows;
}
