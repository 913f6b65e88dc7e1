#pragma once
// TSCGTreeView: the folder tree's control, a tree that scrolls itself while
// something is dragged from it and the mouse is held near or beyond its top
// or bottom edge, so that a drop can reach nodes out of view.
//
// A drag started by the tree's own startDrag runs the drag-start and
// drag-end steps by itself; code that runs a drag of its own calls
// BeginDragScroll/EndDragScroll around it. While a drag is under way a timer
// ticks (100 ms near an edge, 25 ms beyond it) and scrolls one line per
// tick; it never scrolls sideways. Qt's own drag auto-scroll is off.
// Main thread only.

#include <QTimer>
#include <QTreeWidget>
#include <functional>

// What one tick does: scroll a line up and/or down, and the timer's next
// interval (0: unchanged).
struct TAutoScrollStep {
    bool Up = false;
    bool Down = false;
    int Interval = 0;
};

// The tick's rules on screen coordinates: Top and Bottom are the tree's
// window edges, Zone the width of a vertical scroll bar; CanUp/CanDown tell
// whether the scroll position is above its minimum / below its maximum.
TAutoScrollStep DecideAutoScroll(int mouseY, int top, int bottom, int zone, bool canUp, bool canDown);

class TSCGTreeView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int NearInterval = 100;
    static constexpr int BeyondInterval = 25;

    explicit TSCGTreeView(QWidget* parent = nullptr);

    // Runs the drag instead of the tree's own (between the drag-scroll
    // start and end); an empty handler gives the tree's own back.
    void SetOnStartDrag(std::function<void()> handler) { m_onStartDrag = std::move(handler); }

    void BeginDragScroll();
    void EndDragScroll();
    // One tick with the mouse at a screen position (the timer passes the
    // cursor's position).
    void AutoScrollTick(const QPoint& globalMouse);

    int ScrollZone() const { return m_scrollZone; }
    bool HasVertScroll() const { return m_hasVertScroll; }
    bool CursorInside() const { return m_cursorInside; }
    const QTimer& ScrollTimer() const { return m_scrollTimer; }

signals:
    // The drop highlight went away (the mouse left the tree during a drag).
    void DropHighlightCleared();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The tree's window rectangle on the screen (frame included).
    QRect ScreenRect() const;

    int m_scrollZone;
    bool m_hasHorzScroll = false;
    bool m_hasVertScroll = false;
    bool m_cursorInside = false;
    QTimer m_scrollTimer;
    std::function<void()> m_onStartDrag;
};
