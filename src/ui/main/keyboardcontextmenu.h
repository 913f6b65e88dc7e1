#pragma once
// Shift+F10 opens the context menu of the focused control, as the Menu key
// does: the keyboard way to the pop-up menus (the folder tree's, the
// recipients list's, the message editor's) on a keyboard that has no Menu
// key. The menu opens at the control's current item or text cursor. Nothing
// happens while a pop-up menu is already open. Main thread only.

#include <QObject>

class TNKeyboardContextMenu : public QObject {
    Q_OBJECT
public:
    explicit TNKeyboardContextMenu(QObject* parent = nullptr) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs one filter on the application object for the program's life.
void InstallKeyboardContextMenu();
