#pragma once
// The exception of the data layer's programming errors and refused
// operations; its text names the routine that raised it.

#include <QString>
#include <stdexcept>

class EDataError : public std::runtime_error {
public:
    explicit EDataError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};
