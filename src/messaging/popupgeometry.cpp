#include "messaging/popupgeometry.h"

#include <algorithm>

namespace {
int Right(const QRect& r)
{
    return r.x() + r.width();
}

int Bottom(const QRect& r)
{
    return r.y() + r.height();
}

int Normal(int edge)
{
    return edge >= 0 && edge <= 3 ? edge : 3;
}

// Pixels covered by the first Ticks ticks of a slide-in, stopping once
// Limit is reached.
int SlideInDistance(qint64 ticks, int limit)
{
    int distance = 0;
    for (qint64 step = 1; step <= ticks && distance < limit; ++step)
        distance += PopupSpeed(int(step));
    return std::min(distance, limit);
}

// Pixels covered by the first Ticks ticks of a slide-out from FromStep (the
// step counts down to 0 and stays there), stopping once Limit is reached.
int SlideOutDistance(int fromStep, qint64 ticks, int limit)
{
    int distance = 0;
    for (qint64 tick = 1; tick <= ticks && distance < limit; ++tick)
        distance += PopupSpeed(int(std::max<qint64>(fromStep - tick, 0)));
    return std::min(distance, limit);
}

// Moves Value toward Target by Distance, stopping on it.
int Approach(int value, int target, int distance)
{
    return value < target ? std::min(value + distance, target) : std::max(value - distance, target);
}

// The place a popup of Size takes on the edge's line, kept inside the area
// (the top left corner first when the popup is the larger).
QPoint Inside(const QPoint& place, const QRect& area, const QSize& size)
{
    return {std::max(area.x(), std::min(place.x(), Right(area) - size.width())),
            std::max(area.y(), std::min(place.y(), Bottom(area) - size.height()))};
}
}  // namespace

QPoint PopupFinalPosition(int edge, const QRect& workArea, const QSize& size)
{
    const int middleTop = (Bottom(workArea) - size.height()) / 2;
    switch (Normal(edge)) {
        case 0:
            return Inside({workArea.x(), middleTop}, workArea, size);
        case 1:
            return Inside({Right(workArea) - size.width(), middleTop}, workArea, size);
        case 2:
            return Inside({Right(workArea) - size.width(), workArea.y()}, workArea, size);
        default:
            return Inside({Right(workArea) - size.width(), Bottom(workArea) - size.height()}, workArea, size);
    }
}

QPoint PopupStartPosition(int edge, const QRect& workArea, const QSize& size)
{
    const QPoint final = PopupFinalPosition(edge, workArea, size);
    switch (Normal(edge)) {
        case 0:
            return {workArea.x() + 1 - size.width(), final.y()};
        case 1:
            return {Right(workArea) - 1, final.y()};
        case 2:
            return {final.x(), workArea.y() + 1 - size.height()};
        default:
            return {final.x(), Bottom(workArea) - 1};
    }
}

int PopupSlideInStep(qint64 elapsedMs)
{
    return int(std::min<qint64>(std::max<qint64>(elapsedMs, 0) / PopupTickMs, 1 << 20));
}

QPoint PopupSlideInPlace(const QPoint& start, const QPoint& final, qint64 elapsedMs)
{
    const int limit = (final - start).manhattanLength();
    const int distance = SlideInDistance(PopupSlideInStep(elapsedMs), limit);
    return {Approach(start.x(), final.x(), distance), Approach(start.y(), final.y(), distance)};
}

QPoint PopupSlideOutPlace(int edge, const QPoint& from, int fromStep, qint64 elapsedMs)
{
    // Far enough to leave any work area; the caller closes the popup once it
    // has left its own.
    constexpr int kLimit = 1 << 16;
    const int distance = SlideOutDistance(fromStep, PopupSlideInStep(elapsedMs), kLimit);
    switch (Normal(edge)) {
        case 0:
            return from - QPoint(distance, 0);
        case 1:
            return from + QPoint(distance, 0);
        case 2:
            return from - QPoint(0, distance);
        default:
            return from + QPoint(0, distance);
    }
}

bool PopupHasLeft(int edge, const QRect& workArea, const QSize& size, const QPoint& current)
{
    switch (Normal(edge)) {
        case 0:
            return current.x() <= workArea.x() + 2 - size.width();
        case 1:
            return current.x() >= Right(workArea) - 2;
        case 2:
            return current.y() <= workArea.y() + 1 - size.height();
        default:
            return current.y() >= Bottom(workArea) - 2;
    }
}

QColor PopupGradientColor(quint32 color1, quint32 color2, int x, int width)
{
    auto channel = [&](int shift) {
        const int a = int((color1 >> shift) & 0xFF);
        const int b = int((color2 >> shift) & 0xFF);
        return width > 0 ? a + (b - a) * x / width : a;
    };
    return QColor(channel(0), channel(8), channel(16));
}
