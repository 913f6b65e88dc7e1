#include "ui/main/frmfolderstree.h"

#include "data/dmlocaldata.h"
#include "data/folderstree.h"
#include "data/folderstreeclipboard.h"
#include "data/folderstreecut.h"
#include "data/folderstreeedit.h"
#include "data/folderstreerecords.h"
#include "data/folderstreeselection.h"
#include "db/dberror.h"
#include "foundation/actionstate.h"
#include "foundation/dmoptions.h"
#include "foundation/logonrole.h"
#include "foundation/options.h"
#include "foundation/scgtreeview.h"
#include "platform/closereport.h"
#include "platform/idleupdates.h"
#include "platform/messagedlg.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {
// Root nodes in the address-book caption colour, white while selected.
class TFolderTreeDelegate : public QStyledItemDelegate {
public:
    TFolderTreeDelegate(QTreeWidget* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const TNTreeNode* node = TNTreeNode::From(m_tree->itemFromIndex(index));
        const bool dropTarget = node && node == FoldersTreeState->DropTarget;
        if (dropTarget)
            option->state |= QStyle::State_Selected;
        const bool selected = option->state & QStyle::State_Selected;
        const TNodeColors colors = TreeCustomDrawItem(node, selected, dropTarget);
        if (colors.Text.isValid()) {
            option->palette.setColor(QPalette::Text, colors.Text);
            option->palette.setColor(QPalette::HighlightedText, colors.Text);
        }
    }

    // The model checks and stores a new name; the item is looked up first,
    // since storing it may sort the siblings.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        TNTreeNode* node = TNTreeNode::From(m_tree->itemFromIndex(index));
        if (!edit || !node) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        QString text = edit->text();
        try {
            FoldersTreeState->TreeEdited(node, text);
        } catch (const std::exception& e) {
            MessageDlg(QString::fromLocal8Bit(e.what()), TMsgDlgType::mtError, mbOK);
            return;
        }
        node->SetCaption(text);
    }

private:
    QTreeWidget* m_tree;
};

QAction* MakeAction(QWidget* owner, const char* name, const QString& caption, const QKeySequence& key, int help)
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    // The keys act while the tree has the focus.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setProperty("HelpContext", help);
    owner->addAction(action);
    return action;
}

bool LargeTreeIconsOption()
{
    TNOption* option = Options ? Options->FindOption(QStringLiteral("LargeTreeIcons")) : nullptr;
    return option && option->AsBool();
}
}  // namespace

TFormFoldersTree::TFormFoldersTree(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormFoldersTree"));
    setProperty("HelpContext", 1017);

    tvFolders = new TSCGTreeView(this);
    tvFolders->setObjectName(QStringLiteral("tvFolders"));
    tvFolders->setHeaderHidden(true);
    tvFolders->setColumnCount(1);
    tvFolders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvFolders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvFolders->setSortingEnabled(false);
    tvFolders->setUniformRowHeights(true);
    tvFolders->setItemDelegate(new TFolderTreeDelegate(tvFolders));
    // Queued: an item's own selection flag is set after the change is
    // announced, so a deselection inside the announcement would not stick.
    connect(tvFolders, &QTreeWidget::itemSelectionChanged, this, &TFormFoldersTree::KeepSiblingSelection,
            Qt::QueuedConnection);

    lblTitle = new QLabel(QStringLiteral("Co&ntacts"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setBuddy(tvFolders);
    lblTitle->setMargin(2);

    tvClipBoardTree = new QTreeWidget(this);
    tvClipBoardTree->setObjectName(QStringLiteral("tvClipBoardTree"));
    tvClipBoardTree->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lblTitle);
    layout->addWidget(tvFolders, 1);
    layout->addWidget(tvClipBoardTree);

    BuildCommands();

    FoldersTreeState->AttachToForm(this, tvFolders, tvClipBoardTree);
    // The option's change handler switches the images from now on.
    OnLargeTreeIconsChanged = [](bool large) {
        if (large)
            FoldersTreeState->SetLargeIcons();
        else
            FoldersTreeState->SetSmallIcons();
    };
    OnLargeTreeIconsChanged(LargeTreeIconsOption());
    OnDatabaseCaptionColorChanged = [this] { tvFolders->viewport()->update(); };
    OnIdle(this, [this] { UpdateActions(); });
    // The open folders are stored when the program closes, while the whole
    // window still stands and a failure can be told.
    OnProgramClose(this, [this] { StoreOpenFolders(); });
}

TFormFoldersTree::~TFormFoldersTree()
{
    // From here on deleted nodes touch neither the model's rows nor the
    // database; the expanded folders are stored (unless the close did) while
    // every node exists.
    FoldersTreeState->Destroying = true;
    OnLargeTreeIconsChanged = nullptr;
    OnDatabaseCaptionColorChanged = nullptr;
    StoreOpenFolders();
    FoldersTreeState->ForgetAllNodes();
}

void TFormFoldersTree::StoreOpenFolders() noexcept
{
    if (m_openFoldersStored)
        return;
    m_openFoldersStored = true;
    QString reason;
    try {
        FoldersTreeState->FormDestroy();
        return;
    } catch (const std::exception& e) {
        reason = QString::fromUtf8(e.what());
    } catch (...) {
        reason = QStringLiteral("Unknown error.");
    }
    ReportCloseFailure(QStringLiteral("The open folders of the folder tree could not be stored in "
                                      "\"LocalData2.mdb\": %1. The tree opens as it was stored before.")
                           .arg(DatabaseWriteFailureWords(reason)));
}

void TFormFoldersTree::BuildCommands()
{
    mnuTreePopup = new QMenu(this);
    mnuTreePopup->setObjectName(QStringLiteral("mnuTreePopup"));
    tvFolders->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvFolders, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        UpdateActions();
        mnuTreePopup->popup(tvFolders->viewport()->mapToGlobal(pos));
    });

    actAddToRecipients = MakeAction(tvFolders, "actAddToRecipients", QStringLiteral("Add to Recipients"),
                                    QKeySequence(Qt::CTRL | Qt::Key_R), 1021);
    connect(actAddToRecipients, &QAction::triggered, this,
            [this] { Run([this] { AddSelectedToRecipients(tvFolders, true); }); });
    AddCommand(
        actAddToRecipients,
        [this] {
            const TNTreeNode* node = SelectedNode(tvFolders);
            return node && node->Kind != nkDatabase && SelectionHasRecipients(tvFolders, true);
        },
        true, false);
    AddSeparator(true);
    BuildEditCommands();

    actClearSelection = MakeAction(tvFolders, "actClearSelection", QStringLiteral("Clear Selection"),
                                   QKeySequence(Qt::Key_Escape), 1033);
    connect(actClearSelection, &QAction::triggered, this, [this] { ClearTreeSelection(tvFolders); });
    AddCommand(
        actClearSelection, [this] { return !tvFolders->selectedItems().isEmpty(); }, false, false);
    AddSeparator(true);
    BuildClipboardCommands();
}

