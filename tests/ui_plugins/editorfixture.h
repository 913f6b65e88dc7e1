#pragma once
// Helpers of the embedded-editor tests: finding named controls and catching
// the editors' load errors.
#include "ui/plugins/embedtext.h"

#include <gtest/gtest.h>
#include <QString>
#include <QWidget>
#include <ostream>
#include <stdexcept>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// The child control named Name; fails the test when there is none.
template <class T>
T* Control(QWidget* editor, const char* name)
{
    T* child = editor->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        throw std::logic_error(std::string("no control ") + name);
    return child;
}

// The text of the EEmbedEditorError that Action throws, or "" when none.
template <class F>
QString EditorErrorOf(F&& action)
{
    try {
        action();
    } catch (const EEmbedEditorError& e) {
        return e.Message();
    }
    return QString();
}
