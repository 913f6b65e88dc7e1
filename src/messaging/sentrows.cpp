#include "messaging/sentrows.h"

quint32 TNSentRows::EndpointId(const QString& key)
{
    static std::mutex lock;
    static QHash<QString, quint32> ids;
    std::lock_guard<std::mutex> guard(lock);
    const auto it = ids.constFind(key);
    if (it != ids.cend())
        return *it;
    const quint32 id = quint32(ids.size()) + 1;
    ids.insert(key, id);
    return id;
}

void TNSentRows::Sent(qint32 rowId, quint32 endpoint)
{
    std::lock_guard<std::mutex> guard(m_lock);
    TRow& row = m_rows[rowId];
    const bool held = row.Held && row.Endpoint == endpoint;
    if (row.Held && !held)
        m_held.remove(rowId);
    row = TRow();
    row.Endpoint = endpoint;
    row.Held = held;
}

TNSentRows::TAckTake TNSentRows::TakeAck(const TClientInputMessage& ack, quint32 endpoint)
{
    TAckTake take;
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_rows.find(ack.ClientRecordID);
    if (it == m_rows.end() || it->Endpoint != endpoint || it->Accepted)
        return take;
    take.Taken = true;
    if (it->Held) {
        // A report that came first: it is this row's when the acceptance
        // names the record it names (a failure report names none).
        TClientInputMessage report = m_held.take(ack.ClientRecordID);
        it->Held = false;
        if (ack.MsgType == rkMessageAccepted &&
            (report.MsgType != rkMessageSent || report.ServerRecordID == ack.ServerRecordID)) {
            take.HasReport = true;
            take.Report = std::move(report);
        } else {
            take.Stale = 1;
        }
    }
    if (ack.MsgType != rkMessageAccepted || take.HasReport) {
        m_rows.erase(it);
        return take;
    }
    it->Accepted = true;
    it->ServerRecordID = ack.ServerRecordID;
    return take;
}

TNSentRows::TReportTake TNSentRows::TakeReport(const TClientInputMessage& report, quint32 endpoint)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_rows.find(report.ClientRecordID);
    if (it == m_rows.end() || it->Endpoint != endpoint)
        return rtStray;
    if (!it->Accepted) {
        if (it->Held)
            return rtStray;  // one report a row
        it->Held = true;
        m_held.insert(report.ClientRecordID, report);
        return rtHeld;
    }
    if (report.MsgType == rkMessageSent && report.ServerRecordID != it->ServerRecordID)
        return rtStray;
    m_rows.erase(it);
    return rtTaken;
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
    m_held.clear();
}

TNSentRows& RunSentRows()
{
    static TNSentRows rows;
    return rows;
}
