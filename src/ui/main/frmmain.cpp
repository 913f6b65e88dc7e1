#include "ui/main/frmmain.h"

#include "data/dmmaintenance.h"
#include "data/folderstreecut.h"
#include "foundation/actionstate.h"
#include "foundation/formsettings.h"
#include "foundation/helpfile.h"
#include "foundation/images.h"
#include "foundation/logonrole.h"
#include "foundation/options.h"
#include "platform/idleupdates.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmembedcontrolpanes.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmlogon.h"
#include "ui/main/frmoptions.h"
#include "ui/main/frmrecipients.h"
#include "ui/main/frmsentmessages.h"
#include "ui/main/statusbar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QToolBar>
#include <algorithm>

TFormMain* FormMain = nullptr;

namespace {
const QString kContactsWidth = QStringLiteral("pnlEmbedContactsWidth");
const QString kRecipientsHeight = QStringLiteral("pnlEmbedRecipientsHeight");

bool OptionFlag(const char* name)
{
    return Options && Options->OptionByName(QString::fromLatin1(name))->AsBool();
}

QWidget* HostPanel(const char* name, QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    return panel;
}
}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), TFormBase(this)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Tovix 2"));
    setProperty("HelpContext", 1002);
    BuildLayout();
    BuildActions();
    // Designed client area 792 x 482, maximised.
    resize(792, 482 + menuBar()->sizeHint().height());
    setWindowState(Qt::WindowMaximized);

    m_clearProgress.setSingleShot(true);
    m_clearProgress.setInterval(ClearProgressDelayMs);
    connect(&m_clearProgress, &QTimer::timeout, this, [this] { SetSendProgress(0, 10); });

    SetLogonRoleDisplay(this, [this](const QIcon& icon, const QString& text) {
        stbStatusBar->SetPanelIcon(0, icon);
        stbStatusBar->SetPanelText(0, text);
    });
    OnIdle(this, [this] { aclActionListUpdate(); });
    FormMain = this;
    RestoreFormSettings();
}

TFormMain::~TFormMain()
{
    // The report reads the local database on the data module's connection,
    // which goes after this window.
    CloseSentMessages();
    StoreFormSettings();
    if (FormMain == this)
        FormMain = nullptr;
}

void TFormMain::BuildLayout()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // Left the folder tree, in the centre recipients above the message
    // editor, on the right the send bar. The panes are embedded later.
    splVertical = new QSplitter(Qt::Horizontal, central);
    splVertical->setObjectName(QStringLiteral("splVertical"));
    splVertical->setHandleWidth(10);
    splVertical->setChildrenCollapsible(false);
    pnlEmbedContacts = HostPanel("pnlEmbedContacts", splVertical);
    pnlEmbedContacts->setMinimumWidth(8 * fontMetrics().averageCharWidth());
    splHorizontal = new QSplitter(Qt::Vertical, splVertical);
    splHorizontal->setObjectName(QStringLiteral("splHorizontal"));
    splHorizontal->setHandleWidth(10);
    splHorizontal->setChildrenCollapsible(false);
    pnlCenter = splHorizontal;
    pnlEmbedRecipients = HostPanel("pnlEmbedRecipients", splHorizontal);
    // The panes' own layouts give their least sizes; the recipients list
    // keeps room for its header and a row or two.
    pnlEmbedRecipients->setMinimumHeight(4 * fontMetrics().lineSpacing());
    pnlEmbedMessageEditor = HostPanel("pnlEmbedMessageEditor", splHorizontal);
    splVertical->setStretchFactor(0, 0);
    splVertical->setStretchFactor(1, 1);
    splHorizontal->setStretchFactor(0, 0);
    splHorizontal->setStretchFactor(1, 1);
    row->addWidget(splVertical, 1);
    pnlEmbedControl = HostPanel("pnlEmbedControl", central);
    row->addWidget(pnlEmbedControl);
    setCentralWidget(central);
    splVertical->setSizes({m_contactsWidth, 1000});
    splHorizontal->setSizes({m_recipientsHeight, 1000});

    tlbToolBar = addToolBar(QStringLiteral("Tool bar"));
    tlbToolBar->setObjectName(QStringLiteral("tlbToolBar"));
    tlbToolBar->setMovable(false);
    tlbToolBar->setIconSize(QSize(24, 24));
    tlbToolBar->setProperty("HelpContext", 1004);

    stbStatusBar = new TNStatusBar(this);
    // Panel 0 is 70 wide at design; it grows when this font would clip the
    // longer role word beside its icon.
    const int roleWidth = 16 + 10 + stbStatusBar->fontMetrics().horizontalAdvance(RoleWordAdmin);
    stbStatusBar->SetPanelWidths({std::max(70, roleWidth), 80, 120, 50});
    // Panel 1 is 80 wide at design; it grows to hold the progress of a send
    // of thousands of rows in this font.
    stbStatusBar->FitPanelToText(1, SendProgressText(9999, 9999));
    stbStatusBar->SetOwnerDrawn(1, true);
    stbStatusBar->SetOwnerDrawn(2, true);
    stbStatusBar->SetDrawPanel(
        [this](QPainter& painter, int panel, const QRect& rect) { stbStatusBarDrawPanel(painter, panel, rect); });
    stbStatusBar->setProperty("HelpContext", 1003);
    setStatusBar(stbStatusBar);
}

