#pragma once
// A push button that stands for an action: its caption, enabled state and
// visibility follow the action, and a click triggers it.
#include <QPushButton>

class QAction;

QPushButton* NewActionButton(QAction* action, QWidget* parent, const QString& name);
// An action with its caption and object name, added to Owner so that its
// shortcut works while the window is active.
QAction* NewWindowAction(QWidget* owner, const QString& caption, const QString& name);
