#include "support/lockholder.h"

#include "platform/instancelock.h"

#include <QCoreApplication>
#include <cstdio>

namespace {
constexpr int kWaitMs = 30000;
}

LockHolderProcess::~LockHolderProcess()
{
    Stop();
}

bool LockHolderProcess::Start(const QString& lockPath)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-instance-lock"), lockPath});
    if (!m_process.waitForStarted(kWaitMs))
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kWaitMs))
            return false;
    }
    return m_process.readLine().trimmed() == "locked";
}

void LockHolderProcess::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(kWaitMs);
}

void LockHolderProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kWaitMs))
        Kill();
}

int RunLockHolder(const QString& lockPath)
{
    TInstanceLock lock;
    if (lock.TryLock(lockPath) != TInstanceLockState::Held) {
        std::puts("not locked");
        return 1;
    }
    std::puts("locked");
    std::fflush(stdout);
    // Holds the lock until the parent closes the pipe.
    while (std::getchar() != EOF) {
    }
    return 0;
}
