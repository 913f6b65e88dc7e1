#pragma once
// Cutting complete frames out of received bytes.
//
// The TCP receive side keeps one buffer across reads: bytes before a start
// marker are dropped, an incomplete frame waits for more bytes, every
// complete frame becomes one TClientRawInMessage in arrival order. Two guards
// keep the stream sound:
// - a start marker split across two reads is kept: when the buffer holds no
//   start marker, its tail that could begin one (CR, or CR LF) stays;
// - the incomplete frame is capped: when it grows past the cap it is dropped
//   and cutting resumes at the next start marker, so a peer that never ends
//   a frame cannot exhaust memory.
// Not thread-safe: one cutter (or buffer) belongs to one reading thread.

#include "messaging/protocolmessages.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The largest incomplete frame kept while waiting for its end marker.
inline constexpr qsizetype kMaxPendingBytes = 1024 * 1024;

// Empties List, then cuts every complete frame off Buffer (changed in place)
// into it. True when at least one frame was cut.
bool SplitRawMessages(QByteArray& buffer, QList<TClientRawInMessage>& list, qsizetype maxPending = kMaxPendingBytes);

// A receive buffer with its cutting state.
class TFrameCutter {
public:
    explicit TFrameCutter(qsizetype maxPending = kMaxPendingBytes) : m_maxPending(maxPending) {}

    // Appends one received chunk; only the bytes before its first NUL count.
    void Append(QByteArrayView chunk);
    // Empties List and cuts every complete frame into it; true when any.
    bool Split(QList<TClientRawInMessage>& list);

    const QByteArray& Pending() const { return m_pending; }
    // How many oversized incomplete frames were dropped so far.
    int DroppedFrames() const { return m_dropped; }
    void Clear();

private:
    QByteArray m_pending;
    qsizetype m_maxPending;
    // Bytes of m_pending (from its start marker) already searched for an end
    // marker, so a large frame arriving in small reads is not rescanned.
    qsizetype m_searched = 0;
    int m_dropped = 0;
};

// The received part of one chunk: its bytes before the first NUL.
QByteArrayView UsefulPart(QByteArrayView chunk);
