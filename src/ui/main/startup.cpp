#include "ui/main/startup.h"

#include "data/dmlocaldata.h"
#include "data/dmmaintenance.h"
#include "db/connection.h"
#include "foundation/dmoptions.h"
#include "foundation/formsettings.h"
#include "foundation/helpfile.h"
#include "foundation/images.h"
#include "foundation/messagebox.h"
#include "messaging/formhidden.h"
#include "messaging/popupwin.h"
#include "messaging/sendoutbox.h"
#include "platform/appterminate.h"
#include "platform/closereport.h"
#include "platform/durablefile.h"
#include "platform/messagedlg.h"
#include "platform/programfolder.h"
#include "platform/versioninfo.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmmain.h"
#include "ui/main/keyboardcontextmenu.h"
#include "ui/main/quitonsignal.h"

#include <QApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>

TDModOptions* DModOptions = nullptr;

namespace {
bool g_showingError = false;

// How long the close waits for another program's lock on a database file,
// and for the threads of the sending of messages, at the most.
constexpr int kCloseDatabaseWaitMs = 2000;
constexpr int kCloseThreadsWaitMs = 3000;

// A box can be answered: a window system is there and no signal (a session
// log-out, Ctrl+C) ended the program.
bool WindowsCanShow()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) && !QuitSignalArrived();
}

// The text of an error as the operator sees it: the error's own text, ended
// with a full stop as the class library's exception box does.
QString ErrorText(const char* what)
{
    QString text = QString::fromUtf8(what);
    if (!text.isEmpty() && text.back() > u'.')
        text += u'.';
    return text;
}

// Shows one error box at a time on the main thread; anything else is logged.
void ShowError(const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (g_showingError || !app || QThread::currentThread() != app->thread()) {
        qWarning("%s", qUtf8Printable(text));
        return;
    }
    g_showingError = true;
    try {
        MessageDlg(text, TMsgDlgType::mtError, mbOK);
    } catch (...) {
        qWarning("%s", qUtf8Printable(text));
    }
    g_showingError = false;
}

std::function<void(const QString&)>& Trace()
{
    static std::function<void(const QString&)> trace;
    return trace;
}

void Note(const QString& text)
{
    if (Trace())
        Trace()(text);
}
}  // namespace

void TApplicationStartup::SetTrace(std::function<void(const QString&)> trace)
{
    Trace() = std::move(trace);
}

TApplicationStartup::TApplicationStartup(const QStringList& arguments) : m_arguments(arguments) {}

TApplicationStartup::~TApplicationStartup()
{
    Shutdown();
}

template <class T>
T* TApplicationStartup::Create()
{
    auto object = std::make_unique<T>();
    T* raw = object.get();
    const QString name = QString::fromLatin1(T::staticMetaObject.className());
    m_modules.emplace_back(name, std::move(object));
    Note(QStringLiteral("create ") + name);
    return raw;
}

