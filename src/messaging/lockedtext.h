#pragma once
// A text that several threads read and write, each access under its own lock.
#include <QString>
#include <mutex>

class TNLockedText {
public:
    QString Get() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_text;
    }
    void Set(const QString& text)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_text = text;
    }

private:
    mutable std::mutex m_lock;
    QString m_text;
};
