#include "platform/closereport.h"

#include "platform/messagedlg.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace {
struct TCloseStep {
    QPointer<QObject> owner;
    std::function<void()> step;
};

std::vector<TCloseStep>& Steps()
{
    static std::vector<TCloseStep> steps;
    return steps;
}

// Guards the fields below: failures come from worker threads too.
std::mutex g_lock;
// A report exists; until it is told its texts are gathered.
bool g_reportOpen = false;
bool g_told = false;
QStringList g_texts;
// Texts waiting for the event loop to show them.
QStringList g_queued;

void WriteToStandardError(const QString& text)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    std::fflush(stderr);
}

bool OnMainThread(QCoreApplication* app)
{
    return app && QThread::currentThread() == app->thread();
}
}  // namespace

void OnProgramClose(QObject* owner, std::function<void()> step)
{
    std::erase_if(Steps(), [](const TCloseStep& entry) { return !entry.owner; });
    Steps().push_back({owner, std::move(step)});
}

void RunCloseSteps()
{
    // A step may register another (a window it opens): taken one at a time.
    while (!Steps().empty()) {
        TCloseStep entry = std::move(Steps().back());
        Steps().pop_back();
        if (!entry.owner)
            continue;
        try {
            entry.step();
        } catch (const std::exception& e) {
            ReportCloseFailure(QString::fromUtf8(e.what()));
        } catch (...) {
            ReportCloseFailure(QStringLiteral("Unknown error while the program closed."));
        }
    }
}

void ReportCloseFailure(const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_reportOpen && !g_told) {
            if (!g_texts.contains(text))
                g_texts << text;
            return;
        }
        if (!g_reportOpen && OnMainThread(app) && !QCoreApplication::closingDown()) {
            if (g_queued.contains(text))
                return;
            g_queued << text;
        } else {
            app = nullptr;
        }
    }
    if (!app) {
        WriteToStandardError(text);
        return;
    }
    // Shown from the loop, after the destructor (or whatever called) is through.
    QMetaObject::invokeMethod(
        app,
        [text] {
            {
                std::lock_guard<std::mutex> guard(g_lock);
                g_queued.removeOne(text);
            }
            MessageDlg(text, TMsgDlgType::mtError, mbOK);
        },
        Qt::QueuedConnection);
}

TCloseReport::TCloseReport()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_reportOpen = true;
    g_told = false;
    g_texts.clear();
}

TCloseReport::~TCloseReport()
{
    try {
        Tell(false);
    } catch (...) {
    }
    std::lock_guard<std::mutex> guard(g_lock);
    g_reportOpen = false;
    g_texts.clear();
}

QStringList TCloseReport::Texts() const
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_texts;
}

void TCloseReport::Tell(bool windowsCanShow)
{
    QStringList texts;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_told)
            return;
        // From here on each failure is told as it comes, on standard error.
        g_told = true;
        texts.swap(g_texts);
    }
    if (texts.isEmpty())
        return;
    const QString text = texts.join(QStringLiteral("\n\n"));
    if (windowsCanShow && OnMainThread(QCoreApplication::instance()))
        MessageDlg(text, TMsgDlgType::mtError, mbOK);
    else
        WriteToStandardError(text);
}
