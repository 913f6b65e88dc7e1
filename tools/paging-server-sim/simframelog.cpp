#include "simframelog.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {
QString DirectionName(TSimDirection direction)
{
    switch (direction) {
        case TSimDirection::In:
            return QStringLiteral("in");
        case TSimDirection::Out:
            return QStringLiteral("out");
        case TSimDirection::Open:
            return QStringLiteral("open");
        case TSimDirection::Close:
            return QStringLiteral("close");
    }
    return QString();
}
}  // namespace

bool TSimFrameLog::OpenFile(const QString& fileName, QString* errorText)
{
    QMutexLocker locker(&m_lock);
    m_file.close();
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (errorText)
            *errorText = m_file.errorString();
        return false;
    }
    return true;
}

void TSimFrameLog::SetMemoryLimit(int limit)
{
    QMutexLocker locker(&m_lock);
    m_limit = std::max(0, limit);
}

void TSimFrameLog::Add(int connection, TSimDirection direction, const QStringList& items)
{
    TSimFrame frame{QDateTime::currentDateTime(), connection, direction, items};
    QMutexLocker locker(&m_lock);
    if (m_file.isOpen()) {
        m_file.write(ToJsonLine(frame) + '\n');
        m_file.flush();
    }
    m_entries.append(std::move(frame));
    if (m_limit > 0 && m_entries.size() > m_limit)
        m_entries.remove(0, m_entries.size() - m_limit);
    m_changed.wakeAll();
}

QList<TSimFrame> TSimFrameLog::Entries() const
{
    QMutexLocker locker(&m_lock);
    return m_entries;
}

QList<TSimFrame> TSimFrameLog::Entries(TSimDirection direction) const
{
    QList<TSimFrame> out;
    QMutexLocker locker(&m_lock);
    for (const TSimFrame& frame : m_entries)
        if (frame.direction == direction)
            out.append(frame);
    return out;
}

bool TSimFrameLog::WaitFor(const std::function<bool(const QList<TSimFrame>&)>& test, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker locker(&m_lock);
    while (!test(m_entries))
        if (!m_changed.wait(&m_lock, deadline))
            return test(m_entries);
    return true;
}

QByteArray TSimFrameLog::ToJsonLine(const TSimFrame& frame)
{
    QJsonObject object;
    object.insert(QStringLiteral("time"), frame.time.toString(Qt::ISODateWithMs));
    object.insert(QStringLiteral("conn"), frame.connection);
    object.insert(QStringLiteral("dir"), DirectionName(frame.direction));
    object.insert(QStringLiteral("items"), QJsonArray::fromStringList(frame.items));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
