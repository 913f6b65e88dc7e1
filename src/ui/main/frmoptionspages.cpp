// The pages of the options dialog about composing and the tree: Message
// Editor, Recipients, Contacts Tree and the hidden Shared Data page.
#include "data/folderstree.h"
#include "foundation/options.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "ui/main/frmoptions.h"
#include "ui/main/optionsbinding.h"
#include "ui/main/updown.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* Label(const QString& caption, QWidget* parent, QWidget* buddy, const char* name = nullptr)
{
    auto* label = new QLabel(caption, parent);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QHBoxLayout* Indented(QWidget* widget)
{
    auto* row = new QHBoxLayout;
    row->addSpacing(20);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}
}  // namespace

void TFormOptions::BuildMessageEditorPage()
{
    QWidget* page = tsMessageEditor;
    chkAddDisplayNameToMessage =
        BoundCheckBox(page, "chkAddDisplayNameToMessage", QStringLiteral("&Prefix Message with Recipient's Alias,"),
                      "AddDisplayNameToMessage");
    edtFollowedByChar = BoundEdit(page, "edtFollowedByChar", "FollowedByChar");
    edtFollowedByChar->setMaxLength(1);
    edtFollowedByChar->setFixedWidth(edtFollowedByChar->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 3);
    // Disabled, the follow-character edit takes the button face.
    QPalette palette = edtFollowedByChar->palette();
    palette.setColor(QPalette::Active, QPalette::Base, Qt::white);
    palette.setColor(QPalette::Inactive, QPalette::Base, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Active, QPalette::Button));
    edtFollowedByChar->setPalette(palette);
    lblFollowedByChar =
        Label(QStringLiteral(", followed by the &character :"), page, edtFollowedByChar, "lblFollowedByChar");
    chkPrefixAddInEditor =
        BoundCheckBox(page, "chkPrefixAddInEditor", QStringLiteral("In Editor"), "PrefixAddInEditor");
    chkEntryInUpperCase =
        BoundCheckBox(page, "chkEntryInUpperCase", QStringLiteral("Text Entry in &UpperCase only"), "EntryInUpperCase");
    chkClearMessageOnSend = BoundCheckBox(page, "chkClearMessageOnSend",
                                          QStringLiteral("&Clear Message Editor on Send"), "ClearMessageOnSend");

    auto* numeric = new QGroupBox(QStringLiteral(" Numeric-Only Pagers : "), page);
    // Only the arrows change the length; the edit shows it.
    edtMaxNumericLength = new QLineEdit(numeric);
    edtMaxNumericLength->setObjectName(QStringLiteral("edtMaxNumericLength"));
    edtMaxNumericLength->setReadOnly(true);
    edtMaxNumericLength->setFixedWidth(edtMaxNumericLength->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                                       12);
    updMaxNumericLength = new TNUpDown(NumericLengthMin, NumericLengthMax, numeric);
    updMaxNumericLength->setObjectName(QStringLiteral("updMaxNumericLength"));
    updMaxNumericLength->Associate(edtMaxNumericLength);
    TNOption* maxLength = BoundOption("MaxNumericLength");
    updMaxNumericLength->SetPosition(maxLength->AsInteger());
    edtMaxNumericLength->setText(QString::number(updMaxNumericLength->Position()));
    connect(updMaxNumericLength, &TNUpDown::PositionChanged, this, [this, maxLength](int position) {
        edtMaxNumericLength->setText(QString::number(position));
        maxLength->SetValue(position);
    });
    edtNumericAllowedChars = BoundEdit(numeric, "edtNumericAllowedChars", "NumericAllowedChars");
    auto* grid = new QGridLayout(numeric);
    grid->addWidget(Label(QStringLiteral("&Max Message Length : "), numeric, edtMaxNumericLength), 0, 0);
    auto* lengthRow = new QHBoxLayout;
    lengthRow->setSpacing(0);
    lengthRow->addWidget(edtMaxNumericLength);
    lengthRow->addWidget(updMaxNumericLength);
    lengthRow->addStretch(1);
    grid->addLayout(lengthRow, 0, 1);
    grid->addWidget(Label(QStringLiteral("&Allowed Characters : "), numeric, edtNumericAllowedChars), 1, 0);
    grid->addWidget(edtNumericAllowedChars, 1, 1);

    chkAllowSendingEmptyMessages =
        BoundCheckBox(page, "chkAllowSendingEmptyMessages", QStringLiteral("Allow Sending &Empty Messages"),
                      "AllowSendingEmptyMessages");
    chkWarnOnEmptyMessages =
        BoundCheckBox(page, "chkWarnOnEmptyMessages", QStringLiteral("&Warn on Empty Messages"), "WarnOnEmptyMessages");
    chkShowContactNamesOfGroups =
        BoundCheckBox(page, "chkShowContactNamesOfGroups", QStringLiteral("Show Contact Names Of Groups"),
                      "ShowContactNamesOfGroups");
    connect(chkAddDisplayNameToMessage, &QCheckBox::clicked, this, &TFormOptions::UpdateDependentControls);
    connect(chkAllowSendingEmptyMessages, &QCheckBox::clicked, this, &TFormOptions::UpdateDependentControls);

    auto* prefix = new QHBoxLayout;
    prefix->setSpacing(2);
    prefix->addWidget(chkAddDisplayNameToMessage);
    prefix->addWidget(lblFollowedByChar);
    prefix->addWidget(edtFollowedByChar);
    prefix->addStretch(1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(prefix);
    layout->addLayout(Indented(chkPrefixAddInEditor));
    layout->addWidget(chkEntryInUpperCase);
    layout->addWidget(chkClearMessageOnSend);
    layout->addWidget(numeric);
    layout->addWidget(chkAllowSendingEmptyMessages);
    layout->addLayout(Indented(chkWarnOnEmptyMessages));
    layout->addWidget(chkShowContactNamesOfGroups);
    layout->addStretch(1);
}

