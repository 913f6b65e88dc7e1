// The program left alone: started as the program starts (default databases
// in a temporary program folder, the main window shown with its panes), then
// left idle. Prints the process's CPU time (all threads, user and system)
// over an idle stretch and how often the idle-time action updates ran in it.
//   bench_ui_idle [seconds]            (under X: DISPLAY=:N, else offscreen)
#include "benchutil.h"
#include "db/databasefiles.h"
#include "platform/idleupdates.h"
#include "platform/programfolder.h"
#include "ui/main/frmmain.h"
#include "ui/main/startup.h"

#include <sys/resource.h>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

namespace {
QTextStream& out = bench::Out();

// User plus system CPU time of the whole process, in milliseconds.
double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// One event-loop run of the given length, woken by nothing but its own end.
void RunLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TNApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;

    QTemporaryDir folder;
    SetProgramFolder(folder.path() + QLatin1Char('/'));
    CreateMissingDatabaseFiles(ProgramFolder());

    TApplicationStartup startup({QStringLiteral("tovix2")});
    startup.SplashMinShowMs = 0;
    startup.Start();
    if (startup.Failed() || !FormMain)
        return 1;
    FormMain->show();
    // The panes are embedded and the tree loaded at the first turns of the
    // loop; the measurement starts once that has settled.
    RunLoopFor(2000);

    const double cpuBefore = ProcessCpuMs();
    const long long runsBefore = IdleHandlerRuns();
    QElapsedTimer wall;
    wall.start();
    RunLoopFor(seconds * 1000);
    const double cpu = ProcessCpuMs() - cpuBefore;
    const double elapsed = double(wall.elapsed());

    out << "platform " << QGuiApplication::platformName() << ", idle for " << seconds << " s\n";
    out << QStringLiteral("CPU time while idle").leftJustified(52) << QString::number(cpu, 'f', 1) << " ms ("
        << QString::number(100.0 * cpu / elapsed, 'f', 2) << "% of one core)\n";
    out << QStringLiteral("idle-time update runs while idle").leftJustified(52) << (IdleHandlerRuns() - runsBefore)
        << "\n";
    out.flush();

    FormMain->close();
    startup.Shutdown();
    return 0;
}
