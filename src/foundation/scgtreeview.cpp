#include "foundation/scgtreeview.h"

#include <QCursor>
#include <QScrollBar>
#include <QStyle>
#include <cstdlib>

TAutoScrollStep DecideAutoScroll(int mouseY, int top, int bottom, int zone, bool canUp, bool canDown)
{
    TAutoScrollStep step;
    // Upward: near the top edge (either side) a line every 100 ms, above it
    // every 25 ms.
    if (std::abs(mouseY - top) < zone && canUp) {
        step.Up = true;
        step.Interval = TSCGTreeView::NearInterval;
    } else if (mouseY < top && canUp) {
        step.Up = true;
        step.Interval = TSCGTreeView::BeyondInterval;
    }
    // Downward, in the same tick.
    if (std::abs(mouseY - bottom) < zone && canDown) {
        step.Down = true;
        step.Interval = TSCGTreeView::NearInterval;
    } else if (mouseY > bottom && canDown) {
        step.Down = true;
        step.Interval = TSCGTreeView::BeyondInterval;
    }
    return step;
}

TSCGTreeView::TSCGTreeView(QWidget* parent)
    : QTreeWidget(parent), m_scrollZone(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this))
{
    setAutoScroll(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_scrollTimer.setInterval(NearInterval);
    connect(&m_scrollTimer, &QTimer::timeout, this, [this] { AutoScrollTick(QCursor::pos()); });
}

QRect TSCGTreeView::ScreenRect() const
{
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

void TSCGTreeView::BeginDragScroll()
{
    // Once a drag found a scroll bar, later drags keep trying (the position
    // check stops them at the ends).
    if (horizontalScrollBar()->isVisible())
        m_hasHorzScroll = true;
    if (verticalScrollBar()->isVisible())
        m_hasVertScroll = true;
    if (m_hasHorzScroll || m_hasVertScroll) {
        m_scrollTimer.setInterval(NearInterval);
        m_scrollTimer.start();
        m_cursorInside = true;
    }
}

void TSCGTreeView::EndDragScroll()
{
    m_scrollTimer.stop();
    viewport()->update();
}

void TSCGTreeView::AutoScrollTick(const QPoint& globalMouse)
{
    const QRect rect = ScreenRect();
    // Edges included: the right and bottom edge lie one pixel past the last one.
    const bool inside = globalMouse.x() >= rect.left() && globalMouse.x() <= rect.left() + rect.width() &&
                        globalMouse.y() >= rect.top() && globalMouse.y() <= rect.top() + rect.height();
    if (inside) {
        m_cursorInside = true;
    } else if (m_cursorInside) {
        m_cursorInside = false;
        viewport()->update();
        emit DropHighlightCleared();
    }
    if (!m_hasVertScroll)
        return;
    QScrollBar* bar = verticalScrollBar();
    const TAutoScrollStep step = DecideAutoScroll(globalMouse.y(), rect.top(), rect.top() + rect.height(), m_scrollZone,
                                                  bar->value() > bar->minimum(), bar->value() < bar->maximum());
    if (step.Up)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (step.Down)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (step.Interval)
        m_scrollTimer.setInterval(step.Interval);
    if (step.Up || step.Down) {
        bar->update();
        viewport()->update();
    }
}

void TSCGTreeView::startDrag(Qt::DropActions supportedActions)
{
    BeginDragScroll();
    if (m_onStartDrag)
        m_onStartDrag();
    else
        QTreeWidget::startDrag(supportedActions);
    EndDragScroll();
}

void TSCGTreeView::focusOutEvent(QFocusEvent* event)
{
    // The drop-target highlight goes with the focus.
    viewport()->update();
    QTreeWidget::focusOutEvent(event);
}
