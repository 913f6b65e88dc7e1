#include "remotedatasim.h"

#include "simdatadoor.h"

TRemoteDataSim::TRemoteDataSim(const TSimDataOptions& options) : m_options(options)
{
    m_thread.setObjectName(QStringLiteral("RemoteDataSim"));
}

TRemoteDataSim::~TRemoteDataSim()
{
    Stop();
}

bool TRemoteDataSim::Start(QString* errorText)
{
    if (m_door)
        return true;
    if (!m_options.logFile.isEmpty() && !m_log.OpenFile(m_options.logFile, errorText))
        return false;
    m_context = std::make_unique<QObject>();
    m_context->moveToThread(&m_thread);
    m_thread.start();
    bool started = false;
    QString error;
    QMetaObject::invokeMethod(
        m_context.get(),
        [&] {
            auto door = std::make_unique<TSimDataDoor>(m_options, m_log);
            started = door->Start(&error);
            if (started) {
                m_port = door->Port();
                m_address = door->Address();
                m_door = door.release();
            }
        },
        Qt::BlockingQueuedConnection);
    if (!started) {
        m_thread.quit();
        m_thread.wait();
        m_context.reset();
        if (errorText)
            *errorText = error;
    }
    return started;
}

void TRemoteDataSim::Stop()
{
    if (!m_thread.isRunning())
        return;
    QMetaObject::invokeMethod(
        m_context.get(),
        [this] {
            delete m_door;
            m_door = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
}
