#include "ui/main/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QToolButton* ArrowButton(Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(18, 11);
    return button;
}
}  // namespace

TNUpDown::TNUpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent), m_min(minimum), m_max(std::max(minimum, maximum)), m_position(minimum)
{
    setFocusPolicy(Qt::TabFocus);
    btnUp = ArrowButton(Qt::UpArrow, this);
    btnDown = ArrowButton(Qt::DownArrow, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(btnUp);
    layout->addWidget(btnDown);
    connect(btnUp, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(btnDown, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void TNUpDown::SetPosition(int position)
{
    position = std::clamp(position, m_min, m_max);
    if (position == m_position)
        return;
    m_position = position;
    emit PositionChanged(m_position);
}

void TNUpDown::StepBy(int steps)
{
    // Stepping from the far end of an int never overflows.
    const qint64 target = qint64(m_position) + steps;
    SetPosition(int(std::clamp<qint64>(target, m_min, m_max)));
}

void TNUpDown::Associate(QLineEdit* edit)
{
    // The edit's Up and Down keys step it, so it is no focus stop of its own:
    // Tab goes from the edit straight to the next control.
    setFocusPolicy(Qt::NoFocus);
    edit->installEventFilter(this);
}

bool TNUpDown::StepKey(int key)
{
    if (key == Qt::Key_Up)
        StepBy(1);
    else if (key == Qt::Key_Down)
        StepBy(-1);
    else
        return false;
    return true;
}

void TNUpDown::keyPressEvent(QKeyEvent* event)
{
    if (!StepKey(event->key()))
        QWidget::keyPressEvent(event);
}

bool TNUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && StepKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QWidget::eventFilter(watched, event);
}
