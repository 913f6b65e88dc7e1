#include "ui/dbcontrols/dbcheckbox.h"

#include "db/field.h"

TNDBCheckBox::TNDBCheckBox(QWidget* parent) : TNDBCheckBox(QString(), parent) {}

TNDBCheckBox::TNDBCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    connect(&m_link, &TNFieldDataLink::DataChanged, this, [this] { LoadValue(); });
    connect(this, &QCheckBox::clicked, this, [this](bool checked) {
        const TNField* field = m_link.Field();
        const QVariant value = field && IsIntegerKind(field->Kind()) ? QVariant(checked ? 1 : 0) : QVariant(checked);
        if (!m_link.WriteValue(value)) {
            LoadValue();
        }
    });
    LoadValue();
}

void TNDBCheckBox::LoadValue()
{
    const TNField* field = m_link.Field();
    setEnabled(m_link.CanModify());
    setChecked(field && field->AsBoolean());
}
