#include "ui/dbcontrols/dbmemo.h"

#include "db/field.h"

TNDBMemo::TNDBMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    connect(&m_link, &TNFieldDataLink::DataChanged, this, [this] { LoadValue(); });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_loading)
            return;
        const QString text = toPlainText();
        const TNField* field = m_link.Field();
        if (field && field->AsString() == text)
            return;
        m_link.WriteValue(text);
    });
    LoadValue();
}

void TNDBMemo::LoadValue()
{
    const TNField* field = m_link.Field();
    setReadOnly(!m_link.CanModify());
    const QString text = field ? field->AsString() : QString();
    if (text == toPlainText())
        return;
    m_loading = true;
    setPlainText(text);
    m_loading = false;
}
