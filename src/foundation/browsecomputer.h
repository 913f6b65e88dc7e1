#pragma once
// Picking a computer of the network. Linux has no network neighbourhood, so
// the dialog "Select Computer" lists the computers the system knows: the
// local host, the names of the hosts file and the resolver's search domains,
// with a free-text field for any other name.

#include <QDialog>
#include <QString>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QPushButton;

// The local host first, then the other names of HostsFile (comments and
// loop-back names left out) and the "search"/"domain" names of ResolvFile,
// without duplicates (letter case ignored), sorted.
QStringList KnownComputerNames(const QString& hostsFile = QStringLiteral("/etc/hosts"),
                               const QString& resolvFile = QStringLiteral("/etc/resolv.conf"));

class TNBrowseComputerDialog : public QDialog {
    Q_OBJECT
public:
    // Starts on Current when it is not blank: its row of the list is made
    // current (a name the list lacks is added to it), so the field keeps it.
    explicit TNBrowseComputerDialog(const QStringList& names, const QString& current = QString(),
                                    QWidget* parent = nullptr);

    // The chosen name (the text field, trimmed).
    QString ComputerName() const;
    QListWidget* List() const { return m_list; }
    QLineEdit* NameEdit() const { return m_edit; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QListWidget* m_list;
    QLineEdit* m_edit;
    QPushButton* m_ok;
};

// Shows the dialog, started on ComputerName when it names one; OK sets
// ComputerName and gives true, Cancel leaves it unchanged and gives false.
// Main thread.
bool BrowseForComputer(QString& computerName);
