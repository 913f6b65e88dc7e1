#include "ui/dbcontrols/dbedit.h"

#include "db/field.h"

TNDBEdit::TNDBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(&m_link, &TNFieldDataLink::DataChanged, this, [this] { LoadValue(); });
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { m_link.WriteValue(text); });
    LoadValue();
}

void TNDBEdit::LoadValue()
{
    const TNField* field = m_link.Field();
    const int maxLength = field && field->Kind() == TFieldKind::fkString && field->Size() > 0 ? field->Size() : 32767;
    setMaxLength(maxLength);
    setReadOnly(!m_link.CanModify());
    const QString text = field ? field->AsString() : QString();
    if (text != this->text())
        setText(text);
}
