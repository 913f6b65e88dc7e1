#pragma once
// The program's start-up and shut-down.
//
// Start: a second copy started while one runs from the same program folder
// says "Tovix 2 is already running." and ends (Run returns 0) before it
// touches a database or a settings file; otherwise the automation switch, the
// help file, the splash (at least
// SplashMinShowMs, not when started with "-Embedding"), the title "Tovix 2",
// the window-placement file, then the long-lived modules in their fixed
// order; the splash is released. Run: the main window is shown and the one
// event loop runs; closing the main window ends it, and so does a request to
// end the program made before the loop started (it ends at the first turn).
// Shutdown: within a few seconds whatever the databases do; the sending of
// messages stops, everything the windows and modules keep is stored while
// the windows still stand ("FormSettings.ini", the open folders, caches,
// "Settings.ini"), what failed is told once, then the modules are destroyed
// in reverse order of creation and "FormSettings.ini" is closed after the
// last window.
// An error raised while the modules are created (a database error, an
// address book of an unregistered type) stops the start-up: its text is shown
// in an error box, no window is shown, the modules made so far are destroyed
// in order and Run returns 1.
// Main thread only; needs the application object.

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/instancelock.h"

class QObject;
class TDModOptions;
class TFormAbout;
class TFormSettingsFile;

// The options data module while it exists.
extern TDModOptions* DModOptions;

class TApplicationStartup {
public:
    explicit TApplicationStartup(const QStringList& arguments);
    ~TApplicationStartup();
    TApplicationStartup(const TApplicationStartup&) = delete;
    TApplicationStartup& operator=(const TApplicationStartup&) = delete;

    quint32 SplashMinShowMs = 3000;

    void Start();
    // Returns the event loop's exit code; 1 without a loop when the start-up
    // failed.
    int Run();
    // True when an error stopped the start-up.
    bool Failed() const { return m_failed; }
    // True when another copy of the program holds the program folder.
    bool AlreadyRunning() const { return m_alreadyRunning; }
    // Stops the sending of messages (bounded), stores what the windows and
    // modules keep while every window stands, tells what failed once (a box,
    // or standard error when no window can be shown), then destroys the
    // modules. Database waits are bounded meanwhile.
    void Shutdown();
    // True after a shut-down whose threads did not stop in time: the modules
    // were left alone and the process must end at once.
    bool EndsAtOnce() const { return m_threadsLeft; }

    // Tests follow the creation and destruction of the modules: "create
    // <class>", "destroy <class>", "open FormSettings.ini", "close FormSettings.ini".
    static void SetTrace(std::function<void(const QString&)> trace);

private:
    template <class T>
    T* Create();
    bool TakeInstanceLock();

    QStringList m_arguments;
    // Held from the start to the end of the shut-down.
    TInstanceLock m_instanceLock;
    std::unique_ptr<TFormSettingsFile> m_formSettings;
    // Owned modules in order of creation.
    std::vector<std::pair<QString, std::unique_ptr<QObject>>> m_modules;
    QPointer<TFormAbout> m_splash;
    bool m_started = false;
    bool m_failed = false;
    bool m_alreadyRunning = false;
    bool m_shutDown = false;
    bool m_threadsLeft = false;
};

// The application object of the program. An error that an event handler
// raises and does not catch would otherwise leave the event loop and end the
// process; here it is shown in an error box and the loop goes on.
class TNApplication : public QApplication {
public:
    TNApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Delivers one event through Deliver; an error it raises is shown to the
// operator in an error box (its own text) and the event counts as not
// handled. While such a box is up, a further error (say, from the repaint of
// the window behind it) is only logged, so boxes do not pile up.
bool DeliverShowingErrors(const std::function<bool()>& deliver);

// The program: application object, real message boxes, start-up, loop,
// shut-down. RegisterPlugins runs once the message boxes exist, before any
// module. Returns the process exit code.
int RunApplication(int argc, char** argv, const std::function<void()>& registerPlugins = {});
