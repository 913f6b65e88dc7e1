#include "foundation/workarea.h"

#include <QGuiApplication>
#include <QScreen>

QRect WorkArea()
{
    static const QRect area = [] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        // Without a screen (no display at all) a common desktop size keeps
        // window placement sane.
        return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    }();
    return area;
}
