#pragma once
// TNDBMemo: a multi-line edit of one text field of the current row.
//
// API: SetDataSource(source); SetDataField("Data"); Link() for the rest.
// Same rules as TNDBEdit: typing puts the row into edit state and writes the
// whole text at once; read-only when the field cannot be changed. Setting
// the text in code (setPlainText) writes it too, as typing would. Tab and
// Shift+Tab move the focus to the next or previous control, as in the other
// edits of a window; a tab character is never typed.
#include <QPlainTextEdit>

#include "ui/dbcontrols/fielddatalink.h"

class TNDBMemo : public QPlainTextEdit, public TNDataAwareControl {
    Q_OBJECT
public:
    explicit TNDBMemo(QWidget* parent = nullptr);

private:
    void LoadValue();

    bool m_loading = false;
};