bool TFormFoldersTree::OneSelectedOfKinds(std::initializer_list<int> kinds) const
{
    if (tvFolders->selectedItems().size() != 1)
        return false;
    const TNTreeNode* node = SelectedNode(tvFolders);
    return node && std::find(kinds.begin(), kinds.end(), int(node->Kind)) != kinds.end();
}

QAction* TFormFoldersTree::AddRecordCommand(const char* name, const QString& caption, const QKeySequence& key, int help,
                                            TNodeKind kind, TAdminOperation needs, bool onFolder,
                                            const std::function<void(TNTreeNode*)>& operation)
{
    QAction* action = MakeAction(tvFolders, name, caption, key, help);
    connect(action, &QAction::triggered, this, [this, operation] {
        Run([this, operation] {
            if (TNTreeNode* node = SelectedNode(tvFolders))
                operation(node);
        });
    });
    AddCommand(
        action,
        [this, kind, needs, onFolder] {
            const bool selection =
                onFolder ? OneSelectedOfKinds({nkFolder, nkDatabase}) : OneSelectedOfKinds({int(kind)});
            return selection && CanRunRecordOperation(kind, needs);
        },
        false, true);
    return action;
}

void TFormFoldersTree::BuildEditCommands()
{
    actNewFolder =
        MakeAction(tvFolders, "actNewFolder", QStringLiteral("New &Folder"), QKeySequence(Qt::CTRL | Qt::Key_F), 1022);
    connect(actNewFolder, &QAction::triggered, this, [this] {
        Run([this] {
            if (TNTreeNode* node = SelectedNode(tvFolders))
                StartEditingNode(tvFolders, AddNewFolder(node));
        });
    });
    AddCommand(
        actNewFolder,
        [this] {
            return OneSelectedOfKinds({nkFolder, nkDatabase});
        },
        false, true);

    actRenameFolder =
        MakeAction(tvFolders, "actRenameFolder", QStringLiteral("Re&name Folder"), QKeySequence(Qt::Key_F2), 1023);
    connect(actRenameFolder, &QAction::triggered, this,
            [this] { Run([this] { StartEditingNode(tvFolders, SelectedNode(tvFolders)); }); });
    AddCommand(
        actRenameFolder, [this] { return OneSelectedOfKinds({nkFolder}); }, false, true);
    AddSeparator(false);
    BuildPlaceCommands();

    actRemove = MakeAction(tvFolders, "actRemove", QStringLiteral("&Remove"), QKeySequence(Qt::Key_Delete), 1026);
    connect(actRemove, &QAction::triggered, this, [this] {
        // The clipboard keeps what it holds: a copy stays pasteable, and a
        // cut is still waiting for its paste.
        Run([this] { RemoveSelectedNodes(tvFolders, true); });
    });
    AddCommand(
        actRemove,
        [this] {
            const TNTreeNode* node = SelectedNode(tvFolders);
            return node && node->Kind != nkDatabase;
        },
        false, true);
    AddSeparator(false);
    BuildRecordCommands();
}

