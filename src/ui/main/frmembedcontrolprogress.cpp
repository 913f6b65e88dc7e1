#include "ui/main/frmembedcontrolprogress.h"

TNSendProgress::TSums TNSendProgress::Report(quint64 key, int position, int total)
{
    m_map.remove(key);
    if (position != total)
        m_map.insert(key, (static_cast<quint32>(total & 0xFFFF) << 16) | (static_cast<quint32>(position + 1) & 0xFFFF));
    return Sums();
}

TNSendProgress::TSums TNSendProgress::Sums() const
{
    TSums sums;
    for (auto it = m_map.cbegin(); it != m_map.cend(); ++it) {
        sums.Total += static_cast<int>(it.value() >> 16);
        sums.Current += static_cast<int>(it.value() & 0xFFFF);
    }
    return sums;
}
