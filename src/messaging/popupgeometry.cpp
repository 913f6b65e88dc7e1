#include "messaging/popupgeometry.h"

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

// Moves Value toward Target by Speed, stopping on it.
int Approach(int value, int target, int speed)
{
    if (value < target)
        return value + speed >= target ? target : value + speed;
    return value - speed <= target ? target : value - speed;
}
}  // namespace

QPoint PopupStartPosition(int edge, const QRect& workArea, const QSize& size)
{
    const int middleTop = (Bottom(workArea) - size.height()) / 2;
    switch (Normal(edge)) {
        case 0:
            return {workArea.x() + 1 - size.width(), middleTop};
        case 1:
            return {Right(workArea) - 1, middleTop};
        case 2:
            return {Right(workArea) - size.width(), workArea.y() + 1 - size.height()};
        default:
            return {Right(workArea) - size.width(), Bottom(workArea) - 1};
    }
}

QPoint PopupFinalPosition(int edge, const QRect& workArea, const QSize& size, const QPoint& current)
{
    switch (Normal(edge)) {
        case 0:
            return {workArea.x(), current.y()};
        case 1:
            return {Right(workArea) - size.width(), current.y()};
        case 2:
            return {current.x(), workArea.y()};
        default:
            return {current.x(), Bottom(workArea) - size.height()};
    }
}

bool PopupAtFinalPosition(int edge, const QRect& workArea, const QSize& size, const QPoint& current)
{
    return PopupFinalPosition(edge, workArea, size, current) == current;
}

QPoint PopupSlideInStep(int edge, const QRect& workArea, const QSize& size, const QPoint& current, int speed)
{
    const QPoint target = PopupFinalPosition(edge, workArea, size, current);
    return {Approach(current.x(), target.x(), speed), Approach(current.y(), target.y(), speed)};
}

QPoint PopupSlideOutStep(int edge, const QPoint& current, int speed)
{
    switch (Normal(edge)) {
        case 0:
            return current - QPoint(speed, 0);
        case 1:
            return current + QPoint(speed, 0);
        case 2:
            return current - QPoint(0, speed);
        default:
            return current + QPoint(0, speed);
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
