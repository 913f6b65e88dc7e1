#include "messaging/framecutter.h"

#include <algorithm>

namespace {
constexpr qsizetype kMarker = 3;

// How many bytes at the end of Buffer (not before From) could be the first
// bytes of a start marker whose rest has not arrived yet: "\r\n" or "\r".
qsizetype PartialStartMarker(const QByteArray& buffer, qsizetype from)
{
    const qsizetype available = buffer.size() - from;
    if (available >= 2 && buffer.endsWith(kFrameStart.first(2)))
        return 2;
    if (available >= 1 && buffer.endsWith(kFrameStart.first(1)))
        return 1;
    return 0;
}

// The cutting loop shared by the free function and the cutter. Searched is
// how far (from the buffer's first byte, which is then a start marker) an
// earlier call already looked for an end marker; it is updated for the next
// call. Dropped counts the oversized incomplete frames thrown away.
bool CutFrames(QByteArray& buffer, QList<TClientRawInMessage>& list, qsizetype maxPending, qsizetype& searched,
               int& dropped)
{
    list.clear();
    const qsizetype n = buffer.size();
    qsizetype pos = 0;  // everything before pos is consumed
    for (;;) {
        const qsizetype start = buffer.indexOf(kFrameStart, pos);
        if (start < 0) {
            pos = n - PartialStartMarker(buffer, pos);
            searched = 0;
            break;
        }
        if (start != 0)
            searched = 0;
        // The end marker may begin at the start marker's last CR (empty body).
        const qsizetype end = buffer.indexOf(kFrameEnd, start + std::max<qsizetype>(kMarker - 1, searched));
        if (end < 0) {
            pos = start;
            // An end marker may still begin in the last two bytes.
            searched = std::max<qsizetype>(kMarker - 1, n - (kMarker - 1) - start);
            if (n - start > maxPending) {
                // Resynchronise at a later start marker that leaves a
                // partial frame within the cap, or drop everything.
                ++dropped;
                const qsizetype next = buffer.indexOf(kFrameStart, std::max(start + kMarker, n - maxPending));
                if (next >= 0) {
                    pos = next;
                    searched = std::max<qsizetype>(kMarker - 1, n - (kMarker - 1) - next);
                } else {
                    pos = n - PartialStartMarker(buffer, start + kMarker);
                    searched = 0;
                }
            }
            break;
        }
        const qsizetype bodyStart = start + kMarker;
        list.append(TClientRawInMessage::FromBytes(buffer.mid(bodyStart, std::max<qsizetype>(0, end - bodyStart))));
        pos = end + kMarker;
        searched = 0;
    }
    if (pos >= n)
        buffer.clear();
    else if (pos > 0)
        buffer.remove(0, pos);
    return !list.isEmpty();
}
}  // namespace

QByteArrayView UsefulPart(QByteArrayView chunk)
{
    const qsizetype nul = chunk.indexOf('\0');
    return nul >= 0 ? chunk.first(nul) : chunk;
}

bool SplitRawMessages(QByteArray& buffer, QList<TClientRawInMessage>& list, qsizetype maxPending)
{
    qsizetype searched = 0;
    int dropped = 0;
    return CutFrames(buffer, list, maxPending, searched, dropped);
}

void TFrameCutter::Append(QByteArrayView chunk)
{
    m_pending.append(UsefulPart(chunk));
}

bool TFrameCutter::Split(QList<TClientRawInMessage>& list)
{
    return CutFrames(m_pending, list, m_maxPending, m_searched, m_dropped);
}

void TFrameCutter::Clear()
{
    m_pending.clear();
    m_searched = 0;
}