void TApplicationStartup::Start()
{
    if (m_started)
        return;
    m_started = true;
    ResetTerminateRequest();
    // Under a file size limit a save that meets it fails and is told, the
    // old file whole, instead of the program dying halfway through it.
    IgnoreFileSizeSignal();
    // The caption of every box, this start's first one included.
    QApplication::setApplicationName(QStringLiteral("Tovix 2"));
    // Before anything opens a database: compacting it at start-up would fail
    // on the files the running copy has open.
    if (!TakeInstanceLock()) {
        m_alreadyRunning = true;
        Note(QStringLiteral("already running"));
        MessageDlg(QStringLiteral("Tovix 2 is already running."), TMsgDlgType::mtInformation, mbOK);
        return;
    }
    // Before any window: the live links, the received reports and the
    // dispatcher (suspended until the first send).
    StartMessaging();
    SetStartedAsComServer(CommandLineHasEmbedding(m_arguments));
    // The main window carries the task-bar button: Qt gives every top-level
    // window its own, so nothing is needed for that.
    SetHelpFile(ProgramFolder() + QStringLiteral("Help.chm"));
    ShowSplash(SplashMinShowMs, false);
    m_splash = FormAbout;

    // Before the first window: every window keeps its placement there.
    m_formSettings = std::make_unique<TFormSettingsFile>();
    Note(QStringLiteral("open FormSettings.ini"));

    // The long-lived modules, in this order; each later step may use the
    // ones before it. An error stops the start-up: it is shown, and the
    // modules made so far go again at shut-down.
    QString error;
    try {
        DModOptions = Create<TDModOptions>();
        // Sets DModLocalData; a missing database file is reported there and
        // ends the program at the first turn of the loop.
        Create<TDModLocalData>();
        TFormMain* main = Create<TFormMain>();
        QObject::connect(main, &TFormMain::Closed, main, [] { TerminateApplication(); });
        // Sets FormHidden, the receiver of the worker threads' messages.
        Create<TFormHidden>();
        Create<TDataModuleImages>();
        // Last; sets DModMaintenance. After a missing database file it opens
        // nothing.
        Create<TDModMaintenance>();
    } catch (const std::exception& e) {
        error = ErrorText(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown error.");
    }

    HideSplash();
    // What the last run left in the out-box this start emptied.
    if (error.isEmpty() && DModMaintenance) {
        const QString notice = DModMaintenance->TakeStartNotice();
        if (!notice.isEmpty())
            MessageDlg(notice, TMsgDlgType::mtWarning, mbOK);
    }
    if (!error.isEmpty()) {
        m_failed = true;
        // The splash stays on top: it goes before the box.
        delete m_splash.data();
        Note(QStringLiteral("start-up failed"));
        ShowError(error);
        TerminateApplication();
    }
}

bool TApplicationStartup::TakeInstanceLock()
{
    // A program folder that cannot hold the lock file (read-only, say) locks
    // in the user's runtime folder instead; when neither can, the program
    // starts rather than keep the operator out.
    const QString folder = ProgramFolder();
    TInstanceLockState state = m_instanceLock.TryLock(InstanceLockPath(folder));
    if (state == TInstanceLockState::Unavailable)
        state = m_instanceLock.TryLock(FallbackInstanceLockPath(folder));
    return state != TInstanceLockState::HeldElsewhere;
}

int TApplicationStartup::Run()
{
    if (m_alreadyRunning)
        return 0;
    if (m_failed)
        return 1;
    if (!FormMain)
        return 0;
    FormMain->show();
    // A request to end made before the loop ran (its queued quit may already
    // have been swallowed by an earlier processEvents) ends the loop at its
    // first turn.
    if (TerminateRequested())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return QApplication::exec();
}

void TApplicationStartup::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // What fails from here on is gathered and told once, before any window
    // goes; nothing is told from a destructor.
    TCloseReport report;
    // Whatever another program does with a database file (a lock held, a
    // full disk), the close waits for it only so long.
    LimitDatabaseWaits(kCloseDatabaseWaitMs);
    // The dispatcher, the processor and every link stop and are joined while
    // the modules their threads use still exist; what their threads could
    // not log is named.
    m_threadsLeft = !StopMessaging(kCloseThreadsWaitMs);
    // Notices the threads posted that were not shown yet would come up
    // behind the box below; what they tell of the close is in the report.
    if (FormHidden)
        QCoreApplication::removePostedEvents(FormHidden);
    if (m_threadsLeft)
        ReportCloseFailure(
            QStringLiteral("The sending of messages did not stop in time; the program ends without "
                           "waiting for it."));
    // While every window stands: placements, the open folders, the caches
    // of shared books and the options, then the placement file once more.
    RunCloseSteps();
    if (m_formSettings)
        m_formSettings->Flush();
    report.Tell(WindowsCanShow());
    // Popups the box's loop brought up (notices the threads posted before
    // they stopped) go with the rest.
    FreeAllPopupWins();
    if (m_threadsLeft) {
        // A thread still uses the modules: they are not destroyed under it;
        // the caller ends the process at once (EndsAtOnce).
        m_instanceLock.Release();
        return;
    }
    // Reverse order of creation: the options data module (writing
    // "Settings.ini") goes last.
    while (!m_modules.empty()) {
        auto entry = std::move(m_modules.back());
        m_modules.pop_back();
        if (entry.second.get() == DModOptions)
            DModOptions = nullptr;
        entry.second.reset();
        Note(QStringLiteral("destroy ") + entry.first);
    }
    // A splash still up (the program ended before its time was over).
    delete m_splash.data();
    // After the last window: flush and close the placement file.
    if (m_formSettings) {
        m_formSettings.reset();
        Note(QStringLiteral("close FormSettings.ini"));
    }
    ResetDatabaseWaits();
    m_instanceLock.Release();
}

TNApplication::TNApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TNApplication::notify(QObject* receiver, QEvent* event)
{
    return DeliverShowingErrors([&] { return QApplication::notify(receiver, event); });
}

bool DeliverShowingErrors(const std::function<bool()>& deliver)
{
    QString text;
    try {
        return deliver();
    } catch (const std::exception& e) {
        text = ErrorText(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error.");
    }
    ShowError(text);
    return false;
}

int RunApplication(int argc, char** argv, const std::function<void()>& registerPlugins)
{
    TNApplication app(argc, argv);
    InstallWidgetMessageBoxes();
    InstallKeyboardContextMenu();
    // Registration may warn (a duplicate type number): after the message
    // boxes exist, before any module or window.
    if (registerPlugins)
        registerPlugins();
    // A session log-out or Ctrl+C ends the program like a close does.
    TQuitOnSignal quitOnSignal;
    int code = 0;
    {
        TApplicationStartup startup(QApplication::arguments());
        startup.Start();
        code = startup.Run();
        startup.Shutdown();
        if (startup.EndsAtOnce()) {
            // Ends the process with the threads that did not stop, without
            // destroying what they use (everything that was to be kept is
            // written and the failures are told).
            std::fflush(nullptr);
            std::_Exit(code);
        }
    }
    return code;
}
