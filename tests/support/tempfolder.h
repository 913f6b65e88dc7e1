#pragma once
// A temporary folder for one test, removed with everything in it afterwards.
#include <QString>
#include <QTemporaryDir>

class TempFolder {
public:
    TempFolder() { m_dir.setAutoRemove(true); }
    bool IsValid() const { return m_dir.isValid(); }
    // The folder with a trailing "/".
    QString Path() const { return m_dir.path() + QLatin1Char('/'); }
    QString File(const QString& name) const { return Path() + name; }

private:
    QTemporaryDir m_dir;
};
