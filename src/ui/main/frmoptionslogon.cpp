// The pages of the options dialog about logging on and popups: Passwords
// (the two new-password pairs with their apply actions, the logon choices)
// and PopupWin (delay, position, when to pop up).
#include "foundation/logonrole.h"
#include "foundation/options.h"
#include "platform/messagedlg.h"
#include "ui/main/frmoptions.h"
#include "ui/main/optionsbinding.h"
#include "ui/main/updown.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QLineEdit* PasswordEdit(QWidget* parent, const char* name, const QString& stored)
{
    auto* edit = new QLineEdit(stored, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setEchoMode(QLineEdit::Password);
    // Every character shows as "*".
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    return edit;
}

QString WithAccelerator(const QString& word, int position)
{
    QString text = word;
    text.insert(position, QLatin1Char('&'));
    return text;
}

// One role's pair of password edits with its apply button, under a heading
// naming the role's password in capitals.
QGroupBox* PasswordGroup(QWidget* parent, const QString& roleWord, QLineEdit* newEdit, const QString& newCaption,
                         QLineEdit* confirmEdit, const QString& confirmCaption, QPushButton* apply)
{
    auto* group = new QGroupBox(QStringLiteral(" %1 PASSWORD ").arg(roleWord.toUpper()), parent);
    newEdit->setParent(group);
    confirmEdit->setParent(group);
    apply->setParent(group);
    auto* newLabel = new QLabel(newCaption, group);
    newLabel->setBuddy(newEdit);
    auto* confirmLabel = new QLabel(confirmCaption, group);
    confirmLabel->setBuddy(confirmEdit);
    auto* grid = new QGridLayout(group);
    grid->addWidget(newLabel, 0, 0);
    grid->addWidget(newEdit, 0, 1);
    grid->addWidget(confirmLabel, 1, 0);
    grid->addWidget(confirmEdit, 1, 1);
    grid->addWidget(apply, 1, 2);
    return group;
}
}  // namespace

void TFormOptions::BuildPasswordsPage()
{
    QWidget* page = tsPasswords;
    CurrentUserPassword = BoundOption("UserPassword")->AsString();
    CurrentAdminPassword = BoundOption("AdminPassword")->AsString();
    edtNewPasswordUser = PasswordEdit(page, "edtNewPasswordUser", CurrentUserPassword);
    edtConfirmPasswordUser = PasswordEdit(page, "edtConfirmPasswordUser", CurrentUserPassword);
    edtNewPasswordAdmin = PasswordEdit(page, "edtNewPasswordAdmin", CurrentAdminPassword);
    edtConfirmPasswordAdmin = PasswordEdit(page, "edtConfirmPasswordAdmin", CurrentAdminPassword);

    actApplyUserPass = DialogAction(this, "actApplyUserPass", QStringLiteral("&Apply New Password"),
                                    [this] { ApplyNewPassword(false); });
    actApplyAdminPass = DialogAction(this, "actApplyAdminPass", QStringLiteral("Apply &New Password"),
                                     [this] { ApplyNewPassword(true); });
    btnApplyUserPass = ActionButton(page, "btnApplyUserPass", actApplyUserPass);
    btnApplyAdminPass = ActionButton(page, "btnApplyAdminPass", actApplyAdminPass);

    grpUserPassword =
        PasswordGroup(page, RoleWordUser, edtNewPasswordUser, QStringLiteral("&Enter New password :  "),
                      edtConfirmPasswordUser, QStringLiteral("&Confirm New password  :  "), btnApplyUserPass);
    grpAdminPassword =
        PasswordGroup(page, RoleWordAdmin, edtNewPasswordAdmin, QStringLiteral("Enter &New password :  "),
                      edtConfirmPasswordAdmin, QStringLiteral("Confirm New &password  :  "), btnApplyAdminPass);

    chkLogonOnStart = BoundCheckBox(page, "chkLogonOnStart", QStringLiteral("&Request Logon on Start"), "LogonOnStart");
    rbLogonAsUser = new QRadioButton(QStringLiteral("Logon as ") + WithAccelerator(RoleWordUser, 0), page);
    rbLogonAsUser->setObjectName(QStringLiteral("rbLogonAsUser"));
    rbLogonAsAdmin = new QRadioButton(QStringLiteral("Logon as ") + WithAccelerator(RoleWordAdmin, 1), page);
    rbLogonAsAdmin->setObjectName(QStringLiteral("rbLogonAsAdmin"));
    rbLogonAsUser->setChecked(BoundOption("LogonAsUser")->AsBool());
    if (BoundOption("LogonAsAdmin")->AsBool())
        rbLogonAsAdmin->setChecked(true);
    // A click on either sets both options from the two buttons.
    for (QRadioButton* button : {rbLogonAsUser, rbLogonAsAdmin})
        connect(button, &QRadioButton::clicked, this, [this] {
            BoundOption("LogonAsUser")->SetValue(rbLogonAsUser->isChecked());
            BoundOption("LogonAsAdmin")->SetValue(rbLogonAsAdmin->isChecked());
        });

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(grpUserPassword);
    layout->addWidget(grpAdminPassword);
    layout->addWidget(chkLogonOnStart);
    layout->addWidget(rbLogonAsUser);
    layout->addWidget(rbLogonAsAdmin);
    layout->addStretch(1);
}

