// The floor of the send path: a minimal stop-and-wait client, with no
// database, that logs on to the simulator on loopback and sends N MESSAGE
// frames one at a time, each after the previous one was accepted. The
// simulator acknowledges and reports at once. Prints rows per second for
// acceptance and for completion (every report in), and the peak memory.
//   bench_protocol_floor [rows]      (default 10000)
#include "messaging/framecutter.h"
#include "messaging/protocol.h"
#include "pagingserversim.h"
#include "platform/tcpsocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {
// Peak resident memory of this process in KiB (VmHWM), or -1.
long PeakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

class FloorClient {
public:
    bool Connect(quint16 port) { return m_socket.Connect(QStringLiteral("127.0.0.1"), port, 5000); }
    bool Send(const QString& line) { return m_socket.SendAll(FrameLine(line)); }

    // Reads until a frame of Kind arrives; counts the reports seen meanwhile.
    bool WaitFor(TReplyKind kind)
    {
        for (;;) {
            while (!m_ready.isEmpty()) {
                const TClientRawInMessage frame = m_ready.takeFirst();
                if (frame.Kind == rkMessageSent || frame.Kind == rkMessageSendError)
                    ++m_reports;
                if (frame.Kind == kind)
                    return true;
            }
            if (m_socket.WaitForData(5000) != TNTcpSocket::TWaitResult::wrData)
                return false;
            const qint64 n = m_socket.Receive(m_buffer, sizeof m_buffer);
            if (n <= 0)
                return false;
            m_cutter.Append(QByteArrayView(m_buffer, n));
            QList<TClientRawInMessage> frames;
            m_cutter.Split(frames);
            m_ready += frames;
        }
    }

    int Reports() const { return m_reports; }

private:
    TNTcpSocket m_socket;
    TFrameCutter m_cutter;
    QList<TClientRawInMessage> m_ready;
    char m_buffer[2048];
    int m_reports = 0;
};
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;

    TSimOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    TPagingServerSim sim(options);
    QString error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    FloorClient client;
    if (!client.Connect(sim.Port()) ||
        !client.Send(LogonLine(QStringLiteral("{00000000-0000-0000-0000-000000000001}"))) ||
        !client.WaitFor(rkLogonOk)) {
        std::fprintf(stderr, "logon failed\n");
        return 1;
    }

    const long memoryBefore = PeakMemoryKiB();
    QElapsedTimer timer;
    timer.start();
    for (int id = 1; id <= rows; ++id) {
        const QString line = MessageLine(id, 6, QStringLiteral("relay.example,25"), QStringLiteral("5551234"),
                                         QStringLiteral("Bench message number ") + QString::number(id));
        if (!client.Send(line) || !client.WaitFor(rkMessageAccepted)) {
            std::fprintf(stderr, "row %d was not accepted\n", id);
            return 1;
        }
    }
    const qint64 acceptedMs = std::max<qint64>(1, timer.elapsed());
    while (client.Reports() < rows)
        if (!client.WaitFor(rkMessageSent)) {
            std::fprintf(stderr, "only %d reports arrived\n", client.Reports());
            return 1;
        }
    const qint64 completedMs = std::max<qint64>(1, timer.elapsed());

    std::printf("stop-and-wait floor, %d rows on loopback\n", rows);
    std::printf("  accepted:  %lld ms, %.0f rows/s\n", static_cast<long long>(acceptedMs), rows * 1000.0 / acceptedMs);
    std::printf("  completed: %lld ms, %.0f rows/s\n", static_cast<long long>(completedMs),
                rows * 1000.0 / completedMs);
    std::printf("  peak memory: %ld KiB before, %ld KiB after (simulator log included)\n", memoryBefore,
                PeakMemoryKiB());
    return 0;
}
