#pragma once
// TNFramePipe: the frames of a batch waiting their turn on the wire, and the
// row on it. The send thread reads, claims and frames rows ahead and queues
// them here; the link sends one at a time and the next only once the server
// has answered the one in flight (or its wait has run out).
//
// Who puts the next frame on the wire: where the link's receiving thread may
// write to the transport (TCP), it sends the next frame the moment it reads
// the answer, so a row's turn costs one wake-up of the receiving thread and
// none of the send thread; the send thread refills the queue when it runs
// low. Otherwise (or when the wait of the row in flight ran out) the send
// thread takes the next frame itself.
//
// Any thread; every member takes the pipe's lock. Nothing here touches the
// transport: the caller that takes a frame sends it.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <mutex>
#include <vector>

class TNFramePipe {
public:
    struct TFrame {
        qint32 RowId = 0;
        int Ordinal = 0;  // the row's place in its batch, from 1
        QByteArray Bytes;
        QString Label;  // the recipient, for a popup when the send fails
    };
    // Frames queued ahead at most, and the level below which the send thread
    // is woken to refill.
    static constexpr qsizetype kDepth = 128;
    static constexpr qsizetype kLowWater = kDepth / 2;

    // A new batch on a link with nothing in flight. ReceiverSends: the
    // receiving thread sends the next frame on an answer. AnswerWaitMs: how
    // long a row in flight waits for its answer.
    void Begin(bool receiverSends, int answerWaitMs);
    // Send thread: queues claimed, framed rows, in order (Frames is emptied).
    void PushAll(std::vector<TFrame>& frames);
    qsizetype Queued() const;
    // Send thread: the next frame to send now, when nothing is in flight or
    // the row in flight waited its whole time (TimedOutRow set to that row
    // then, else 0). The frame counts as in flight from here. Without
    // MayGoOn (the acceptances in hand are not logged yet) no frame is
    // taken; an expired row still stops being waited for.
    bool TakeForSender(TFrame& frame, qint32* timedOutRow, bool mayGoOn = true);
    // Whether a row is in flight or frames wait.
    bool Busy() const;
    // Whether the row in flight has waited its whole time.
    bool InFlightExpired() const;
    // Milliseconds the row in flight may still wait (-1: nothing in flight).
    qint64 InFlightLeftMs() const;
    // The Ordinal of the last frame put on the wire (0: none yet).
    int Position() const;
    // The send thread waits for the queue to empty: every answer wakes it.
    void SetDraining();
    // Ends the batch: drops the frames never sent and returns their rows.
    QList<qint32> Clear();

    // What an answer means for the pipe. InFlight: it answers the row on the
    // wire (a row of this batch, claimed). SendNext: the caller must send
    // Next now (it is in flight from here), the frame of row NextRow. Wake:
    // the send thread has something to do (refill, take the next frame, or
    // the queue is empty).
    struct TAnswer {
        bool InFlight = false;
        bool SendNext = false;
        bool Wake = false;
        qint32 NextRow = 0;
    };
    // Receiving thread: the server answered RowId. Next shares its bytes
    // with the pipe, which frees them on the send thread (PushAll, Begin):
    // memory goes back to the thread that took it, so the two threads never
    // meet in the allocator. Without MayGoOn the next frame stays queued and
    // the send thread is woken (it sends it once the log has caught up).
    TAnswer Answered(qint32 rowId, QByteArray& next, bool mayGoOn = true);
    // The receiving thread could not send the frame Answered gave it; the
    // send thread reports it.
    void SendFailed(const QString& error);
    // The failure reported by SendFailed, once.
    bool TakeFailure(TFrame& frame, QString& error);

private:
    void SetInFlight(qint32 rowId);
    // Moves the front frame on the wire; the one before it is retired.
    void TakeFront();

    mutable std::mutex m_lock;
    // The queue: a ring of kDepth slots, so taking a frame frees nothing on
    // the receiving thread.
    std::vector<TFrame> m_ring;
    size_t m_head = 0;
    size_t m_count = 0;
    qint32 m_inFlight = 0;  // 0: nothing on the wire
    // The last frame put on the wire, and those before it, kept until the
    // send thread frees them.
    TFrame m_onWire;
    std::vector<TFrame> m_retired;
    QDeadlineTimer m_deadline;
    int m_answerWaitMs = 0;
    bool m_receiverSends = false;
    bool m_draining = false;
    bool m_failed = false;
    qint32 m_failedRow = 0;
    QString m_failure;
};