void TFormOptions::ApplyNewPassword(bool admin)
{
    QLineEdit* newEdit = admin ? edtNewPasswordAdmin : edtNewPasswordUser;
    QLineEdit* confirmEdit = admin ? edtConfirmPasswordAdmin : edtConfirmPasswordUser;
    QString& current = admin ? CurrentAdminPassword : CurrentUserPassword;
    const TNPasswordCheck check =
        CheckNewPassword(newEdit->text(), confirmEdit->text(), admin ? RoleWordAdmin : RoleWordUser);
    if (check.Matched) {
        MessageDlg(check.Message, TMsgDlgType::mtInformation, mbOK);
        // Written with the other options on OK.
        current = newEdit->text();
        BoundOption(admin ? "AdminPassword" : "UserPassword")->SetValue(current);
    } else {
        MessageDlg(check.Message, TMsgDlgType::mtWarning, mbOK);
        newEdit->setText(current);
        confirmEdit->setText(current);
    }
    UpdateActions();
}

void TFormOptions::BuildPopupWinPage()
{
    QWidget* page = tsPopupWin;
    auto* delay = new QGroupBox(QStringLiteral("Popup Winow Delay"), page);
    edPopupWinDelay = new QLineEdit(delay);
    edPopupWinDelay->setObjectName(QStringLiteral("edPopupWinDelay"));
    edPopupWinDelay->setFixedWidth(edPopupWinDelay->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    udPopupWinDelay = new TNUpDown(PopupDelayMin, PopupDelayMax, delay);
    udPopupWinDelay->setObjectName(QStringLiteral("udPopupWinDelay"));
    udPopupWinDelay->Associate(edPopupWinDelay);
    udPopupWinDelay->SetPosition(BoundOption("PopupWinDelay")->AsInteger());
    // The arrows show their position in the edit; the edit's every change
    // goes through its rule (PopupDelayEdited), which sets the option.
    connect(udPopupWinDelay, &TNUpDown::PositionChanged, this,
            [this](int position) { edPopupWinDelay->setText(QString::number(position)); });
    connect(edPopupWinDelay, &QLineEdit::textChanged, this, &TFormOptions::PopupDelayEdited);
    edPopupWinDelay->setText(QString::number(udPopupWinDelay->Position()));
    auto* delayRow = new QHBoxLayout(delay);
    delayRow->setSpacing(0);
    delayRow->addWidget(edPopupWinDelay);
    delayRow->addWidget(udPopupWinDelay);
    delayRow->addSpacing(8);
    delayRow->addWidget(new QLabel(QStringLiteral(" Delay In Seconds      (1 - 180, 0 for infinity)"), delay), 1);

    rgPopupWinPos = new QGroupBox(QStringLiteral("Popup Winow Position"), page);
    rgPopupWinPos->setObjectName(QStringLiteral("rgPopupWinPos"));
    rgPopupWinPosItems = new QButtonGroup(rgPopupWinPos);
    auto* positions = new QVBoxLayout(rgPopupWinPos);
    const QStringList items{QStringLiteral("Pop up window at the bottom right hand corner"),
                            QStringLiteral("Pop up window at the top right hand corner"),
                            QStringLiteral("Pop up winow at the mid right hand side"),
                            QStringLiteral("Pop up window at the mid left hand side")};
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], rgPopupWinPos);
        rgPopupWinPosItems->addButton(item, i);
        positions->addWidget(item);
    }
    if (QAbstractButton* chosen = rgPopupWinPosItems->button(BoundOption("PopupWinPos")->AsInteger()))
        chosen->setChecked(true);
    connect(rgPopupWinPosItems, &QButtonGroup::idClicked, this,
            [](int index) { BoundOption("PopupWinPos")->SetValue(index); });

    chkPopupForSuccess =
        BoundCheckBox(page, "chkPopupForSuccess", QStringLiteral("Pop up for success"), "PopupForSuccess");
    chkPopupForFailure =
        BoundCheckBox(page, "chkPopupForFailure", QStringLiteral("Pop up for failure"), "PopupForFailure");

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(delay);
    layout->addWidget(rgPopupWinPos);
    layout->addWidget(chkPopupForSuccess);
    layout->addWidget(chkPopupForFailure);
    layout->addStretch(1);
}

void TFormOptions::PopupDelayEdited()
{
    TNOption* option = BoundOption("PopupWinDelay");
    const TNDelayEdit edit = PopupDelayEdit(edPopupWinDelay->text(), option->AsInteger());
    udPopupWinDelay->SetPosition(edit.Position);
    if (edPopupWinDelay->text() != edit.Text)
        edPopupWinDelay->setText(edit.Text);
    option->SetValue(udPopupWinDelay->Position());
}
