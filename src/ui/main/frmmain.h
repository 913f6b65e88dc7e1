#pragma once
// TFormMain: the application's main window. Menus, tool bar, the status bar
// (role, send progress), the host panels of the four panes with their
// splitters, and the action list whose update handler runs when the program
// is idle. The start-up logon runs at the first show. Main thread only.
//
// An action appears when the window it opens exists; the administration
// actions are added with their list windows through AddAdminAction (enabled
// only in the administrator role) and their menus and tool-bar groups.

#include "foundation/formbase.h"

#include <QList>
#include <QMainWindow>
#include <QTimer>

class QAction;
class QMenu;
class QPainter;
class QSplitter;
class QToolBar;
class TNStatusBar;
class TFormEmbedControl;
class TFormFoldersTree;
class TFormMessageEditor;
class TFormRecipients;

class TFormMain : public QMainWindow, public TFormBase {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The progress shown in the status bar (0, 0 until the first report).
    int SendCurrent = 0;
    int SendTotal = 0;
    // Shows "Msg <current> of <total>" and the bar; a completed display
    // (current = total) stays 500 ms, then both panels are emptied.
    void SetSendProgress(int current, int total);

    // Registers an administrator-only action: enabled exactly while
    // LogonRole is 2, re-checked whenever the program is idle.
    void AddAdminAction(QAction* action);
    // The action list's update handler (runs at idle time).
    void aclActionListUpdate();

    static constexpr int ClearProgressDelayMs = 500;

    QMenu* mnuSettings;
    QMenu* mnuTools;
    QMenu* mnuReports;
    QMenu* mnuHelp;
    QToolBar* tlbToolBar;
    TNStatusBar* stbStatusBar;

    QWidget* pnlEmbedControl;
    QWidget* pnlEmbedContacts;
    QSplitter* splVertical;
    QSplitter* pnlCenter;  // also splHorizontal: recipients above, editor below
    QSplitter* splHorizontal;
    QWidget* pnlEmbedRecipients;
    QWidget* pnlEmbedMessageEditor;

    // The panes, embedded at the first show (EmbedComposingPanes); null
    // before.
    TFormEmbedControl* FormEmbedControl = nullptr;
    TFormMessageEditor* FormMessageEditor = nullptr;
    TFormRecipients* FormRecipients = nullptr;
    TFormFoldersTree* FormFoldersTree = nullptr;
    QAction* actFocusOnRecipients = nullptr;  // Alt+P

    // Administration actions (F9, F10, F11, F7, F8, F12, and two without a
    // shortcut): present when their list window is registered
    // (adminlaunchers.h), enabled in the administrator role.
    QAction* actEditContactsNew = nullptr;
    QAction* actEditGroupsNew = nullptr;
    QAction* actEditTemplatesNew = nullptr;
    QAction* actEditCarriersNew = nullptr;
    QAction* actEditServersNew = nullptr;
    QAction* actDatabasesNew = nullptr;
    QAction* actDatabaseTypesNew = nullptr;     // its menu entry is hidden
    QAction* actEditCarrierTypesNew = nullptr;  // in no menu

    QAction* actLogon;
    QAction* actOptionsNew;  // administrator only
    QAction* actAbout;
    QAction* actHelp;
    QAction* actShowSentMessages;  // F3
    QAction* actClearOutMessagesTables;
    QAction* actClearSentMessagesTables;

    // After the address-book list was edited: the folder-tree pane rebuilds
    // the data clients and the tree, and the recipient list (whose entries
    // refer to the old clients) is emptied.
    void ReloadContactsTree();

signals:
    // The window was closed (system close, Alt+F4, failed start-up logon).
    void Closed();

protected:
    void LoadFormSettings(QString& section) override;
    void SaveFormSettings(QString& section) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void BuildActions();
    void FormShow();
    void ApplyImages();
    void BuildAdminActions();
    void EditDatabases();
    void ApplyAdminImages();
    void stbStatusBarDrawPanel(QPainter& painter, int panel, const QRect& rect);
    int ContactsWidth() const;
    int RecipientsHeight() const;

    QList<QAction*> m_adminActions;
    QTimer m_clearProgress;
    bool m_shown = false;
    int m_contactsWidth = 257;
    int m_recipientsHeight = 320;
};

// The main window while it exists (made by the start-up sequence).
extern TFormMain* FormMain;
