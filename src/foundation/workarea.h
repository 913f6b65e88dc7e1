#pragma once
// The desktop's work area: the primary screen's available geometry (without
// panels and docks), taken once at the first call. Main thread.
#include <QRect>

QRect WorkArea();
