#pragma once
// The logon dialog and its two entry points.
//
// LogonDialog runs TFormLogon modally; a confirmed role becomes LogonRole and
// the status bar is refreshed in every case. The passwords are the options
// UserPassword and AdminPassword ("Settings.ini", section Logon), compared
// without regard to letter case. Main thread only.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The typed password matches the stored one: a locale-aware comparison that
// ignores letter case (an empty stored password is matched by an empty field).
bool LogonPasswordMatches(const QString& typed, const QString& stored);

class TFormLogon : public QDialog {
    Q_OBJECT
public:
    TFormLogon(quint8 defaultRole, bool allowChoice, QWidget* parent = nullptr);

    bool AllowChoice;
    quint8 DefaultRole;
    quint8 LogonResult = 0;  // 0 cancelled, 1 user, 2 administrator
    bool Shown = false;

    QLabel* lblHeading;
    QGroupBox* grpRole;
    QRadioButton* rbUser;
    QRadioButton* rbAdmin;
    QLabel* lblUserPassword;
    QLabel* lblAdminPassword;
    QLineEdit* edtUserPassword;
    QLineEdit* edtAdminPassword;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateFields();
    void RoleClicked();
    void OKClicked();
    QLineEdit* ChosenField() const;
};

// Runs the dialog; returns 0 (cancelled), 1 or 2. A confirmed role becomes
// LogonRole; ShowLogonRole runs in every case. After the program was asked
// to end the dialog closes as cancelled at once.
quint8 LogonDialog(quint8 defaultRole, bool allowChoice);
// The start-up logon: LogonDialog(1, true).
quint8 LogonAtStartup();
// The main window's logon action: logon as administrator from the user role
// (a dialog), logoff to the user role at once from the administrator role.
void ExecuteLogonAction();
// The caption of that action for the current role.
QString LogonActionCaption();
