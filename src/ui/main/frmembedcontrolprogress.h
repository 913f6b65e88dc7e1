#pragma once
// The send bar's progress map: one entry per batch in flight, keyed by the
// identity of the send thread that reports it. A report of row P of T keeps
// the batch at position P + 1 of T; the report of its last row removes it.
// The status bar shows the sums over all batches. Main thread only.

#include <QHash>

class TNSendProgress {
public:
    struct TSums {
        int Current = 0;
        int Total = 0;
    };

    // Applies one WM_SEND_PROGRESS report and returns the new sums.
    TSums Report(quint64 key, int position, int total);
    // Forgets every batch (the engine says none is running any more).
    void Clear() { m_map.clear(); }
    bool IsEmpty() const { return m_map.isEmpty(); }
    int BatchCount() const { return static_cast<int>(m_map.size()); }
    TSums Sums() const;

    // The two halves of a report's LParam.
    static int PositionOf(qint64 lParam) { return static_cast<int>(lParam & 0xFFFF); }
    static int TotalOf(qint64 lParam) { return static_cast<int>((lParam >> 16) & 0xFFFF); }

private:
    QHash<quint64, quint32> m_map;  // high 16 bits total, low 16 bits position
};
