#pragma once
// The one exception of the dataset layer: a failed statement, a missing file,
// a misuse of a dataset (editing a read-only one, an unknown field). Its text
// names the routine and, for database failures, carries the engine's message.
#include <QString>
#include <stdexcept>

class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& Message() const noexcept { return m_message; }

private:
    QString m_message;
};

// Why a write to a database file failed, in the operator's words, from the
// engine's text: another program holds the file's write lock, the disk is
// full, the file cannot be written; any other failure as the engine says it.
QString DatabaseWriteFailureWords(const QString& engineText);
