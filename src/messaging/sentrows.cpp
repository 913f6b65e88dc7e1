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
    if (it == m_rows.end() || it->Acked)
        return false;
    if (ack.MsgType != rkMessageAccepted || it->Reported) {
        m_rows.erase(it);
        return true;
    }
    it->Acked = true;
    it->ServerRecordID = ack.ServerRecordID;
    return true;
}

bool TNSentRows::TakeReport(const TClientInputMessage& report)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_rows.find(report.ClientRecordID);
    if (it == m_rows.end() || it->Reported)
        return false;
    if (!it->Acked) {
        // The report overtook its acknowledgement: the row waits for it.
        it->Reported = true;
        return true;
    }
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
