#pragma once
// A labelled row of a record editor's fields panel holding one data-aware
// control (edit, memo, lookup box) bound to a field of the row.
#include "db/datasource.h"

#include <QFormLayout>
#include <QLabel>

template <class T>
T* AddBoundRow(QFormLayout* form, const QString& caption, const QString& name, const QString& field,
               TNDataSource* source)
{
    auto* control = new T(form->parentWidget());
    control->setObjectName(name);
    control->SetDataSource(source);
    control->SetDataField(field);
    auto* label = new QLabel(caption, form->parentWidget());
    label->setBuddy(control);
    form->addRow(label, control);
    return control;
}
