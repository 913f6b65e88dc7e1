#pragma once
// A drop-down list whose choice is made only from the opened list: it takes
// no keys but those that open the list, nor the mouse wheel (the address-book
// chooser of the list windows, the server editor's connection type). With
// SetArrowKeysChoose, Up and Down step the choice while the list is closed,
// as in a plain drop-down list, and announce it as activated. It announces the list dropping down and closing up;
// CloseUp comes after the choice has been made, whether or not it changed.
#include <QComboBox>

class TNPickOnlyCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override;
    void hidePopup() override;
    void SetArrowKeysChoose(bool on) { m_arrowKeysChoose = on; }

signals:
    void DropDown();
    void CloseUp();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool m_arrowKeysChoose = false;
};
