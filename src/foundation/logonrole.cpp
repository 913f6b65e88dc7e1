#include "foundation/logonrole.h"

#include <QCoreApplication>
#include <QPointer>

quint8 LogonRole = RoleUser;
const QString RoleWordUser = QStringLiteral("User");
const QString RoleWordAdmin = QStringLiteral("Administrator");

namespace {
struct RoleDisplay {
    QPointer<QObject> context;
    std::function<void(const QIcon&, const QString&)> display;
    std::function<QIcon(int)> iconProvider;
    bool iconsMade = false;
    QIcon userIcon;
    QIcon adminIcon;
    QIcon lastIcon;
    QString lastText;
};

RoleDisplay& State()
{
    static RoleDisplay state;
    return state;
}

// Icons must go before the application object does; the state itself lives
// until static destruction.
void DropIcons()
{
    RoleDisplay& s = State();
    s.userIcon = s.adminIcon = s.lastIcon = QIcon();
    s.iconsMade = false;
}

void MakeIcons(RoleDisplay& s)
{
    if (s.iconsMade || !s.iconProvider)
        return;
    static bool dropRegistered = false;
    if (!dropRegistered && QCoreApplication::instance()) {
        qAddPostRoutine(DropIcons);
        dropRegistered = true;
    }
    s.userIcon = s.iconProvider(0);
    s.adminIcon = s.iconProvider(1);
    s.iconsMade = true;
}
}  // namespace

void ShowLogonRole()
{
    RoleDisplay& s = State();
    MakeIcons(s);
    if (LogonRole == RoleUser) {
        s.lastIcon = s.userIcon;
        s.lastText = RoleWordUser;
    } else if (LogonRole == RoleAdmin) {
        s.lastIcon = s.adminIcon;
        s.lastText = RoleWordAdmin;
    }
    if (!s.context || !s.display)
        return;
    // Posted, not called: the status bar shows it when the main thread next
    // processes its queue. The copies belong to the queued call.
    QMetaObject::invokeMethod(
        s.context.data(), [display = s.display, icon = s.lastIcon, text = s.lastText] { display(icon, text); },
        Qt::QueuedConnection);
}

void SetLogonRoleDisplay(QObject* context, std::function<void(const QIcon&, const QString&)> display)
{
    RoleDisplay& s = State();
    s.context = context;
    s.display = context ? std::move(display) : nullptr;
}

void SetRoleIconProvider(std::function<QIcon(int)> provider)
{
    RoleDisplay& s = State();
    s.iconProvider = std::move(provider);
    s.iconsMade = false;
}

QIcon LastShownRoleIcon()
{
    return State().lastIcon;
}
QString LastShownRoleText()
{
    return State().lastText;
}