void TFormOptions::UpdateDependentControls()
{
    // The dependent options keep their values while their controls are
    // disabled.
    const bool prefix = chkAddDisplayNameToMessage->isChecked();
    lblFollowedByChar->setEnabled(prefix);
    edtFollowedByChar->setEnabled(prefix);
    chkPrefixAddInEditor->setEnabled(prefix);
    chkWarnOnEmptyMessages->setEnabled(chkAllowSendingEmptyMessages->isChecked());
}

void TFormOptions::BuildRecipientsPage()
{
    QWidget* page = tsRecipients;
    chkClearRecipientsOnSend =
        BoundCheckBox(page, "chkClearRecipientsOnSend", QStringLiteral("&Clear GUI Recipients List on Send"),
                      "ClearRecipientsOnSend");
    chkMessagesToGroupMembersSequentially =
        BoundCheckBox(page, "chkMessagesToGroupMembersSequentially",
                      QStringLiteral("Messages To Group Members Sequentially"), "MessagesToGroupMembersSequentially");
    chkMessagesToGroupMembersSequentially->setVisible(false);
    chkEnableTextFileRecipients = BoundCheckBox(
        page, "chkEnableTextFileRecipients", QStringLiteral("Enable Text File Recipients"), "EnableTextFileRecipients");
    chkEnableTextFileRecipients->setVisible(false);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(chkClearRecipientsOnSend);
    layout->addWidget(chkMessagesToGroupMembersSequentially);
    layout->addWidget(chkEnableTextFileRecipients);
    layout->addStretch(1);
}

void TFormOptions::BuildContactsTreePage()
{
    QWidget* page = tsContactsTree;
    cbLargeTreeIcons = BoundCheckBox(page, "cbLargeTreeIcons", QStringLiteral("&Large Tree Icons"), "LargeTreeIcons");
    btnDatabaseCaptionColor = new QPushButton(QStringLiteral("..."), page);
    btnDatabaseCaptionColor->setObjectName(QStringLiteral("btnDatabaseCaptionColor"));
    btnDatabaseCaptionColor->setAutoDefault(false);
    lblDatabaseCaptionColor = Label(QStringLiteral("&Choose Database Nodes Color : "), page, btnDatabaseCaptionColor,
                                    "lblDatabaseCaptionColor");
    // The label's font shows the colour.
    QPalette palette = lblDatabaseCaptionColor->palette();
    palette.setColor(QPalette::WindowText, ColorFromBGR(quint32(BoundOption("DatabaseCaptionColor")->AsInteger())));
    lblDatabaseCaptionColor->setPalette(palette);
    connect(btnDatabaseCaptionColor, &QPushButton::clicked, this, &TFormOptions::ChooseDatabaseCaptionColor);

    auto* colour = new QHBoxLayout;
    colour->addWidget(lblDatabaseCaptionColor);
    colour->addWidget(btnDatabaseCaptionColor);
    colour->addStretch(1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(cbLargeTreeIcons);
    layout->addLayout(colour);
    layout->addStretch(1);
}

void TFormOptions::ChooseDatabaseCaptionColor()
{
    const QColor chosen = QColorDialog::getColor(lblDatabaseCaptionColor->palette().color(QPalette::WindowText), this);
    if (!chosen.isValid())
        return;  // cancelled
    QPalette palette = lblDatabaseCaptionColor->palette();
    palette.setColor(QPalette::WindowText, chosen);
    lblDatabaseCaptionColor->setPalette(palette);
    BoundOption("DatabaseCaptionColor")->SetValue(int(BGRFromColor(chosen)));
}

void TFormOptions::BuildSharedDataPage()
{
    QWidget* page = tsSharedData;
    edtSharedFolder = BoundEdit(page, "edtSharedFolder", "SharedDataFolder");
    if (edtSharedFolder->text().trimmed().isEmpty()) {
        // No folder yet: the program's own, written at once so that it does
        // not count as a change.
        edtSharedFolder->setText(ProgramFolderWithoutSeparator());
        try {
            BoundOption("SharedDataFolder")->Save();
        } catch (const EProfileFileError& error) {
            MessageDlg(error.Message(), TMsgDlgType::mtError, mbOK);
        }
    }
    btnSharedFolder = new QPushButton(QStringLiteral("..."), page);
    btnSharedFolder->setObjectName(QStringLiteral("btnSharedFolder"));
    btnSharedFolder->setAutoDefault(false);
    connect(btnSharedFolder, &QPushButton::clicked, this, &TFormOptions::ChooseSharedFolder);
    auto* row = new QHBoxLayout;
    row->addWidget(edtSharedFolder, 1);
    row->addWidget(btnSharedFolder);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Label(QStringLiteral("Folder for storing Shared Data :"), page, edtSharedFolder));
    layout->addLayout(row);
    layout->addStretch(1);
}

void TFormOptions::ChooseSharedFolder()
{
    // No caption, starting at the top of the file system, nothing chosen.
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), QStringLiteral("/"));
    if (!folder.isEmpty())
        edtSharedFolder->setText(folder);
}
