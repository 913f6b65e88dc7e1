#include "ui/admin/pickonlycombo.h"

#include <QKeyEvent>
#include <QTimer>

void TNPickOnlyCombo::showPopup()
{
    emit DropDown();
    QComboBox::showPopup();
}

void TNPickOnlyCombo::hidePopup()
{
    QComboBox::hidePopup();
    // The picked item becomes current after the list has closed.
    QTimer::singleShot(0, this, [this] { emit CloseUp(); });
}

void TNPickOnlyCombo::keyPressEvent(QKeyEvent* event)
{
    // Alt+Down and F4 still open the list; Up and Down step the choice when
    // allowed; every other key is discarded.
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)) ||
        (arrow && m_arrowKeysChoose && event->modifiers() == Qt::NoModifier)) {
        QComboBox::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TNPickOnlyCombo::wheelEvent(QWheelEvent* event)
{
    event->accept();
}
