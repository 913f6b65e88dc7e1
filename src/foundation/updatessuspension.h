#pragma once
// Suspends the painting of one widget for a scope and puts it back as it
// was on every path. "As it was" is the widget's own setting, not what
// updatesEnabled() reports: while a parent has painting suspended, every
// child reports it off too, and restoring that report would leave the child
// switched off for good once the parent is switched on again.
// Main thread only.

#include <QPointer>
#include <QWidget>

class TUpdatesSuspension {
public:
    explicit TUpdatesSuspension(QWidget* widget)
        : m_widget(widget), m_wasOff(widget && widget->testAttribute(Qt::WA_ForceUpdatesDisabled))
    {
        if (m_widget)
            m_widget->setUpdatesEnabled(false);
    }
    ~TUpdatesSuspension()
    {
        if (m_widget && !m_wasOff)
            m_widget->setUpdatesEnabled(true);
    }
    TUpdatesSuspension(const TUpdatesSuspension&) = delete;
    TUpdatesSuspension& operator=(const TUpdatesSuspension&) = delete;

private:
    QPointer<QWidget> m_widget;
    bool m_wasOff;
};