namespace {
// Runs one of the maintenance clear-outs; asks nothing, and a database error
// is shown rather than left to the event loop.
void RunMaintenance(const std::function<void()>& work)
{
    if (!DModMaintenance || !DModMaintenance->Usable())
        return;
    try {
        work();
    } catch (const std::exception& e) {
        MessageDlg(QString::fromUtf8(e.what()), TMsgDlgType::mtError, mbOK);
    }
}
}  // namespace

void TFormMain::BuildActions()
{
    mnuSettings = menuBar()->addMenu(QStringLiteral("S&ettings"));
    mnuSettings->setProperty("HelpContext", 1005);
    mnuTools = menuBar()->addMenu(QStringLiteral("T&ools"));
    mnuTools->setProperty("HelpContext", 2000);
    mnuReports = menuBar()->addMenu(QStringLiteral("&Reports"));
    mnuReports->setProperty("HelpContext", 1015);
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setProperty("HelpContext", 1016);

    // "S&ettings": the list windows registered at start-up; groups,
    // templates and databases come with their list windows.
    BuildAdminActions();

    // "T&ools": logon, then the options dialog, a separator and
    // "Maintenance" (with the data tables' clearing actions).
    actLogon = new QAction(LogonActionCaption(), this);
    actLogon->setObjectName(QStringLiteral("actLogon"));
    actLogon->setProperty("HelpContext", 1012);
    connect(actLogon, &QAction::triggered, this, [] { ExecuteLogonAction(); });
    mnuTools->addAction(actLogon);
    actOptionsNew = new QAction(QStringLiteral("&Options"), this);
    actOptionsNew->setObjectName(QStringLiteral("actOptionsNew"));
    actOptionsNew->setProperty("HelpContext", 1013);
    connect(actOptionsNew, &QAction::triggered, this, [this] { ShowOptionsDialog(this); });
    mnuTools->addAction(actOptionsNew);
    AddAdminAction(actOptionsNew);
    mnuTools->addSeparator();
    QMenu* maintenance = mnuTools->addMenu(QStringLiteral("Maintenance"));
    maintenance->setProperty("HelpContext", 1014);
    QMenu* tables = maintenance->addMenu(QStringLiteral("Tables"));
    actClearOutMessagesTables = new QAction(QStringLiteral("Clear OutMessages Tables"), this);
    actClearOutMessagesTables->setObjectName(QStringLiteral("actClearOutMessagesTables"));
    connect(actClearOutMessagesTables, &QAction::triggered, this,
            [] { RunMaintenance([] { DModMaintenance->ClearOutMessages(); }); });
    tables->addAction(actClearOutMessagesTables);
    actClearSentMessagesTables = new QAction(QStringLiteral("Clear SentMessages Tables"), this);
    actClearSentMessagesTables->setObjectName(QStringLiteral("actClearSentMessagesTables"));
    connect(actClearSentMessagesTables, &QAction::triggered, this,
            [] { RunMaintenance([] { DModMaintenance->ClearSentMessages(); }); });
    tables->addAction(actClearSentMessagesTables);

    actShowSentMessages = new QAction(QStringLiteral("&Sent Messages"), this);
    actShowSentMessages->setObjectName(QStringLiteral("actShowSentMessages"));
    actShowSentMessages->setShortcut(QKeySequence(Qt::Key_F3));
    actShowSentMessages->setToolTip(QStringLiteral("Sent Messages Report"));
    actShowSentMessages->setStatusTip(actShowSentMessages->toolTip());
    connect(actShowSentMessages, &QAction::triggered, this, [] { ShowSentMessages(); });
    mnuReports->addAction(actShowSentMessages);

    actAbout = new QAction(QStringLiteral("&About ..."), this);
    actAbout->setObjectName(QStringLiteral("actAbout"));
    connect(actAbout, &QAction::triggered, this, [] { ShowAboutBox(QString()); });
    mnuHelp->addAction(actAbout);

    actHelp = new QAction(QStringLiteral("&Help"), this);
    actHelp->setObjectName(QStringLiteral("actHelp"));
    actHelp->setShortcut(QKeySequence(Qt::Key_F1));
    actHelp->setToolTip(QStringLiteral("Open Help file"));
    actHelp->setStatusTip(actHelp->toolTip());
    connect(actHelp, &QAction::triggered, this, [] { ShowHelpTopic(1000); });
    mnuHelp->addAction(actHelp);

    // Tool bar groups: contacts, groups, templates | carriers, servers |
    // databases | sent messages | help (the administration groups were
    // added with their actions).
    tlbToolBar->addAction(actShowSentMessages);
    tlbToolBar->addSeparator();
    tlbToolBar->addAction(actHelp);
}

