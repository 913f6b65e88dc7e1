#include "ui/main/optionsbinding.h"

#include "foundation/options.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

TNOption* BoundOption(const char* name)
{
    return Options->OptionByName(QString::fromLatin1(name));
}

QCheckBox* BoundCheckBox(QWidget* parent, const char* objectName, const QString& caption, const char* option)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(objectName));
    TNOption* bound = BoundOption(option);
    box->setChecked(bound->AsBool());
    QObject::connect(box, &QCheckBox::clicked, box, [bound](bool checked) { bound->SetValue(checked); });
    return box;
}

QLineEdit* BoundEdit(QWidget* parent, const char* objectName, const char* option)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    TNOption* bound = BoundOption(option);
    edit->setText(bound->AsString());
    QObject::connect(edit, &QLineEdit::textChanged, edit, [bound](const QString& text) { bound->SetValue(text); });
    return edit;
}

QAction* DialogAction(QObject* owner, const char* objectName, const QString& caption, std::function<void()> run)
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(objectName));
    QObject::connect(action, &QAction::triggered, owner, [run = std::move(run)] { run(); });
    return action;
}

QPushButton* ActionButton(QWidget* parent, const char* objectName, QAction* action)
{
    auto* button = new QPushButton(action->text(), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
    return button;
}
