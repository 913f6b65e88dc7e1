#pragma once
// The simulator's record of its conversations: every frame received and
// sent, and every connection opened and closed, in order. Kept in memory for
// tests and, when a file is named, appended to it as JSON lines:
//   {"conn":1,"dir":"in","items":["LOGON","{...}",""],"time":"2026-12-07T10:15:00.123"}
// "dir" is "in" (received), "out" (sent), "open" or "close".
// Thread-safe: the server thread writes, any thread reads and waits.

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QWaitCondition>
#include <functional>

enum class TSimDirection { In, Out, Open, Close };

struct TSimFrame {
    QDateTime time;
    int connection = 0;
    TSimDirection direction = TSimDirection::In;
    QStringList items;

    QString Word() const { return items.value(0); }
};

class TSimFrameLog {
public:
    TSimFrameLog() = default;
    TSimFrameLog(const TSimFrameLog&) = delete;
    TSimFrameLog& operator=(const TSimFrameLog&) = delete;

    // Opens (appends to) the log file; false when it cannot be written.
    bool OpenFile(const QString& fileName, QString* errorText);
    // Keeps at most Limit entries in memory, dropping the oldest; 0: all.
    void SetMemoryLimit(int limit);
    void Add(int connection, TSimDirection direction, const QStringList& items = {});

    QList<TSimFrame> Entries() const;
    // Only the entries of one direction.
    QList<TSimFrame> Entries(TSimDirection direction) const;

    // Waits until Test holds for the entries (checked at once and after every
    // new entry); false when TimeoutMs ran out first.
    bool WaitFor(const std::function<bool(const QList<TSimFrame>&)>& test, int timeoutMs) const;

    // One entry as its JSON line (without the line break).
    static QByteArray ToJsonLine(const TSimFrame& frame);

private:
    mutable QMutex m_lock;
    mutable QWaitCondition m_changed;
    QList<TSimFrame> m_entries;
    int m_limit = 0;
    QFile m_file;
};
