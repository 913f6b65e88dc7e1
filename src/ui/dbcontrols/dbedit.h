#pragma once
// TNDBEdit: a one-line edit of one field of the current row.
//
// API: SetDataSource(source); SetDataField("Name"); Link() for the rest
// (Link().WriteRefused tells of a value the dataset refused).
// Shows the field's text (empty without a row); typing puts the row into
// edit state and writes each change into the field at once, so whatever
// posts the row sees the text as it stands. The edit is read-only when the
// field cannot be changed; a text field's size is its maximum length. A text
// the field refuses (a letter in a number field) stays on screen unwritten
// and is announced by Link().WriteRefused with the dataset's message.
#include <QLineEdit>

#include "ui/dbcontrols/fielddatalink.h"

class TNDBEdit : public QLineEdit, public TNDataAwareControl {
    Q_OBJECT
public:
    explicit TNDBEdit(QWidget* parent = nullptr);

private:
    void LoadValue();
};
