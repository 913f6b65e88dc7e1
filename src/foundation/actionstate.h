#pragma once
// Setting an action's state only when it differs: the idle-time updates call
// these on every pass, and a pass that finds nothing changed must touch no
// control (each change repaints menus and tool bars). Main thread only.
class QAction;

void SetActionEnabled(QAction* action, bool enabled);
void SetActionVisible(QAction* action, bool visible);
