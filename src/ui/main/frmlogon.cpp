#include "ui/main/frmlogon.h"

#include "foundation/logonrole.h"
#include "foundation/options.h"
#include "platform/appterminate.h"
#include "platform/messagedlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QString OptionText(const char* name)
{
    return Options ? Options->OptionByName(QString::fromLatin1(name))->AsString() : QString();
}

bool OptionFlag(const char* name)
{
    return Options && Options->OptionByName(QString::fromLatin1(name))->AsBool();
}

// "&User Password : " with the accelerator inside the role word.
QString PasswordLabel(const QString& roleWord, int accelerator)
{
    QString word = roleWord;
    word.insert(accelerator, QLatin1Char('&'));
    return word + QStringLiteral(" Password : ");
}
}  // namespace

bool LogonPasswordMatches(const QString& typed, const QString& stored)
{
    // Letter case only: both are case-folded, then compared character for
    // character. A collator would also take width and compatibility forms,
    // and ignorable characters, as equal, and differ from locale to locale.
    return typed.toCaseFolded() == stored.toCaseFolded();
}

TFormLogon::TFormLogon(quint8 defaultRole, bool allowChoice, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      AllowChoice(allowChoice),
      DefaultRole(defaultRole)
{
    setObjectName(QStringLiteral("FormLogon"));
    setWindowTitle(QStringLiteral("  Logon to Tovix"));
    setProperty("HelpContext", 1056);

    auto* layout = new QVBoxLayout(this);
    lblHeading = new QLabel(QStringLiteral("Please enter your password"), this);
    layout->addWidget(lblHeading);

    grpRole = new QGroupBox(this);
    auto* grid = new QGridLayout(grpRole);
    rbUser = new QRadioButton(QStringLiteral("Logon as &") + RoleWordUser, grpRole);
    rbUser->setObjectName(QStringLiteral("rbUser"));
    rbAdmin = new QRadioButton(QStringLiteral("Logon as &") + RoleWordAdmin, grpRole);
    rbAdmin->setObjectName(QStringLiteral("rbAdmin"));
    rbUser->setChecked(true);
    edtUserPassword = new QLineEdit(grpRole);
    edtUserPassword->setObjectName(QStringLiteral("edtUserPassword"));
    edtAdminPassword = new QLineEdit(grpRole);
    edtAdminPassword->setObjectName(QStringLiteral("edtAdminPassword"));
    for (QLineEdit* edit : {edtUserPassword, edtAdminPassword}) {
        edit->setEchoMode(QLineEdit::Password);
        // Show "*" for every character, as the original dialog does.
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    lblUserPassword = new QLabel(PasswordLabel(RoleWordUser, 1), grpRole);
    lblUserPassword->setBuddy(edtUserPassword);
    lblAdminPassword = new QLabel(PasswordLabel(RoleWordAdmin, 1), grpRole);
    lblAdminPassword->setBuddy(edtAdminPassword);
    grid->addWidget(rbUser, 0, 0, 1, 2);
    grid->addWidget(rbAdmin, 1, 0, 1, 2);
    grid->addWidget(lblUserPassword, 2, 0);
    grid->addWidget(edtUserPassword, 2, 1);
    grid->addWidget(lblAdminPassword, 3, 0);
    grid->addWidget(edtAdminPassword, 3, 1);
    layout->addWidget(grpRole);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnOK = new QPushButton(QStringLiteral("O&K"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &TFormLogon::OKClicked);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(rbUser, &QRadioButton::clicked, this, &TFormLogon::RoleClicked);
    connect(rbAdmin, &QRadioButton::clicked, this, &TFormLogon::RoleClicked);

    // The default role, overridden by the option LogonAsUser when the
    // operator may choose.
    if (defaultRole == 1)
        rbUser->setChecked(true);
    else
        rbAdmin->setChecked(true);
    if (allowChoice) {
        const bool asUser = OptionFlag("LogonAsUser");
        rbUser->setChecked(asUser);
        rbAdmin->setChecked(!asUser);
    } else {
        rbUser->setEnabled(false);
        rbAdmin->setEnabled(false);
    }
    UpdateFields();

    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

QLineEdit* TFormLogon::ChosenField() const
{
    return rbUser->isChecked() ? edtUserPassword : edtAdminPassword;
}

void TFormLogon::UpdateFields()
{
    const bool user = rbUser->isChecked();
    const QColor face = palette().color(QPalette::Button);
    auto apply = [face](QLineEdit* edit, QLabel* label, bool chosen) {
        if (!chosen)
            edit->clear();
        edit->setEnabled(chosen);
        label->setEnabled(chosen);
        QPalette p = edit->palette();
        p.setColor(QPalette::Base, chosen ? QColor(Qt::white) : face);
        edit->setPalette(p);
    };
    apply(edtUserPassword, lblUserPassword, user);
    apply(edtAdminPassword, lblAdminPassword, !user);
}

void TFormLogon::RoleClicked()
{
    UpdateFields();
    if (Shown)
        ChosenField()->setFocus();
}

void TFormLogon::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Shown = true;
    ChosenField()->setFocus();
}

void TFormLogon::OKClicked()
{
    const bool user = rbUser->isChecked();
    QLineEdit* field = user ? edtUserPassword : edtAdminPassword;
    const QString stored = OptionText(user ? "UserPassword" : "AdminPassword");
    if (LogonPasswordMatches(field->text(), stored)) {
        LogonResult = user ? 1 : 2;
        accept();
        return;
    }
    MessageDlg(QStringLiteral("Wrong ") + (user ? RoleWordUser : RoleWordAdmin) +
                   QStringLiteral(" Password. Please try again."),
               TMsgDlgType::mtWarning, mbOK);
    // The wrong text is selected, so the next try types over it instead of
    // after it.
    field->setFocus();
    field->selectAll();
}

quint8 LogonDialog(quint8 defaultRole, bool allowChoice)
{
    quint8 result = 0;
    if (!TerminateRequested()) {
        // Owned here, not by the active window: at start-up that may be the
        // splash, which closes (and would take the dialog with it) after its time.
        QPointer<TFormLogon> dialog = new TFormLogon(defaultRole, allowChoice);
        dialog->exec();
        if (dialog) {
            result = dialog->LogonResult;
            delete dialog.data();
        }
    }
    if (result != 0)
        LogonRole = result;
    ShowLogonRole();
    return result;
}

quint8 LogonAtStartup()
{
    return LogonDialog(1, true);
}

void ExecuteLogonAction()
{
    if (LogonRole == RoleUser)
        LogonDialog(RoleAdmin, false);  // shows the role itself
    else {
        LogonRole = RoleUser;
        ShowLogonRole();
    }
}

QString LogonActionCaption()
{
    return (LogonRole == RoleAdmin ? QStringLiteral("&Logoff as ") : QStringLiteral("&Logon as ")) + RoleWordAdmin;
}
