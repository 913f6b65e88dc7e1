#include "platform/windowmessages.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

namespace {
constexpr int WM_TEST = WM_USER + 102;

struct Received {
    int msg;
    qint64 wParam;
    qint64 lParam;
    QString text;
    bool onMainThread;
};

class Receiver : public QObject {
public:
    explicit Receiver(std::vector<Received>* log) : m_log(log) {}
    TNWindowHandle Handle() const { return m_window.Handle(); }

protected:
    void customEvent(QEvent* e) override
    {
        if (const TNMessageEvent* m = TNMessageEvent::From(e))
            m_log->push_back({m->Msg, m->WParam, m->LParam, m->Text,
                              QThread::currentThread() == QCoreApplication::instance()->thread()});
    }

private:
    std::vector<Received>* m_log;
    TNMessageWindow m_window{this};
};

void SpinEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

TEST(WindowMessages, PostedFromAWorkerArriveOnTheMainThreadWithTheirText)
{
    std::vector<Received> log;
    Receiver receiver(&log);
    EXPECT_TRUE(IsWindow(receiver.Handle()));
    EXPECT_EQ(TNMessageEvent::TypeOf(WM_TEST), QEvent::Type(QEvent::User + 102));
    bool posted = false;
    std::thread worker([&] {
        QString text = QStringLiteral("broadcast from the server");
        posted = PostMessage(receiver.Handle(), WM_TEST, 7, -3, text);
        text.clear();  // the event holds its own copy
    });
    worker.join();
    EXPECT_TRUE(posted);
    QCoreApplication::sendPostedEvents(&receiver);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].msg, WM_TEST);
    EXPECT_EQ(log[0].wParam, 7);
    EXPECT_EQ(log[0].lParam, -3);
    EXPECT_EQ(log[0].text, "broadcast from the server");
    EXPECT_TRUE(log[0].onMainThread);

    EXPECT_FALSE(PostMessage(receiver.Handle(), WM_USER - 1, 0, 0));
    EXPECT_FALSE(PostMessage(0, WM_TEST, 0, 0));
}

TEST(WindowMessages, AWindowThatIsGoneIsNeverReached)
{
    std::vector<Received> log;
    TNWindowHandle handle = 0;
    {
        Receiver receiver(&log);
        handle = receiver.Handle();
        EXPECT_TRUE(PostMessage(handle, WM_TEST, 1, 0));  // queued, then dropped with the receiver
    }
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(PostMessage(handle, WM_TEST, 2, 0, QStringLiteral("late")));
    SpinEvents(10);
    EXPECT_TRUE(log.empty());
}

// A worker keeps posting to the newest window while the main thread makes and
// destroys windows; the sanitizers catch any event that reaches a freed one.
TEST(WindowMessages, PostsRaceWithDestructionSafely)
{
    std::vector<Received> log;
    std::atomic<TNWindowHandle> target{0};
    std::atomic<bool> stop{false};
    std::atomic<int> accepted{0};
    std::atomic<int> refused{0};
    std::thread worker([&] {
        while (!stop) {
            if (PostMessage(target, WM_TEST, 0, 0, QStringLiteral("x")))
                ++accepted;
            else
                ++refused;
        }
    });
    while (accepted + refused == 0)
        std::this_thread::yield();
    for (int round = 0; round < 2000; ++round) {
        auto receiver = std::make_unique<Receiver>(&log);
        target = receiver->Handle();
        if (round % 3 == 0)
            QCoreApplication::processEvents();
        receiver.reset();
    }
    stop = true;
    worker.join();
    QCoreApplication::processEvents();
    // Whatever arrived came to a live window on the main thread.
    for (const Received& r : log)
        EXPECT_TRUE(r.onMainThread);
}
