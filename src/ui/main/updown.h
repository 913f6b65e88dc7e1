#pragma once
// TNUpDown: a pair of arrow buttons that step an integer position within a
// range, for an edit beside it that shows the position (the edit itself is
// the caller's: read-only for a value only the arrows change, editable when
// typed text is checked by the caller). The Up and Down keys step too while
// the control or its associated edit has the focus. Main thread only.

#include <QWidget>

class QLineEdit;
class QToolButton;

class TNUpDown : public QWidget {
    Q_OBJECT
public:
    TNUpDown(int minimum, int maximum, QWidget* parent = nullptr);

    int Min() const { return m_min; }
    int Max() const { return m_max; }
    int Position() const { return m_position; }
    // Clamped into the range; PositionChanged follows a real change only.
    void SetPosition(int position);
    // One step up or down (a click on an arrow).
    void StepBy(int steps);
    // The edit whose Up and Down keys step this control.
    void Associate(QLineEdit* edit);

    QToolButton* btnUp;
    QToolButton* btnDown;

signals:
    void PositionChanged(int position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool StepKey(int key);

    int m_min;
    int m_max;
    int m_position;
};
