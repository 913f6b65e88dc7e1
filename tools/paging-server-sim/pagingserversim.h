#pragma once
// A paging server in a thread of its own, for tests and for the
// paging-server-sim program.
//
//   TSimOptions options;
//   options.listenAddress = QHostAddress(QHostAddress::LocalHost);
//   options.port = 0;                      // a free port
//   TPagingServerSim sim(options);
//   ASSERT_TRUE(sim.Start());
//   ... connect a client to 127.0.0.1:sim.Port() ...
//   sim.WaitForReceived(QStringLiteral("MESSAGE"), 3, 5000);
//
// The server's sockets, timers and core live on its own thread with an event
// loop, so a client under test may block on other threads. Start, Stop,
// Broadcast, CloseConnections and OpenConnections belong to the thread that
// owns the simulator; the options, the log and the waiting helpers may be
// used from any thread. The destructor stops the thread and waits for it.

#include "simcore.h"
#include "simframelog.h"
#include "simoptions.h"

#include <QHostAddress>
#include <QThread>
#include <functional>
#include <memory>

class TSimDbusDoor;
class TSimTcpDoor;

class TPagingServerSim {
public:
    explicit TPagingServerSim(const TSimOptions& options = TSimOptions());
    ~TPagingServerSim();
    TPagingServerSim(const TPagingServerSim&) = delete;
    TPagingServerSim& operator=(const TPagingServerSim&) = delete;

    // Starts the thread and opens the doors the options ask for (the TCP
    // door, the automation door); false (with the reason) when the log
    // file, the port or the bus name cannot be had.
    bool Start(QString* errorText = nullptr);
    // Closes the door and every connection and ends the thread.
    void Stop();
    bool IsRunning() const { return m_door != nullptr || m_dbusDoor != nullptr; }

    quint16 Port() const { return m_port; }
    QHostAddress Address() const { return m_address; }

    // Changes the server's behaviour for frames that arrive from now on (the
    // door's address and port stay).
    void SetOptions(const TSimOptions& options) { m_core.SetOptions(options); }
    TSimOptions Options() const { return m_core.Options(); }

    // Whether the automation door's engine reports running, and how often
    // it was asked to start.
    bool EngineRunning();
    int EngineStartRequests();

    // Sends a BROADCAST_MESSAGE to every connected client; returns how many.
    int Broadcast(const QString& text);
    // Closes every client connection from the server's side (asks every
    // automation client to close).
    void CloseConnections();
    int OpenConnections();

    // The frame log: what the server received, what it sent, and all of it
    // with the connection events.
    QList<TSimFrame> ReceivedFrames() const { return m_log.Entries(TSimDirection::In); }
    QList<TSimFrame> SentFrames() const { return m_log.Entries(TSimDirection::Out); }
    QList<TSimFrame> Log() const { return m_log.Entries(); }

    // Waiting helpers; false when TimeoutMs ran out first. A Word of its
    // own counts only frames whose item 0 is that word.
    bool WaitForReceived(const QString& word, int count, int timeoutMs) const;
    bool WaitForSent(const QString& word, int count, int timeoutMs) const;
    // Until Count connections have been closed since the start.
    bool WaitForClosed(int count, int timeoutMs) const;
    bool WaitFor(const std::function<bool(const QList<TSimFrame>&)>& test, int timeoutMs) const
    {
        return m_log.WaitFor(test, timeoutMs);
    }

    // Frames of one direction (and word, when not empty) in a log snapshot.
    static int Count(const QList<TSimFrame>& log, TSimDirection direction, const QString& word = QString());

private:
    // Runs Work on the server's thread and waits for it.
    void RunOnServerThread(const std::function<void()>& work);

    TSimOptions m_startOptions;
    TSimCore m_core;
    TSimFrameLog m_log;
    QThread m_thread;
    // Lives on m_thread: the context of the work run there.
    std::unique_ptr<QObject> m_context;
    // Made, used and destroyed on m_thread only.
    TSimTcpDoor* m_door = nullptr;
    TSimDbusDoor* m_dbusDoor = nullptr;
    quint16 m_port = 0;
    QHostAddress m_address;
};
