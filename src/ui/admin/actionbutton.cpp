#include "ui/admin/actionbutton.h"

#include <QAction>

QPushButton* NewActionButton(QAction* action, QWidget* parent, const QString& name)
{
    auto* button = new QPushButton(action->text(), parent);
    button->setObjectName(name);
    const auto follow = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
        button->setVisible(action->isVisible());
    };
    follow();
    QObject::connect(action, &QAction::changed, button, follow);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}

QAction* NewWindowAction(QWidget* owner, const QString& caption, const QString& name)
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(name);
    owner->addAction(action);
    return action;
}
