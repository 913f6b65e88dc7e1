#pragma once
// One exchange of a shared address book with its server's remote data door,
// in talks: each talk is network work only (it sees the connection and the
// values it was given, never a dataset or a widget), and what follows it runs
// on the exchange's thread, the main thread, once the talk is over. So the
// book's datasets are read and written only on the main thread, and only
// between talks.
//
// Threaded, a talk runs on a worker thread of the exchange's own and its
// end is posted back; the main thread goes on painting and answering
// meanwhile. Blocking (tests, benchmarks, command-line use), a talk runs at
// once on the calling thread, and a talk started from what follows another
// runs when that returns (no recursion however many talks an apply needs).
//
// Ownership: the exchange owns the connection and the worker. The worker
// uses the connection only while its talk runs; the destructor cancels a
// running talk and joins the worker before the connection goes, and a post
// of a talk's end to an exchange already gone is dropped by Qt. Cancel may
// be called at any time on the main thread.

#include "data/remotedataconnection.h"

#include <QObject>
#include <functional>
#include <memory>
#include <thread>

class TDoorExchange : public QObject {
    Q_OBJECT
public:
    enum class TMode { Threaded, Blocking };
    using TTalk = std::function<void(TRemoteDataConnection& connection)>;

    explicit TDoorExchange(TMode mode, QObject* parent = nullptr);
    ~TDoorExchange() override;

    // Runs Talk, then Heard on this object's thread. One talk at a time: a
    // second call before Heard ran is misuse and raises.
    void Talk(TTalk talk, std::function<void()> heard);
    // The running talk gives up at once (its call fails with "Cancelled"),
    // and so does every later one.
    void Cancel();
    bool IsCancelled() const { return m_cancelled; }
    bool IsTalking() const { return m_talking; }
    // A talk was started whose Heard has not run yet.
    bool HasTalk() const { return m_talking || m_queued; }

signals:
    // A talk started or ended (threaded only).
    void TalkingChanged(bool talking);

private:
    void TalkEnded();

    TMode m_mode;
    std::unique_ptr<TRemoteDataConnection> m_connection;
    std::thread m_worker;
    TTalk m_talk;
    std::function<void()> m_heard;
    bool m_talking = false;
    bool m_queued = false;
    bool m_driving = false;
    bool m_cancelled = false;
};
