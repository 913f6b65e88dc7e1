#pragma once
// Controls of the options dialog bound to options of the store: a check box
// sets its option to its checked state on every click, an edit sets its text
// option on every change. Main thread only; needs the option store.

#include <QString>
#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
class QObject;
class QPushButton;
class QWidget;
class TNOption;

TNOption* BoundOption(const char* name);

QCheckBox* BoundCheckBox(QWidget* parent, const char* objectName, const QString& caption, const char* option);
QLineEdit* BoundEdit(QWidget* parent, const char* objectName, const char* option);

// An action of the dialog that runs Run when triggered.
QAction* DialogAction(QObject* owner, const char* objectName, const QString& caption, std::function<void()> run);

// A button captioned like the action that runs it and is enabled while the
// action is.
QPushButton* ActionButton(QWidget* parent, const char* objectName, QAction* action);
