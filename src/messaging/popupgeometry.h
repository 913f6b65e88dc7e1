#pragma once
// Where a popup starts, how it slides in and out, and its background colours:
// the arithmetic of the popup window, kept apart from the widget so it can be
// checked without a screen.
//
// Edge codes (TPopupEdge): 0 middle of the left edge, 1 middle of the right
// edge, 2 top right corner entering from above, 3 bottom right corner
// entering from below; any other value behaves as 3. The work area's right
// and bottom are exclusive (left + width, top + height).

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtGlobal>

// Pixels moved per timer tick at a step count.
inline int PopupSpeed(int step)
{
    return step * 3 / 11 + 1;
}

// The place just outside the work area where a popup appears.
QPoint PopupStartPosition(int edge, const QRect& workArea, const QSize& size);
// The place where the slide-in ends.
QPoint PopupFinalPosition(int edge, const QRect& workArea, const QSize& size, const QPoint& current);
bool PopupAtFinalPosition(int edge, const QRect& workArea, const QSize& size, const QPoint& current);
// One slide-in move of Speed pixels toward the final place, never past it.
QPoint PopupSlideInStep(int edge, const QRect& workArea, const QSize& size, const QPoint& current, int speed);
// One slide-out move of Speed pixels away from the work area.
QPoint PopupSlideOutStep(int edge, const QPoint& current, int speed);
// True once the popup has left the work area far enough to close.
bool PopupHasLeft(int edge, const QRect& workArea, const QSize& size, const QPoint& current);

// Column X of a background of Width columns: each channel of Color1 moves
// toward Color2 by X / Width (integer arithmetic). Colours are 0x00BBGGRR.
QColor PopupGradientColor(quint32 color1, quint32 color2, int x, int width);
