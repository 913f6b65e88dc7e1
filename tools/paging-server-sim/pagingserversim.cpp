#include "pagingserversim.h"

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
    if (m_door)
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
        auto door = std::make_unique<TSimTcpDoor>(m_core, m_log);
        listening = door->Listen(m_startOptions.listenAddress, m_startOptions.port, &error);
        if (listening) {
            m_port = door->Port();
            m_address = door->Address();
            m_door = door.release();
        }
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
    });
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
}

int TPagingServerSim::Broadcast(const QString& text)
{
    int reached = 0;
    if (m_door)
        RunOnServerThread([&] { reached = m_door->Broadcast(text); });
    return reached;
}

void TPagingServerSim::CloseConnections()
{
    if (m_door)
        RunOnServerThread([this] { m_door->CloseAll(); });
}

int TPagingServerSim::OpenConnections()
{
    int open = 0;
    if (m_door)
        RunOnServerThread([&] { open = m_door->OpenConnections(); });
    return open;
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
