#include "ui/main/frmrecipients.h"

#include "data/recipients.h"
#include "data/recipientsdrop.h"
#include "foundation/actionstate.h"
#include "foundation/formsettings.h"
#include "foundation/images.h"
#include "platform/closereport.h"
#include "platform/idleupdates.h"
#include "platform/profilefile.h"

#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>

namespace {
const QString kSection = QStringLiteral("TFormRecipients");
constexpr int kDefaultWidths[TNRecipientList::ColumnCount] = {90, 180, 250};

QAction* MakeAction(QWidget* owner, const QString& caption, const QKeySequence& key)
{
    auto* action = new QAction(caption, owner);
    action->setShortcut(key);
    // The keys act while the list has the focus (Ctrl+A in the message
    // editor stays the editor's).
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(action);
    return action;
}
}  // namespace

TFormRecipients::TFormRecipients(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormRecipients"));
    setProperty("HelpContext", 1018);
    m_list = new TNRecipientList(this);
    m_list->SetImageProvider([](int index) -> QVariant {
        if (!DataModuleImages)
            return {};
        return DataModuleImages->imglFoldersSmall.Icon(index);
    });
    RecipientList = m_list;

    lvRecipients = new QTreeView(this);
    lvRecipients->setObjectName(QStringLiteral("lvRecipients"));
    lvRecipients->setRootIsDecorated(false);
    lvRecipients->setItemsExpandable(false);
    lvRecipients->setUniformRowHeights(true);
    lvRecipients->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvRecipients->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvRecipients->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvRecipients->setIconSize(QSize(16, 16));
    lvRecipients->setModel(m_list);
    lvRecipients->setSelectionModel(m_list->SelectionModel());
    lvRecipients->header()->setStretchLastSection(false);
    lvRecipients->header()->setSectionsMovable(false);
    for (int i = 0; i < TNRecipientList::ColumnCount; ++i)
        lvRecipients->setColumnWidth(i, kDefaultWidths[i]);
    // A width set by the operator (dragging the title's edge) is kept: new
    // names no longer widen the column.
    connect(lvRecipients->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column == 0 && !m_fittingNames)
            m_fitNames = false;
    });
    connect(m_list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { FitNames(first, last); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lvRecipients);
    // Folder-tree nodes dragged here become recipients.
    DummyListObject->AttachToForm(lvRecipients);

    actAddContacts = MakeAction(lvRecipients, QStringLiteral("Add Contact"), QKeySequence(Qt::Key_F4));
    actAddGroups = MakeAction(lvRecipients, QStringLiteral("Add Group"), QKeySequence(Qt::Key_F5));
    actRemoveSelected = MakeAction(lvRecipients, QStringLiteral("Clear Selected"), QKeySequence(Qt::Key_Delete));
    actRemoveAll = MakeAction(lvRecipients, QStringLiteral("Clear All"), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    actSelectAll = MakeAction(lvRecipients, QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    actClearSelection = MakeAction(lvRecipients, QStringLiteral("Unselect"), QKeySequence(Qt::Key_Escape));
    connect(actAddContacts, &QAction::triggered, m_list, [this] { m_list->AddFromList(nkContact); });
    connect(actAddGroups, &QAction::triggered, m_list, [this] { m_list->AddFromList(nkGroup); });
    connect(actRemoveSelected, &QAction::triggered, m_list, &TNRecipientList::RemoveSelected);
    connect(actRemoveAll, &QAction::triggered, m_list, &TNRecipientList::Clear);
    connect(actSelectAll, &QAction::triggered, m_list, &TNRecipientList::SelectAll);
    connect(actClearSelection, &QAction::triggered, m_list, &TNRecipientList::ClearSelection);

    mnuRecipients = new QMenu(this);
    mnuRecipients->setObjectName(QStringLiteral("mnuRecipients"));
    mnuRecipients->setProperty("HelpContext", 1036);
    mnuRecipients->addAction(actAddContacts);
    mnuRecipients->addAction(actAddGroups);
    mnuRecipients->addSeparator();
    mnuRecipients->addAction(actRemoveSelected);
    mnuRecipients->addAction(actRemoveAll);
    mnuRecipients->addSeparator();
    mnuRecipients->addAction(actSelectAll);
    mnuRecipients->addAction(actClearSelection);
    lvRecipients->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvRecipients, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        UpdateActions();
        mnuRecipients->popup(lvRecipients->viewport()->mapToGlobal(pos));
    });

    // The commands follow the rows and the selection at once, and once more
    // whenever the application is idle.
    connect(m_list->SelectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
    connect(m_list, &QAbstractItemModel::rowsInserted, this, [this] { UpdateActions(); });
    connect(m_list, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
    connect(m_list, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    OnIdle(this, [this] { UpdateActions(); });
    UpdateActions();
    LoadColumnWidths();
    OnProgramClose(this, [this] { SaveColumnWidths(); });
}

TFormRecipients::~TFormRecipients()
{
    SaveColumnWidths();
    lvRecipients->setModel(nullptr);
    if (RecipientList == m_list)
        RecipientList = nullptr;
    delete m_list;
    m_list = nullptr;
}

void TFormRecipients::UpdateActions()
{
    const int n = m_list->GetCount();
    const int s = m_list->GetSelCount();
    SetActionEnabled(actRemoveSelected, s >= 1);
    SetActionEnabled(actRemoveAll, n >= 1);
    SetActionEnabled(actSelectAll, n > 0 && s < n);
    SetActionEnabled(actClearSelection, s >= 1);
}

void TFormRecipients::FitNames(int first, int last)
{
    if (!m_fitNames)
        return;
    // The design width holds about ten characters of the narrow dialog font
    // it was laid out in; names are longer in the program's font.
    QStyleOptionViewItem option;
    option.initFrom(lvRecipients);
    option.decorationSize = lvRecipients->iconSize();
    const int cap = 50 * lvRecipients->fontMetrics().averageCharWidth();
    int needed = lvRecipients->columnWidth(0);
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_list->index(row, 0);
        needed =
            std::max(needed, std::min(cap, lvRecipients->itemDelegateForIndex(index)->sizeHint(option, index).width()));
    }
    if (needed == lvRecipients->columnWidth(0))
        return;
    m_fittingNames = true;
    lvRecipients->setColumnWidth(0, needed);
    m_fittingNames = false;
}

void TFormRecipients::LoadColumnWidths()
{
    TNProfileFile* ini = FormSettingsIni;
    if (!ini)
        return;
    for (int i = 0; i < TNRecipientList::ColumnCount; ++i) {
        const int width =
            ini->ReadInteger(kSection, QStringLiteral("Column%1Width").arg(i), lvRecipients->columnWidth(i));
        m_fittingNames = true;
        lvRecipients->setColumnWidth(i, width);
        m_fittingNames = false;
    }
}

void TFormRecipients::SaveColumnWidths() noexcept
{
    try {
        TNProfileFile* ini = FormSettingsIni;
        if (!ini)
            return;
        for (int i = 0; i < TNRecipientList::ColumnCount; ++i)
            ini->WriteInteger(kSection, QStringLiteral("Column%1Width").arg(i), lvRecipients->columnWidth(i));
    } catch (const EProfileFileError& error) {
        ReportFormSettingsError(error);
    } catch (const std::exception& e) {
        // Shut-down goes on; the settings file's owner reports its failures.
        qWarning("TFormRecipients: column widths not saved: %s", e.what());
    }
}

void ClearRecipients()
{
    if (RecipientList)
        RecipientList->Clear();
}
