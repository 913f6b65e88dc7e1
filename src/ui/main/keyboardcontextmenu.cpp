#include "ui/main/keyboardcontextmenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

bool TNKeyboardContextMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
        return false;
    QWidget* target = QApplication::focusWidget();
    if (QApplication::activePopupWidget() || !target || !target->isEnabled())
        return false;
    // Where the Menu key puts it: the control's current item or cursor.
    QRect at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    if (!at.isValid())
        at = target->rect();
    const QPoint pos = at.center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos), Qt::NoModifier);
    QCoreApplication::sendEvent(target, &menu);
    return true;
}

void InstallKeyboardContextMenu()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(new TNKeyboardContextMenu(app));
}
