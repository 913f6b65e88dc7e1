#pragma once
// TYebCorner: a 16 x 16 size grip for the bottom-right corner of a panel.
//
// It keeps itself in its parent's bottom-right corner, shows the diagonal
// sizing cursor and, when pressed with the left button, lets the operator
// resize the whole window as if its bottom-right corner had been grabbed.
// It hides itself while the window is maximised or while the parent has
// reached a maximum width or height of its own. Main thread only.

#include <QPoint>
#include <QSize>
#include <QWidget>

class TYebCorner : public QWidget {
    Q_OBJECT
public:
    static constexpr int GripSize = 16;

    explicit TYebCorner(QWidget* parent);

    // The top-level window the grip resizes (nullptr while it has none).
    QWidget* Form() const { return m_form; }
    // Puts the grip into the parent's bottom-right corner, then applies the
    // visibility rule.
    void Reposition();
    // The rule: hidden when the window is maximised or the parent has reached
    // a maximum width or height of its own.
    bool ShouldBeHidden() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FindForm();

    QWidget* m_form = nullptr;
    QWidget* m_watchedForm = nullptr;
    // Our own sizing loop, used when the window system offers none.
    bool m_sizing = false;
    QPoint m_pressGlobal;
    QSize m_pressSize;
};