void TFormFoldersTree::BuildClipboardCommands()
{
    const auto canCopy = [this] {
        const TNTreeNode* node = SelectedNode(tvFolders);
        return node && node->Kind != nkDatabase && SelectionInOneDatabase(tvFolders);
    };
    actCopy = MakeAction(tvFolders, "actCopy", QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), 1034);
    connect(actCopy, &QAction::triggered, this,
            [this] { Run([this] { CopySelectionToClipboard(tvFolders, tvClipBoardTree); }); });
    AddCommand(actCopy, canCopy, true, true);

    actCut = MakeAction(tvFolders, "actCut", QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), 1034);
    connect(actCut, &QAction::triggered, this,
            [this] { Run([this] { CutSelectionToClipboard(tvFolders, tvClipBoardTree); }); });
    AddCommand(actCut, canCopy, true, true);

    actPaste = MakeAction(tvFolders, "actPaste", QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), 1035);
    connect(actPaste, &QAction::triggered, this,
            [this] { Run([this] { PasteFromClipboard(tvClipBoardTree, tvFolders); }); });
    AddCommand(
        actPaste,
        [this] {
            // Offered on a folder of another book too, where the paste says
            // why it is refused.
            const TNTreeNode* root = ClipboardRoot(tvClipBoardTree);
            return root && root->childCount() > 0 && OneSelectedOfKinds({nkFolder, nkDatabase});
        },
        true, true);
}

void TFormFoldersTree::AddCommand(QAction* action, std::function<bool()> enabledWhen, bool alwaysShown, bool editing)
{
    mnuTreePopup->addAction(action);
    m_commands.append({action, std::move(enabledWhen), alwaysShown, editing});
}

void TFormFoldersTree::AddSeparator(bool always)
{
    m_commands.append({mnuTreePopup->addSeparator(), nullptr, always, false});
}

void TFormFoldersTree::UpdateActions()
{
    // Every state is worked out first and set once, only where it differs:
    // a pass that finds nothing changed touches no action, so it causes no
    // repaint and no further update.
    QList<QAction*> actions;
    QList<bool> shown;
    QList<bool> enabled;
    bool groupShown = false;
    for (const TCommand& command : std::as_const(m_commands)) {
        actions << command.Action;
        if (command.Action->isSeparator()) {
            shown << (command.AlwaysShown || groupShown);
            enabled << true;
            groupShown = false;
            continue;
        }
        const bool on = command.EnabledWhen && command.EnabledWhen();
        shown << (command.AlwaysShown || on);
        // The shown state follows the rule; access rights only grey.
        enabled << (on && !Restricted(command));
        groupShown = groupShown || shown.last();
    }
    HideTrailingSeparators(actions, shown);
    for (qsizetype i = 0; i < actions.size(); ++i) {
        SetActionVisible(actions.at(i), shown.at(i));
        SetActionEnabled(actions.at(i), enabled.at(i));
    }
}

bool TFormFoldersTree::Restricted(const TCommand& command)
{
    return command.Editing && LogonRole != RoleAdmin;
}

void TFormFoldersTree::ApplyAccessRights()
{
    for (const TCommand& command : std::as_const(m_commands))
        if (Restricted(command))
            SetActionEnabled(command.Action, false);
}

void TFormFoldersTree::ReloadDatabases()
{
    // The nodes refer to the clients about to go: they go first (keeping
    // their rows), so no node outlives its client even when the rebuild
    // fails. The clipboard and a cut are kept, by their books' GUIDs.
    const QHash<TBaseDataClient*, QString> clipboardBooks = ClipboardBookGuids();
    {
        const bool wasReloading = FoldersTreeState->Reloading;
        FoldersTreeState->Reloading = true;
        FoldersTreeState->ForgetAllNodes();
        tvFolders->clear();
        FoldersTreeState->Reloading = wasReloading;
    }
    if (DModLocalData) {
        DModLocalData->DestroyDataClients();
        try {
            DModLocalData->CreateDataClients();
        } catch (...) {
            // The books made before the failure are shown; the error goes on.
            RebindClipboardBooks(clipboardBooks);
            ReloadFoldersTree(tvFolders);
            throw;
        }
    }
    RebindClipboardBooks(clipboardBooks);
    ReloadFoldersTree(tvFolders);
}

void TFormFoldersTree::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window coming back from the task bar is no new show of the pane.
    if (event->spontaneous())
        return;
    Run([] { FoldersTreeState->FormShow(); });
}

void TFormFoldersTree::KeepSiblingSelection()
{
    // Several nodes may be selected only among siblings: the ones under
    // another parent than the primary node's are let go.
    const QList<QTreeWidgetItem*> selected = tvFolders->selectedItems();
    if (selected.size() < 2)
        return;
    QTreeWidgetItem* primary = tvFolders->currentItem();
    if (!primary || !primary->isSelected())
        primary = selected.first();
    const QSignalBlocker blocker(tvFolders);
    for (QTreeWidgetItem* item : selected)
        if (item->parent() != primary->parent())
            item->setSelected(false);
    tvFolders->viewport()->update();
}

void TFormFoldersTree::Run(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const std::exception& e) {
        MessageDlg(QString::fromLocal8Bit(e.what()), TMsgDlgType::mtError, mbOK);
    }
}
