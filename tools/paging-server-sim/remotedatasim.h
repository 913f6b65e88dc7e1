#pragma once
// The simulator's remote data door in a thread of its own, for tests and for
// the paging-server-sim program.
//
//   TSimDataOptions options;
//   options.listenAddress = QHostAddress(QHostAddress::LocalHost);
//   options.port = 0;
//   options.books.append({QStringLiteral("TovixServer.TovixRemoteDataModule"), QString(), folder + "Book.db"});
//   TRemoteDataSim sim(options);
//   ASSERT_TRUE(sim.Start());
//
// Start and Stop belong to the thread that owns the object; the request log
// may be read from any thread. Each request is logged as one entry of
// direction In whose items are the operation, the provider and the server
// name ("broken" or "malformed" with the reason for unreadable input). The
// destructor stops the thread and waits for it.

#include "simdataoptions.h"
#include "simframelog.h"

#include <QThread>
#include <memory>

class TSimDataDoor;

class TRemoteDataSim {
public:
    explicit TRemoteDataSim(const TSimDataOptions& options);
    ~TRemoteDataSim();
    TRemoteDataSim(const TRemoteDataSim&) = delete;
    TRemoteDataSim& operator=(const TRemoteDataSim&) = delete;

    bool Start(QString* errorText = nullptr);
    void Stop();
    quint16 Port() const { return m_port; }
    QHostAddress Address() const { return m_address; }

    QList<TSimFrame> Requests() const { return m_log.Entries(TSimDirection::In); }
    const TSimFrameLog& Log() const { return m_log; }

private:
    TSimDataOptions m_options;
    TSimFrameLog m_log;
    QThread m_thread;
    std::unique_ptr<QObject> m_context;
    TSimDataDoor* m_door = nullptr;  // made, used and freed on m_thread only
    quint16 m_port = 0;
    QHostAddress m_address;
};
