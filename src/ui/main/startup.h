#pragma once
// The program's start-up and shut-down.
//
// Start: the automation switch, the help file, the splash (at least
// SplashMinShowMs, not when started with "-Embedding"), the title "Tovix 2",
// the window-placement file, then the long-lived modules in their fixed
// order; the splash is released. Run: the main window is shown and the one
// event loop runs; closing the main window ends it, and so does a request to
// end the program made before the loop started (it ends at the first turn).
// Shutdown: the modules are destroyed in reverse order of creation (the
// options data module last, which writes "Settings.ini"), then
// "FormSettings.ini" is flushed and closed after the last window.
// Main thread only; needs the application object.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

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
    // Returns the event loop's exit code.
    int Run();
    void Shutdown();

    // Tests follow the creation and destruction of the modules: "create
    // <class>", "destroy <class>", "open FormSettings.ini", "close FormSettings.ini".
    static void SetTrace(std::function<void(const QString&)> trace);

private:
    template <class T>
    T* Create();

    QStringList m_arguments;
    std::unique_ptr<TFormSettingsFile> m_formSettings;
    // Owned modules in order of creation.
    std::vector<std::pair<QString, std::unique_ptr<QObject>>> m_modules;
    QPointer<TFormAbout> m_splash;
    bool m_started = false;
    bool m_shutDown = false;
};

// The program: application object, real message boxes, start-up, loop,
// shut-down. RegisterPlugins runs once the message boxes exist, before any
// module. Returns the process exit code.
int RunApplication(int argc, char** argv, const std::function<void()>& registerPlugins = {});
