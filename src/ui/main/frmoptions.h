#pragma once
// TFormOptions ("  Tovix Options"): the options dialog. Six pages (one of
// them, "Shared Data", hidden) whose controls write their option's Value in
// the store the moment they change. OK applies the changed options (their
// handlers put them into effect, then "Settings.ini" is written) and closes;
// Cancel (or Esc) takes every value back and closes; the close box leaves
// the edited values in the store, unapplied. A failed write on OK is shown
// and the dialog stays open with the changes pending.
//
// The enabling rules (OK while an option is changed, each apply-password
// action while its new password differs from the current one) run whenever
// the program is idle. The page shown is kept as "ActiveTabIndex" in the
// dialog's placement section. Main thread only; needs the option store.

#include "foundation/formbase.h"
#include "ui/main/optionsrules.h"

#include <QDialog>
#include <QString>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TNUpDown;
class TYebCorner;

class TFormOptions : public QDialog, public TFormBase {
    Q_OBJECT
public:
    explicit TFormOptions(QWidget* parent = nullptr);
    ~TFormOptions() override;

    // The page shown when "ActiveTabIndex" names none: Passwords.
    static constexpr int DesignedPage = 4;

    // The enabling rules of the actions (the idle-time update).
    void UpdateActions();

    // The passwords as the dialog knows them: the stored ones at opening,
    // then each one applied.
    QString CurrentUserPassword;
    QString CurrentAdminPassword;

    QTabWidget* pgOptions;
    QWidget* tsMessageEditor;
    QWidget* tsRecipients;
    QWidget* tsContactsTree;
    QWidget* tsSharedData;
    QWidget* tsPasswords;
    QWidget* tsPopupWin;

    // Message Editor
    QCheckBox* chkAddDisplayNameToMessage;
    QLabel* lblFollowedByChar;
    QLineEdit* edtFollowedByChar;
    QCheckBox* chkPrefixAddInEditor;
    QCheckBox* chkEntryInUpperCase;
    QCheckBox* chkClearMessageOnSend;
    QLineEdit* edtMaxNumericLength;
    TNUpDown* updMaxNumericLength;
    QLineEdit* edtNumericAllowedChars;
    QCheckBox* chkAllowSendingEmptyMessages;
    QCheckBox* chkWarnOnEmptyMessages;
    QCheckBox* chkShowContactNamesOfGroups;
    // Recipients
    QCheckBox* chkClearRecipientsOnSend;
    QCheckBox* chkMessagesToGroupMembersSequentially;
    QCheckBox* chkEnableTextFileRecipients;
    // Contacts Tree
    QCheckBox* cbLargeTreeIcons;
    QLabel* lblDatabaseCaptionColor;
    QPushButton* btnDatabaseCaptionColor;
    // Shared Data
    QLineEdit* edtSharedFolder;
    QPushButton* btnSharedFolder;
    // Passwords
    QGroupBox* grpUserPassword;
    QGroupBox* grpAdminPassword;
    QLineEdit* edtNewPasswordUser;
    QLineEdit* edtConfirmPasswordUser;
    QLineEdit* edtNewPasswordAdmin;
    QLineEdit* edtConfirmPasswordAdmin;
    QPushButton* btnApplyUserPass;
    QPushButton* btnApplyAdminPass;
    QCheckBox* chkLogonOnStart;
    QRadioButton* rbLogonAsUser;
    QRadioButton* rbLogonAsAdmin;
    // PopupWin
    QLineEdit* edPopupWinDelay;
    TNUpDown* udPopupWinDelay;
    QGroupBox* rgPopupWinPos;
    QButtonGroup* rgPopupWinPosItems;
    QCheckBox* chkPopupForSuccess;
    QCheckBox* chkPopupForFailure;

    TYebCorner* YebCorner1;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QAction* actOk;
    QAction* actCancel;
    QAction* actApplyUserPass;
    QAction* actApplyAdminPass;

protected:
    void LoadFormSettings(QString& section) override;
    void SaveFormSettings(QString& section) override;
    bool DesignSizeIsMinimum() const override { return true; }
    void keyPressEvent(QKeyEvent* event) override;

private:
    // One builder per page (frmoptionspages.cpp, frmoptionslogon.cpp); each
    // makes the page's controls and binds them to their options.
    void BuildMessageEditorPage();
    void BuildRecipientsPage();
    void BuildContactsTreePage();
    void BuildSharedDataPage();
    void BuildPasswordsPage();
    void BuildPopupWinPage();
    void BuildButtons();

    // Each builder also gives its controls their options' values (the
    // opening); the dependent controls follow afterwards.
    void UpdateDependentControls();
    void ApplyNewPassword(bool admin);
    void PopupDelayEdited();
    void ChooseDatabaseCaptionColor();
    void ChooseSharedFolder();
    void OkExecute();
    void CancelExecute();

    TNOptionsApplier m_applier;
};

// The main window's options action: the dialog, modal, freed when it closes.
void ShowOptionsDialog(QWidget* parent);
