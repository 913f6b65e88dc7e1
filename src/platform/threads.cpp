#include "platform/threads.h"

#include <pthread.h>
#include <QtGlobal>
#include <chrono>
#include <exception>

// ------------------------------------------------------------------ TNEvent

void TNEvent::SetEvent()
{
    {
        std::lock_guard guard(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

void TNEvent::ResetEvent()
{
    std::lock_guard guard(m_mutex);
    m_set = false;
}

TWaitResult TNEvent::WaitFor(int ms)
{
    std::unique_lock lock(m_mutex);
    if (ms < 0) {
        m_changed.wait(lock, [this] { return m_set; });
        return wrSignaled;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_set; }) ? wrSignaled : wrTimeout;
}

bool TNEvent::IsSet() const
{
    std::lock_guard guard(m_mutex);
    return m_set;
}

// ----------------------------------------------------------------- TNThread

TNThread::TNThread(bool createSuspended, QString name) : m_createSuspended(createSuspended), m_name(std::move(name)) {}

TNThread::~TNThread()
{
    m_terminated = true;
    std::thread thread;
    {
        std::lock_guard guard(m_mutex);
        thread = std::move(m_thread);
    }
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();  // freed by its own body (free-on-terminate)
    else
        thread.join();
}

void TNThread::Resume()
{
    std::lock_guard guard(m_mutex);
    if (m_started)
        return;
    m_started = true;
    // The body takes m_mutex before it may free the object, so m_thread is
    // assigned before a free-on-terminate thread can delete it.
    m_thread = std::thread([this] { Run(); });
}

bool TNThread::Started() const
{
    std::lock_guard guard(m_mutex);
    return m_started;
}

bool TNThread::WaitFor(int timeoutMs)
{
    if (!Started())
        return true;
    return m_finishedEvent.WaitFor(timeoutMs) == wrSignaled;
}

QString TNThread::ExceptionText() const
{
    std::lock_guard guard(m_mutex);
    return m_exceptionText;
}

void TNThread::Run()
{
    if (!m_name.isEmpty())
        pthread_setname_np(pthread_self(), m_name.left(15).toLocal8Bit().constData());
    QString failure;
    try {
        Execute();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("unknown exception");
    }
    if (!failure.isEmpty()) {
        qWarning("Thread %s ended by an exception: %s", qPrintable(m_name), qPrintable(failure));
        std::lock_guard guard(m_mutex);
        m_exceptionText = failure;
    }
    if (m_freeOnTerminate) {
        {
            std::lock_guard guard(m_mutex);  // Resume has finished assigning m_thread
        }
        delete this;
        return;
    }
    m_finishedEvent.SetEvent();
}

void TNMultiReadExclusiveWriteSynchronizer::BeginRead()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_writing && m_waitingWriters == 0; });
    ++m_readers;
}

void TNMultiReadExclusiveWriteSynchronizer::EndRead()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_readers == 0)
        m_changed.notify_all();
}

void TNMultiReadExclusiveWriteSynchronizer::BeginWrite()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waitingWriters;
    m_changed.wait(lock, [this] { return !m_writing && m_readers == 0; });
    --m_waitingWriters;
    m_writing = true;
}

void TNMultiReadExclusiveWriteSynchronizer::EndWrite()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writing = false;
    m_changed.notify_all();
}
