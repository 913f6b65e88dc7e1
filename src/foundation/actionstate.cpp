#include "foundation/actionstate.h"

#include <QAction>

void SetActionEnabled(QAction* action, bool enabled)
{
    if (action->isEnabled() != enabled)
        action->setEnabled(enabled);
}

void SetActionVisible(QAction* action, bool visible)
{
    if (action->isVisible() != visible)
        action->setVisible(visible);
}