void TFormMain::ApplyImages()
{
    // The image module is made after this window; its pictures are taken at
    // the first show.
    if (DataModuleImages) {
        actHelp->setIcon(DataModuleImages->imglToolBar.Icon(tbiHelp));
        actShowSentMessages->setIcon(DataModuleImages->imglToolBar.Icon(tbiSentMessages));
        ApplyAdminImages();
    }
}

void TFormMain::AddAdminAction(QAction* action)
{
    m_adminActions << action;
    action->setEnabled(LogonRole == RoleAdmin);
}

void TFormMain::aclActionListUpdate()
{
    // Each state is set only when it differs, so that an idle pass that finds
    // nothing changed touches no control.
    const bool admin = LogonRole == RoleAdmin;
    for (QAction* action : std::as_const(m_adminActions))
        SetActionEnabled(action, admin);
    const QString caption = LogonActionCaption();
    if (actLogon->text() != caption)
        actLogon->setText(caption);
    // A top menu shows while it holds a visible entry.
    for (QMenu* menu : {mnuSettings, mnuTools, mnuReports, mnuHelp}) {
        bool any = false;
        for (QAction* a : menu->actions())
            any = any || (a->isVisible() && !a->isSeparator());
        SetActionVisible(menu->menuAction(), any);
    }
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ApplyImages();
    aclActionListUpdate();
    // Queued: the logon dialog runs from the event loop, not inside show().
    QMetaObject::invokeMethod(this, &TFormMain::FormShow, Qt::QueuedConnection);
}

