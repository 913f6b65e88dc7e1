#pragma once
// Small helpers the benchmark programs share: a timing line and the memory
// figures of /proc/self/status.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTextStream>

namespace bench {

inline QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

// One line: the label, padded, then the elapsed milliseconds.
inline void Report(const char* what, const QElapsedTimer& timer)
{
    Out() << QString::fromLatin1(what).leftJustified(52) << QString::number(timer.nsecsElapsed() / 1e6, 'f', 1)
          << " ms\n";
    Out().flush();
}

// A "Vm...:" figure of /proc/self/status in KB ("VmHWM" peak, "VmRSS" now);
// the key may be given with or without its colon. -1 when it cannot be read.
inline long MemoryKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    QByteArray prefix(key);
    if (!prefix.endsWith(':'))
        prefix += ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace bench
