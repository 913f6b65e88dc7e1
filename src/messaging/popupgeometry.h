#pragma once
// Where a popup starts, how it slides in and out, and its background colours:
// the arithmetic of the popup window, kept apart from the widget so it can be
// checked without a screen.
//
// Edge codes (TPopupEdge): 0 middle of the left edge, 1 middle of the right
// edge, 2 top right corner entering from above, 3 bottom right corner
// entering from below; any other value behaves as 3. The work area's right
// and bottom are exclusive (left + width, top + height).
//
// The slides follow the popup's tick of PopupTickMs: at tick n of a slide-in
// the popup moves PopupSpeed(n) pixels, so it starts slowly and speeds up; a
// slide-out counts its step down from where the slide-in left it, so the
// popup leaves fast and slows down. A place is worked out from the time
// elapsed since the slide began, never from the ticks that happened to be
// delivered, so a busy or slow event loop delays no popup on its way.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtGlobal>

constexpr int PopupTickMs = 15;

// Pixels moved at a step count.
inline int PopupSpeed(int step)
{
    return step * 3 / 11 + 1;
}

// The place just outside the work area where a popup appears: one pixel of
// it shows at its edge, and it lines up with its final place.
QPoint PopupStartPosition(int edge, const QRect& workArea, const QSize& size);
// The place where the slide-in ends, wholly inside the work area (its top
// left corner inside when the popup is larger than the work area).
QPoint PopupFinalPosition(int edge, const QRect& workArea, const QSize& size);
// The place of a slide-in from Start toward Final after ElapsedMs.
QPoint PopupSlideInPlace(const QPoint& start, const QPoint& final, qint64 elapsedMs);
// The step count a slide-in has reached after ElapsedMs.
int PopupSlideInStep(qint64 elapsedMs);
// The place of a slide-out from From away from the work area after
// ElapsedMs, starting at the step count FromStep.
QPoint PopupSlideOutPlace(int edge, const QPoint& from, int fromStep, qint64 elapsedMs);
// True once the popup has left the work area far enough to close.
bool PopupHasLeft(int edge, const QRect& workArea, const QSize& size, const QPoint& current);

// Column X of a background of Width columns: each channel of Color1 moves
// toward Color2 by X / Width (integer arithmetic). Colours are 0x00BBGGRR.
QColor PopupGradientColor(quint32 color1, quint32 color2, int x, int width);
