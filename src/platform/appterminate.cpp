#include "platform/appterminate.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
bool g_requested = false;
}

void TerminateApplication()
{
    g_requested = true;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TerminateRequested()
{
    return g_requested;
}

void ResetTerminateRequest()
{
    g_requested = false;
}
