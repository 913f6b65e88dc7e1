#pragma once
// The logon role of the running program and its display in part 0 of the
// main window's status bar.

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

// 1 user, 2 administrator. Initially 1.
extern quint8 LogonRole;

constexpr quint8 RoleUser = 1;
constexpr quint8 RoleAdmin = 2;

// The words for the two roles, shared by the logon dialog and the main window.
extern const QString RoleWordUser;   // "User"
extern const QString RoleWordAdmin;  // "Administrator"

// Shows LogonRole: role 1 the user icon and word, role 2 the administrator
// icon and word, any other value the icon and text last shown. The display
// hook gets them queued (on the next turn of the event loop), never at once.
// Main thread.
void ShowLogonRole();

// Installs the display (the main window's status bar); it is dropped when
// Context is destroyed. A null context removes it.
void SetLogonRoleDisplay(QObject* context, std::function<void(const QIcon&, const QString&)> display);

// Installs the source of the two role icons: images 0 (user) and 1
// (administrator) of the status-bar image list. Without one the icons are
// empty. The icons are made once, at the first show after a provider exists.
void SetRoleIconProvider(std::function<QIcon(int)> provider);

// The icon and text last shown (empty before the first show).
QIcon LastShownRoleIcon();
QString LastShownRoleText();
