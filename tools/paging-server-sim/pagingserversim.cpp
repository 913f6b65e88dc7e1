#include "pagingserversim.h"

#include "simdbusdoor.h"
#include "simtcpdoor.h"

TPagingServerSim::TPagingServerSim(const TSimOptions& options) : m_startOptions(options), m_core(options)
{
    m_thread.setObjectName(QStringLiteral("PagingServerSim"));
}

TPagingServerSim::~TPagingServerSim()
{
    Stop();
}

void TPagingServerSim::RunOnServerThread(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(m_context.get(), work, Qt::BlockingQueuedConnection);
}

bool TPagingServerSim::Start(QString* errorText)
{
    if (IsRunning())
        return true;
    if (!m_startOptions.logFile.isEmpty() && !m_log.OpenFile(m_startOptions.logFile, errorText))
        return false;
    m_log.SetMemoryLimit(m_startOptions.memoryLogLimit);
    m_context = std::make_unique<QObject>();
    m_context->moveToThread(&m_thread);
    m_thread.start();
    bool listening = false;
    QString error;
    RunOnServerThread([&] {
        std::unique_ptr<TSimTcpDoor> door;
        if (m_startOptions.tcpDoor) {
            door = std::make_unique<TSimTcpDoor>(m_core, m_log);
            if (!door->Listen(m_startOptions.listenAddress, m_startOptions.port, &error))
                return;
        }
        std::unique_ptr<TSimDbusDoor> dbusDoor;
        if (m_startOptions.automationDoor) {
            dbusDoor = std::make_unique<TSimDbusDoor>(m_core, m_log);
            if (!dbusDoor->Open(m_startOptions.busName, &error))
                return;
        }
        listening = door || dbusDoor;
        if (door) {
            m_port = door->Port();
            m_address = door->Address();
        }
        m_door = door.release();
        m_dbusDoor = dbusDoor.release();
    });
    if (!listening) {
        m_thread.quit();
        m_thread.wait();
        m_context.reset();
        if (errorText)
            *errorText = error;
    }
    return listening;
}

void TPagingServerSim::Stop()
{
    if (!m_thread.isRunning())
        return;
    RunOnServerThread([this] {
        delete m_door;
        m_door = nullptr;
        delete m_dbusDoor;
        m_dbusDoor = nullptr;
    });
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
}

int TPagingServerSim::Broadcast(const QString& text)
{
    int reached = 0;
    if (IsRunning())
        RunOnServerThread(
            [&] { reached = (m_door ? m_door->Broadcast(text) : 0) + (m_dbusDoor ? m_dbusDoor->Broadcast(text) : 0); });
    return reached;
}

void TPagingServerSim::CloseConnections()
{
    if (IsRunning())
        RunOnServerThread([this] {
            if (m_door)
                m_door->CloseAll();
            if (m_dbusDoor)
                m_dbusDoor->CloseAll();
        });
}

int TPagingServerSim::OpenConnections()
{
    int open = 0;
    if (IsRunning())
        RunOnServerThread([&] {
            open = (m_door ? m_door->OpenConnections() : 0) + (m_dbusDoor ? m_dbusDoor->OpenConnections() : 0);
        });
    return open;
}

bool TPagingServerSim::EngineRunning()
{
    bool running = false;
    if (m_dbusDoor)
        RunOnServerThread([&] { running = m_dbusDoor->EngineRunning(); });
    return running;
}

int TPagingServerSim::EngineStartRequests()
{
    int requests = 0;
    if (m_dbusDoor)
        RunOnServerThread([&] { requests = m_dbusDoor->StartRequests(); });
    return requests;
}

int TPagingServerSim::Count(const QList<TSimFrame>& log, TSimDirection direction, const QString& word)
{
    int n = 0;
    for (const TSimFrame& frame : log)
        if (frame.direction == direction && (word.isEmpty() || frame.Word() == word))
            ++n;
    return n;
}

bool TPagingServerSim::WaitForReceived(const QString& word, int count, int timeoutMs) const
{
    return WaitFor([&](const QList<TSimFrame>& log) { return Count(log, TSimDirection::In, word) >= count; },
                   timeoutMs);
}

bool TPagingServerSim::WaitForSent(const QString& word, int count, int timeoutMs) const
{
    return WaitFor([&](const QList<TSimFrame>& log) { return Count(log, TSimDirection::Out, word) >= count; },
                   timeoutMs);
}

bool TPagingServerSim::WaitForClosed(int count, int timeoutMs) const
{
    return WaitFor([&](const QList<TSimFrame>& log) { return Count(log, TSimDirection::Close) >= count; }, timeoutMs);
}
