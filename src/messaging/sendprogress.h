#pragma once
// TNSendProgressPoster: the send bar's progress for one batch, coalesced. A
// batch reports each row it sends; the poster passes a report on as
// WM_SEND_PROGRESS only when it is the batch's first or last row or when
// IntervalMs has passed since the last one it passed on, so the main thread
// gets a few updates a second however fast the rows go. Finish passes on
// the last position reached when it was held back (a batch that ended
// early), so the send bar always ends on the true position.
//
// One thread (the batch's send thread).

#include <QElapsedTimer>
#include <QtGlobal>

class TNSendProgressPoster {
public:
    // Updates a second at most, per batch (besides the first and the last).
    static constexpr int kIntervalMs = 250;

    explicit TNSendProgressPoster(quint64 batch, int intervalMs = kIntervalMs);
    ~TNSendProgressPoster() { Finish(); }
    TNSendProgressPoster(const TNSendProgressPoster&) = delete;
    TNSendProgressPoster& operator=(const TNSendProgressPoster&) = delete;

    // Row Index of Total is being sent (both as WM_SEND_PROGRESS carries
    // them).
    void Row(int index, int total);
    // Posts the position held back, if any.
    void Finish();
    // Passes on the position held back once IntervalMs has passed since the
    // last one; otherwise returns the milliseconds until then (-1: nothing
    // is held), so a batch that waits can wake to post it.
    qint64 PostIfDue();

private:
    void Post();

    const quint64 m_batch;
    const int m_intervalMs;
    QElapsedTimer m_sinceLast;
    int m_index = 0;
    int m_total = 0;
    bool m_held = false;
};