void TFormMain::FormShow()
{
    // The panes are embedded here, in this order: the send bar into
    // pnlEmbedControl, the message editor into pnlEmbedMessageEditor, the
    // recipients into pnlEmbedRecipients, the folder tree into
    // pnlEmbedContacts.
    EmbedComposingPanes(*this);
    FormFoldersTree = new TFormFoldersTree(pnlEmbedContacts);
    pnlEmbedContacts->layout()->addWidget(FormFoldersTree);
    FormFoldersTree->setVisible(true);
    OrderPanesForTab(*this);

    if (OptionFlag("LogonOnStart")) {
        if (LogonAtStartup() == 0) {
            MessageDlg(QStringLiteral("Tovix : Logon Unsuccessful. Exiting."), TMsgDlgType::mtWarning, mbOK);
            close();
        }
        return;
    }
    LogonRole = OptionFlag("LogonAsUser") ? RoleUser : RoleAdmin;
    ShowLogonRole();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    // Asked while every window is still there; Cancel keeps the program.
    if (!MayCloseWithCut()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit Closed();
}

void TFormMain::SetSendProgress(int current, int total)
{
    SendCurrent = current;
    SendTotal = total;
    // A larger send widens the panel so that its whole text shows.
    stbStatusBar->FitPanelToText(1, SendProgressText(current, total));
    stbStatusBar->FitPanelToText(1, SendProgressText(total, total));
    for (int panel : {1, 2})
        stbStatusBar->update(stbStatusBar->PanelRect(panel));
    // A completed display stays a moment, then both panels are emptied; the
    // pause is a timer, so the program stays responsive meanwhile.
    if (SendCurrent == SendTotal)
        m_clearProgress.start();
    else
        m_clearProgress.stop();
}

void TFormMain::stbStatusBarDrawPanel(QPainter& painter, int panel, const QRect& rect)
{
    if (panel == 1) {
        const QString text = SendProgressText(SendCurrent, SendTotal);
        if (!text.isEmpty()) {
            painter.setPen(stbStatusBar->palette().color(QPalette::WindowText));
            painter.drawText(rect.adjusted(0, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        }
    } else if (panel == 2) {
        const int fill = SendProgressFillWidth(rect.width(), SendCurrent, SendTotal);
        if (fill > 0)
            painter.fillRect(QRect(rect.left(), rect.top(), fill, rect.height()),
                             stbStatusBar->palette().color(QPalette::Highlight));
        if (SendCurrent < SendTotal || fill == 0)
            painter.fillRect(QRect(rect.left() + fill, rect.top(), rect.width() - fill, rect.height()),
                             stbStatusBar->palette().color(QPalette::Window));
    }
}

int TFormMain::ContactsWidth() const
{
    const QList<int> sizes = splVertical->sizes();
    return m_shown && !sizes.isEmpty() ? sizes.first() : m_contactsWidth;
}

int TFormMain::RecipientsHeight() const
{
    const QList<int> sizes = splHorizontal->sizes();
    return m_shown && !sizes.isEmpty() ? sizes.first() : m_recipientsHeight;
}

void TFormMain::LoadFormSettings(QString& section)
{
    TFormBase::LoadFormSettings(section);
    if (!FormSettingsIni)
        return;
    m_contactsWidth = FormSettingsIni->ReadInteger(section, kContactsWidth, m_contactsWidth);
    m_recipientsHeight = FormSettingsIni->ReadInteger(section, kRecipientsHeight, m_recipientsHeight);
    splVertical->setSizes({m_contactsWidth, 1000});
    splHorizontal->setSizes({m_recipientsHeight, 1000});
}

void TFormMain::SaveFormSettings(QString& section)
{
    TFormBase::SaveFormSettings(section);
    if (!FormSettingsIni)
        return;
    FormSettingsIni->WriteInteger(section, kContactsWidth, ContactsWidth());
    FormSettingsIni->WriteInteger(section, kRecipientsHeight, RecipientsHeight());
}

void TFormMain::ReloadContactsTree()
{
    if (!FormFoldersTree)
        return;
    // The recipients refer to the clients about to be replaced: they go
    // first, so nothing reaches a freed client while an error box is up.
    ClearRecipients();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FormFoldersTree->setUpdatesEnabled(false);
    try {
        FormFoldersTree->ReloadDatabases();
    } catch (const std::exception& e) {
        FormFoldersTree->setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
        MessageDlg(QString::fromLocal8Bit(e.what()), TMsgDlgType::mtError, mbOK);
        return;
    }
    FormFoldersTree->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}
