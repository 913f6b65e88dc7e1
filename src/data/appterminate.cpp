#include "data/appterminate.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
std::function<void()>& Handler()
{
    static std::function<void()> handler;
    return handler;
}
}  // namespace

void RequestApplicationTerminate()
{
    if (Handler()) {
        Handler()();
        return;
    }
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

std::function<void()> SetApplicationTerminateHandler(std::function<void()> handler)
{
    std::function<void()> old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}
