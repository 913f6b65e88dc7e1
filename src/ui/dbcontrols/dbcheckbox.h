#pragma once
// TNDBCheckBox: a check box over one Boolean (or 0/1 integer) field of the
// current row.
//
// API: SetDataSource(source); SetDataField("Active"); Link() for the rest.
// Shows the field (a null value unchecked). A click by the user puts the row
// into edit state and writes true or false (1 or 0) at once; when the
// dataset refuses, the box shows the field again and Link().WriteRefused tells why.
// Disabled when the field cannot be changed.
#include <QCheckBox>

#include "ui/dbcontrols/fielddatalink.h"

class TNDBCheckBox : public QCheckBox, public TNDataAwareControl {
    Q_OBJECT
public:
    explicit TNDBCheckBox(QWidget* parent = nullptr);
    TNDBCheckBox(const QString& text, QWidget* parent = nullptr);

private:
    void LoadValue();
};
