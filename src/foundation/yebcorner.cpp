#include "foundation/yebcorner.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

TYebCorner::TYebCorner(QWidget* parent) : QWidget(parent)
{
    setFixedSize(GripSize, GripSize);
    setCursor(Qt::SizeFDiagCursor);
    if (parent)
        parent->installEventFilter(this);
    lower();
    Reposition();
}

void TYebCorner::FindForm()
{
    QWidget* top = parentWidget() ? parentWidget()->window() : nullptr;
    QWidget* form = top && top->isWindow() ? top : nullptr;
    if (form == m_form)
        return;
    if (m_watchedForm && m_watchedForm != parentWidget())
        m_watchedForm->removeEventFilter(this);
    m_form = form;
    m_watchedForm = form;
    // The window's state changes (maximise, restore) decide the visibility too.
    if (form && form != parentWidget())
        form->installEventFilter(this);
}

bool TYebCorner::ShouldBeHidden() const
{
    const QWidget* parent = parentWidget();
    if (parent) {
        if (parent->maximumHeight() < QWIDGETSIZE_MAX && parent->maximumHeight() <= parent->height())
            return true;
        if (parent->maximumWidth() < QWIDGETSIZE_MAX && parent->maximumWidth() <= parent->width())
            return true;
    }
    return m_form && m_form->isMaximized();
}

void TYebCorner::Reposition()
{
    FindForm();
    if (QWidget* parent = parentWidget())
        move(parent->contentsRect().right() + 1 - GripSize, parent->contentsRect().bottom() + 1 - GripSize);
    setVisible(!ShouldBeHidden());
}

bool TYebCorner::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize || type == QEvent::WindowStateChange || type == QEvent::ParentChange ||
        (watched == parentWidget() && type == QEvent::Show))
        Reposition();
    return QWidget::eventFilter(watched, event);
}

void TYebCorner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    // Three raised diagonal ridges, 5 pixels apart, towards the corner.
    for (int offset = 0; offset < 15; offset += 5) {
        painter.setPen(light);
        painter.drawLine(offset + 1, GripSize - 1, GripSize - 1, offset + 1);
        painter.setPen(dark);
        painter.drawLine(offset + 2, GripSize - 1, GripSize - 1, offset + 2);
    }
}

void TYebCorner::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_form) {
        QWidget::mousePressEvent(event);
        return;
    }
    QWindow* window = m_form->windowHandle();
    if (window && window->startSystemResize(Qt::BottomEdge | Qt::RightEdge))
        return;
    m_sizing = true;
    m_pressGlobal = event->globalPosition().toPoint();
    m_pressSize = m_form->size();
}

void TYebCorner::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_sizing || !m_form) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - m_pressGlobal;
    m_form->resize(m_pressSize + QSize(delta.x(), delta.y()));
}

void TYebCorner::mouseReleaseEvent(QMouseEvent* event)
{
    m_sizing = false;
    QWidget::mouseReleaseEvent(event);
}
