#include "data/doorexchange.h"

#include "data/dataerror.h"
#include "platform/idleupdates.h"

TDoorExchange::TDoorExchange(TMode mode, QObject* parent)
    : QObject(parent), m_mode(mode), m_connection(std::make_unique<TRemoteDataConnection>())
{
}

TDoorExchange::~TDoorExchange()
{
    m_connection->Cancel();
    if (m_worker.joinable())
        m_worker.join();
}

void TDoorExchange::Cancel()
{
    m_cancelled = true;
    m_connection->Cancel();
}

void TDoorExchange::Talk(TTalk talk, std::function<void()> heard)
{
    if (m_talking || m_queued)
        throw EDataError(QStringLiteral("From TDoorExchange.Talk() - A talk is running"));
    m_heard = std::move(heard);
    if (m_mode == TMode::Threaded) {
        if (m_worker.joinable())
            m_worker.join();
        m_talking = true;
        emit TalkingChanged(true);
        m_worker = std::thread([this, talk = std::move(talk)] {
            talk(*m_connection);
            QMetaObject::invokeMethod(this, &TDoorExchange::TalkEnded, Qt::QueuedConnection);
        });
        return;
    }
    m_talk = std::move(talk);
    m_queued = true;
    if (m_driving)
        return;  // the loop below runs it once the caller's Heard returns
    m_driving = true;
    while (m_queued) {
        m_queued = false;
        const TTalk next = std::move(m_talk);
        const std::function<void()> then = std::move(m_heard);
        next(*m_connection);
        then();
    }
    m_driving = false;
}

void TDoorExchange::TalkEnded()
{
    m_worker.join();
    m_talking = false;
    // The end arrives as a queued call, which the idle-time action updates
    // do not count: without this, Apply Updates stayed enabled after its
    // apply until the next key or click.
    NoteIdleActivity();
    emit TalkingChanged(false);
    const std::function<void()> then = std::move(m_heard);
    m_heard = nullptr;
    then();
}
