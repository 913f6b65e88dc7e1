// The one-copy lock between two processes: a copy running from the folder
// keeps the next one out, one that ended in any way (a crash included) does
// not, and a folder that cannot hold the file falls back elsewhere.
#include "platform/instancelock.h"
#include "support/lockholder.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QFile>

TEST(InstanceLock, AnotherRunningCopyKeepsTheLockUntilItEndsEvenByACrash)
{
    TempFolder folder;
    const QString path = InstanceLockPath(folder.Path());
    EXPECT_EQ(path, folder.File(QStringLiteral("Tovix2.lock")));
    {
        LockHolderProcess other;
        ASSERT_TRUE(other.Start(path));
        TInstanceLock lock;
        EXPECT_EQ(lock.TryLock(path), TInstanceLockState::HeldElsewhere);
        EXPECT_FALSE(lock.Held());
        other.Kill();
        // The crashed copy left its file behind; the lock went with it.
        EXPECT_TRUE(QFile::exists(path));
        EXPECT_EQ(lock.TryLock(path), TInstanceLockState::Held);
        // Now this copy keeps another process out, until it lets go.
        LockHolderProcess next;
        EXPECT_FALSE(next.Start(path));
        next.Stop();
        lock.Release();
        LockHolderProcess last;
        EXPECT_TRUE(last.Start(path));
    }
}

TEST(InstanceLock, AFolderThatCannotHoldTheFileFallsBackToOnePathPerFolder)
{
    TInstanceLock lock;
    EXPECT_EQ(lock.TryLock(QStringLiteral("/nonexistent-folder/Tovix2.lock")), TInstanceLockState::Unavailable);
    const QString one = FallbackInstanceLockPath(QStringLiteral("/opt/tovix"));
    EXPECT_EQ(one, FallbackInstanceLockPath(QStringLiteral("/opt/tovix/")));
    EXPECT_NE(one, FallbackInstanceLockPath(QStringLiteral("/opt/tovix-other")));
    EXPECT_EQ(lock.TryLock(one), TInstanceLockState::Held);
    QFile::remove(one);
}
