#pragma once
// TFormFoldersTree: the pane at the left of the main window that shows every
// address book as a tree of folders, contacts and groups. The pane owns the
// controls and the commands; what the tree holds, and the rows behind its
// nodes, belong to the folder-tree model (data/folderstree.h), reached
// through FoldersTreeState.
//
// Commands are kept in the pop-up menu's order with an enabling rule each;
// the rules are evaluated whenever the program is idle (UpdateActions). A
// command that is not "always shown" is hidden while it is disabled. Editing
// commands are greyed (not hidden) outside the administrator role.
// Main thread only.

#include "data/adminlaunchers.h"
#include "data/nodekind.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <initializer_list>

class QAction;
class QLabel;
class QMenu;
class QKeySequence;
class QTreeWidget;
class TNTreeNode;
class TSCGTreeView;

class TFormFoldersTree : public QWidget {
    Q_OBJECT
public:
    explicit TFormFoldersTree(QWidget* parent = nullptr);
    ~TFormFoldersTree() override;

    // Rebuilds the data clients from the address-book list and reloads the
    // tree without deleting any row.
    void ReloadDatabases();
    // The update of the commands: enabled and shown states, separators, the
    // trailing separators hidden and the access rights, each set only when
    // it differs.
    void UpdateActions();
    // Outside the administrator role every editing command is disabled.
    void ApplyAccessRights();

    // Appends a command to the pop-up menu. EnabledWhen is its rule;
    // AlwaysShown keeps it visible while disabled; Editing marks the
    // commands that need the administrator role.
    void AddCommand(QAction* action, std::function<bool()> enabledWhen, bool alwaysShown, bool editing);
    // Appends a separator: shown always, or while a command of the group
    // just before it is shown.
    void AddSeparator(bool always);

    QLabel* lblTitle = nullptr;
    TSCGTreeView* tvFolders = nullptr;
    QTreeWidget* tvClipBoardTree = nullptr;
    QMenu* mnuTreePopup = nullptr;
    QAction* actAddToRecipients = nullptr;
    QAction* actNewFolder = nullptr;
    QAction* actRenameFolder = nullptr;
    QAction* actAddContact = nullptr;
    QAction* actAddGroup = nullptr;
    QAction* actRemove = nullptr;
    QAction* actNewContact = nullptr;
    QAction* actNewGroup = nullptr;
    QAction* actEditContact = nullptr;
    QAction* actEditGroup = nullptr;
    QAction* actDeleteContact = nullptr;
    QAction* actDeleteGroup = nullptr;
    QAction* actClearSelection = nullptr;
    QAction* actCopy = nullptr;
    QAction* actCut = nullptr;
    QAction* actPaste = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Stores which folders are open, once (at the close, or when the pane
    // goes); a failure is told among the failures of the close.
    void StoreOpenFolders() noexcept;

    struct TCommand {
        QAction* Action = nullptr;  // a separator when it is one
        std::function<bool()> EnabledWhen;
        bool AlwaysShown = false;
        bool Editing = false;
    };
    void BuildCommands();
    static bool Restricted(const TCommand& command);
    void BuildEditCommands();
    void BuildClipboardCommands();
    // The contact and group commands (frmfolderstreerecords.cpp), offered
    // while the administration windows' launchers are there.
    void BuildPlaceCommands();
    void BuildRecordCommands();
    QAction* AddRecordCommand(const char* name, const QString& caption, const QKeySequence& key, int help,
                              TNodeKind kind, TAdminOperation needs, bool onFolder,
                              const std::function<void(TNTreeNode*)>& operation);
    // Exactly one node is selected and it is of one of the kinds.
    bool OneSelectedOfKinds(std::initializer_list<int> kinds) const;
    void KeepSiblingSelection();
    // Runs a command's operation; an error is shown to the operator.
    void Run(const std::function<void()>& operation);

    QList<TCommand> m_commands;
    bool m_openFoldersStored = false;
};
