#include "ui/main/frmoptions.h"

#include "foundation/formsettings.h"
#include "foundation/options.h"
#include "foundation/yebcorner.h"
#include "platform/idleupdates.h"
#include "platform/profilefile.h"
#include "ui/main/optionsbinding.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kActiveTabIndex = QStringLiteral("ActiveTabIndex");

QWidget* Page(QTabWidget* pages, const char* name, const QString& caption, int helpContext)
{
    auto* page = new QWidget(pages);
    page->setObjectName(QString::fromLatin1(name));
    if (helpContext)
        page->setProperty("HelpContext", helpContext);
    pages->addTab(page, caption);
    return page;
}
}  // namespace

TFormOptions::TFormOptions(QWidget* parent) : QDialog(parent), TFormBase(this), m_applier(*Options)
{
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("  Tovix Options"));
    setProperty("HelpContext", 1057);

    pgOptions = new QTabWidget(this);
    pgOptions->setObjectName(QStringLiteral("pgOptions"));
    tsMessageEditor = Page(pgOptions, "tsMessageEditor", QStringLiteral("Message Editor"), 1058);
    tsRecipients = Page(pgOptions, "tsRecipients", QStringLiteral("Recipients"), 1059);
    tsContactsTree = Page(pgOptions, "tsContactsTree", QStringLiteral("Contacts Tree"), 1060);
    tsSharedData = Page(pgOptions, "tsSharedData", QStringLiteral("Shared Data"), 0);
    tsPasswords = Page(pgOptions, "tsPasswords", QStringLiteral("Passwords"), 1061);
    tsPopupWin = Page(pgOptions, "tsPopupWin", QStringLiteral("PopupWin"), 0);
    // Hidden, and disabled so that Ctrl+Tab (which skips only disabled
    // pages) never lands on it; it stays in place to keep the stored page
    // numbers of the pages after it.
    pgOptions->setTabVisible(pgOptions->indexOf(tsSharedData), false);
    pgOptions->setTabEnabled(pgOptions->indexOf(tsSharedData), false);

    BuildMessageEditorPage();
    BuildRecipientsPage();
    BuildContactsTreePage();
    BuildSharedDataPage();
    BuildPasswordsPage();
    BuildPopupWinPage();
    BuildButtons();
    UpdateDependentControls();
    pgOptions->setCurrentIndex(DesignedPage);

    resize(sizeHint().expandedTo(QSize(480, 400)));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    UpdateActions();
    OnIdle(this, [this] { UpdateActions(); });
    RestoreFormSettings();
}

TFormOptions::~TFormOptions()
{
    StoreFormSettings();
}

void TFormOptions::BuildButtons()
{
    actOk = DialogAction(this, "actOk", QStringLiteral("&OK"), [this] { OkExecute(); });
    actCancel = DialogAction(this, "actCancel", QStringLiteral("&Cancel"), [this] { CancelExecute(); });

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlButtons"));
    btnOK = ActionButton(panel, "btnOK", actOk);
    btnOK->setDefault(true);
    btnCancel = ActionButton(panel, "btnCancel", actCancel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 6, 22, 6);
    row->addStretch(1);
    row->addWidget(btnOK);
    row->addWidget(btnCancel);
    YebCorner1 = new TYebCorner(panel);
    YebCorner1->setObjectName(QStringLiteral("YebCorner1"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(pgOptions, 1);
    layout->addWidget(panel);
}

void TFormOptions::UpdateActions()
{
    actOk->setEnabled(Options->Modified());
    actApplyUserPass->setEnabled(NewPasswordDiffers(edtNewPasswordUser->text(), CurrentUserPassword));
    actApplyAdminPass->setEnabled(NewPasswordDiffers(edtNewPasswordAdmin->text(), CurrentAdminPassword));
}

void TFormOptions::OkExecute()
{
    // The rule is checked again: Enter may come before the idle update.
    if (!Options->Modified())
        return;
    if (m_applier.Apply())
        accept();
}

void TFormOptions::CancelExecute()
{
    m_applier.Cancel();
    reject();
}

void TFormOptions::keyPressEvent(QKeyEvent* event)
{
    // Esc is the Cancel button; the close box (reject) leaves the values as
    // edited.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        actCancel->trigger();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormOptions::LoadFormSettings(QString& section)
{
    TFormBase::LoadFormSettings(section);
    if (!FormSettingsIni)
        return;
    const int stored = FormSettingsIni->ReadInteger(section, kActiveTabIndex, pgOptions->currentIndex());
    const int page = PageToShow(stored, pgOptions->count(), pgOptions->currentIndex());
    // A hidden page is not offered.
    if (pgOptions->isTabVisible(page))
        pgOptions->setCurrentIndex(page);
}

void TFormOptions::SaveFormSettings(QString& section)
{
    TFormBase::SaveFormSettings(section);
    if (FormSettingsIni)
        FormSettingsIni->WriteInteger(section, kActiveTabIndex, pgOptions->currentIndex());
}

void ShowOptionsDialog(QWidget* parent)
{
    TFormOptions dialog(parent);
    dialog.exec();
}
