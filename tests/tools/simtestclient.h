#pragma once
// A small blocking client of the paging-server simulator for tests: it
// connects to 127.0.0.1, writes framed lines and reads the server's frames
// with the protocol's own cutter, keeping every raw read for wire checks.
#include "messaging/framecutter.h"
#include "messaging/protocol.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>

class TSimTestClient {
public:
    bool Connect(quint16 port)
    {
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return m_socket.waitForConnected(5000);
    }

    void SendLine(const QString& line) { SendRaw(FrameLine(line)); }
    void SendRaw(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(5000);
    }

    // Reads until Count frames have come in or the time runs out; returns
    // the frames (fewer than Count on time-out or close).
    QList<TClientRawInMessage> ReadFrames(int count, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_ready.size() < count && !deadline.hasExpired()) {
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(int(deadline.remainingTime())))
                break;
            TakeAvailable();
        }
        QList<TClientRawInMessage> out;
        while (!m_ready.isEmpty() && out.size() < count)
            out.append(m_ready.takeFirst());
        return out;
    }

    TClientRawInMessage ReadFrame(int timeoutMs = 5000)
    {
        const QList<TClientRawInMessage> one = ReadFrames(1, timeoutMs);
        return one.isEmpty() ? TClientRawInMessage(QString()) : one.first();
    }

    // True once the server has closed the connection.
    bool WaitForClose(int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            if (m_socket.bytesAvailable() == 0)
                m_socket.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
            TakeAvailable();
        }
        return m_socket.state() == QAbstractSocket::UnconnectedState;
    }

    // Every read as it came off the socket.
    const QList<QByteArray>& Chunks() const { return m_chunks; }
    QByteArray Raw() const { return m_chunks.join(); }

private:
    void TakeAvailable()
    {
        const QByteArray chunk = m_socket.readAll();
        if (chunk.isEmpty())
            return;
        m_chunks.append(chunk);
        m_cutter.Append(chunk);
        QList<TClientRawInMessage> frames;
        m_cutter.Split(frames);
        m_ready += frames;
    }

    QTcpSocket m_socket;
    TFrameCutter m_cutter;
    QList<TClientRawInMessage> m_ready;
    QList<QByteArray> m_chunks;
};
