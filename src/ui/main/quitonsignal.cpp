#include "ui/main/quitonsignal.h"

#include "platform/appterminate.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QSocketNotifier>
#include <csignal>
#include <ctime>

namespace {
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_pending = 0;
volatile std::sig_atomic_t g_firstSecond = 0;  // monotonic second of the pending request
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// A second request this many seconds after the first means the orderly way is
// stuck. Sooner ones are the same request arriving twice (a tool such as
// timeout signals both the process and its group).
constexpr long kStuckAfterSeconds = 5;

long MonotonicSecond()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
    return static_cast<long>(now.tv_sec);
}

extern "C" void OnQuitSignal(int)
{
    if (g_pending) {
        if (MonotonicSecond() - g_firstSecond >= kStuckAfterSeconds)
            _exit(1);
        return;
    }
    g_pending = 1;
    g_firstSecond = static_cast<std::sig_atomic_t>(MonotonicSecond());
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}
}  // namespace

bool QuitSignalArrived()
{
    return g_pending != 0;
}

TQuitOnSignal::TQuitOnSignal(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TQuitOnSignal::SignalArrived);
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
}

TQuitOnSignal::~TQuitOnSignal()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    for (int sig : kSignals)
        std::signal(sig, SIG_DFL);
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    g_pending = 0;
}

void TQuitOnSignal::SignalArrived()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_pipe[0], &byte, 1);
    // The request stays pending for the rest of the run, so a much later
    // second one can still tell that shut-down is stuck.
    TerminateApplication();
    // Before the event loop runs the queued quit waits for it, so a box of
    // the start-up would hold the program up: close it as cancelled, and
    // any that opens on the way out.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool TQuitOnSignal::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isModal())
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
