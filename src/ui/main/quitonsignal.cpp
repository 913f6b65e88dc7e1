#include "ui/main/quitonsignal.h"

#include "platform/appterminate.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace {
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_pending = 0;
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnQuitSignal(int)
{
    if (g_pending)
        _exit(1);  // asked twice: the orderly way is stuck
    g_pending = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}
}  // namespace

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
    g_pending = 0;
    TerminateApplication();
}
