#include "ui/admin/groupeditor.h"

#include "data/basedataclient.h"
#include "data/sharedaccessclient.h"
#include "foundation/formsettings.h"
#include "platform/idleupdates.h"
#include "platform/profilefile.h"
#include "ui/admin/editorrows.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"
#include "ui/dbcontrols/dbmemo.h"

#include <QAction>
#include <QEvent>
#include <QFormLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int SplitterWidth = 50;
constexpr int MinimumPanelWidth = 49;

// A titled panel holding one member grid.
QWidget* GridPanel(QWidget* parent, const QString& name, const QString& caption, TNDBGrid* grid)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setMinimumWidth(MinimumPanelWidth);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(caption, panel);
    label->setBuddy(grid);
    grid->setParent(panel);
    layout->addWidget(label);
    layout->addWidget(grid, 1);
    return panel;
}
}  // namespace

TFormGroupEditor::TFormGroupEditor(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    SetKindCaption(QStringLiteral("Group"));
    HideEmbedPanel();
    auto* layout = new QVBoxLayout(pnlBaseInfo);
    auto* form = new QFormLayout();
    layout->addLayout(form);
    dbedtName = AddBoundRow<TNDBEdit>(form, QStringLiteral("&Group Name : "), QStringLiteral("dbedtName"),
                                      QStringLiteral("Name"), DataSource());
    edtDecription = new QLineEdit(pnlBaseInfo);
    edtDecription->setObjectName(QStringLiteral("edtDecription"));
    auto* descriptionLabel = new QLabel(QStringLiteral("&Description : "), pnlBaseInfo);
    descriptionLabel->setBuddy(edtDecription);
    form->addRow(descriptionLabel, edtDecription);
    dbmemDescription = new TNDBMemo(pnlBaseInfo);
    dbmemDescription->setObjectName(QStringLiteral("dbmemDescription"));
    dbmemDescription->SetDataSource(DataSource());
    dbmemDescription->SetDataField(QStringLiteral("Description"));
    dbmemDescription->hide();
    edtDecription->setText(dbmemDescription->toPlainText());
    BuildMemberPanels();
    layout->addWidget(pnlEditMembers, 1);

    actAddMember = new QAction(QStringLiteral("Add Member"), this);
    actAddMember->setObjectName(QStringLiteral("actAddMember"));
    actAddMember->setToolTip(QStringLiteral("> Add to Members"));
    actAddMember->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    actRemoveMember = new QAction(QStringLiteral("Remove Member"), this);
    actRemoveMember->setObjectName(QStringLiteral("actRemoveMember"));
    actRemoveMember->setToolTip(QStringLiteral("< Remove from Members"));
    actRemoveMember->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    addAction(actAddMember);
    addAction(actRemoveMember);
    connect(actAddMember, &QAction::triggered, this, [this] { AddSelectedMembers(); });
    connect(actRemoveMember, &QAction::triggered, this, [this] { RemoveSelectedMembers(); });
    sbAdd->setDefaultAction(actAddMember);
    sbRemove->setDefaultAction(actRemoveMember);
    sbAdd->setText(QStringLiteral(">"));
    sbRemove->setText(QStringLiteral("<"));
    OnIdle(this, [this] {
        actAddMember->setEnabled(dbgNonMembers->SelectedCount() > 0);
        actRemoveMember->setEnabled(dbgMembers->SelectedCount() > 0);
        sbAdd->setText(QStringLiteral(">"));
        sbRemove->setText(QStringLiteral("<"));
    });

    m_membership = std::make_unique<TNGroupMembers>(*DataClient());
    m_membership->Load(GetGroupID());
    m_nonMembersSource.SetDataSet(&m_membership->NonMembers());
    m_membersSource.SetDataSet(&m_membership->Members());
    dbgNonMembers->SetDataSource(&m_nonMembersSource);
    dbgMembers->SetDataSource(&m_membersSource);
    SetupMemberGridColumns(dbgNonMembers);
    SetupMemberGridColumns(dbgMembers);

    resize(640, 460);
    RestoreFormSettings();
}

TFormGroupEditor::~TFormGroupEditor()
{
    StoreFormSettings();
    dbgNonMembers->SetDataSource(nullptr);
    dbgMembers->SetDataSource(nullptr);
    // A shared book keeps its changes in its cache until the groups list
    // applies them: the group and its memberships are saved together, so
    // that a cache never holds memberships of a new group it lacks.
    // A group row still being posted or cancelled by the list is left to it.
    auto* shared = qobject_cast<TBaseSharedClient*>(DataClient());
    if (shared && shared->ClientDataSet(dkGroups) &&
        shared->ClientDataSet(dkGroups)->State() == TDataSetState::dsBrowse) {
        try {
            shared->SaveClientDataSetToFile(dkGroups);
            shared->SaveClientDataSetToFile(dkGroupAssigns);
        } catch (...) {
            // Nothing may leave a destructor; the logs stay in memory and are
            // saved with the book.
        }
    }
}

void TFormGroupEditor::BuildMemberPanels()
{
    pnlEditMembers = new QWidget(pnlBaseInfo);
    pnlEditMembers->setObjectName(QStringLiteral("pnlEditMembers"));
    auto* layout = new QHBoxLayout(pnlEditMembers);
    layout->setContentsMargins(0, 0, 0, 0);
    splSplitter = new QSplitter(Qt::Horizontal, pnlEditMembers);
    splSplitter->setObjectName(QStringLiteral("splSplitter"));
    splSplitter->setHandleWidth(SplitterWidth);
    splSplitter->setOpaqueResize(true);
    splSplitter->setChildrenCollapsible(false);
    layout->addWidget(splSplitter);

    for (TNDBGrid** grid : {&dbgNonMembers, &dbgMembers}) {
        *grid = new TNDBGrid(pnlEditMembers);
        (*grid)->SetMultiSelect(true);
        (*grid)->setSelectionBehavior(QAbstractItemView::SelectRows);
        // Marked rows show blue; the cursor row alone is not highlighted.
        (*grid)->setStyleSheet(QStringLiteral("QTableView { selection-background-color: rgb(0, 0, 255); }"));
    }
    dbgNonMembers->setObjectName(QStringLiteral("dbgNonMembers"));
    dbgMembers->setObjectName(QStringLiteral("dbgMembers"));
    pnlNonMembers =
        GridPanel(splSplitter, QStringLiteral("pnlNonMembers"), QStringLiteral("&Non - Members : "), dbgNonMembers);
    pnlMembers = GridPanel(splSplitter, QStringLiteral("pnlMembers"), QStringLiteral("&Members : "), dbgMembers);
    splSplitter->addWidget(pnlNonMembers);
    splSplitter->addWidget(pnlMembers);

    // The two buttons sit on the splitter bar.
    QWidget* bar = splSplitter->handle(1);
    sbAdd = new QToolButton(bar);
    sbAdd->setObjectName(QStringLiteral("sbAdd"));
    sbRemove = new QToolButton(bar);
    sbRemove->setObjectName(QStringLiteral("sbRemove"));
    bar->installEventFilter(this);
}

void TFormGroupEditor::SetupMemberGridColumns(TNDBGrid* grid)
{
    grid->ClearColumns();
    grid->AddColumn(QStringLiteral("Name"), QStringLiteral("Contact"), 60);
    grid->AddColumn(QStringLiteral("FirstName"), QStringLiteral("FirstName"), 60);
    grid->AddColumn(QStringLiteral("LastName"), QStringLiteral("LastName"), 60);
    grid->AddColumn(QStringLiteral("Company"), QStringLiteral("Company"), 50);
    grid->AddColumn(QStringLiteral("JobTitle"), QStringLiteral("JobTitle"), 50);
    grid->AddColumn(QString::fromLatin1(CarrierNameField), QStringLiteral("Carrier"), 60);
}

void TFormGroupEditor::ArrangeMemberButtons()
{
    // Centred on the bar, one above the other, 10 pixels apart.
    const QWidget* bar = splSplitter->handle(1);
    const int addTop = (bar->height() - 10) / 2 - sbAdd->height();
    sbAdd->move((bar->width() - sbAdd->width()) / 2, addTop);
    sbRemove->move((bar->width() - sbRemove->width()) / 2, addTop + sbAdd->height() + 10);
}

bool TFormGroupEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == splSplitter->handle(1) && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        ArrangeMemberButtons();
    return TFormBaseEditor::eventFilter(watched, event);
}

qint32 TFormGroupEditor::GetGroupID() const
{
    TNDataSet* row = RowDataSet();
    const TNField* id = row ? row->FindField(QStringLiteral("ID")) : nullptr;
    return id && !id->IsNull() ? id->AsInteger() : -1;
}

void TFormGroupEditor::SelectRows(TNDBGrid* grid, const QList<TBookmark>& rows)
{
    grid->ClearMarks();
    grid->MarkRows(rows);
}

void TFormGroupEditor::AddSelectedMembers()
{
    const QList<TBookmark> added = m_membership->AddMembers(dbgNonMembers->SelectedBookmarks());
    SelectRows(dbgMembers, added);
    dbgNonMembers->ClearMarks();
}

void TFormGroupEditor::RemoveSelectedMembers()
{
    const QList<TBookmark> shown = m_membership->RemoveMembers(dbgMembers->SelectedBookmarks());
    dbgMembers->ClearMarks();
    SelectRows(dbgNonMembers, shown);
}

bool TFormGroupEditor::IsModified()
{
    return dbedtName->isModified() || edtDecription->isModified() || m_membership->Changed();
}

const TEmbedEditorClass* TFormGroupEditor::GetEmbeddedEditorClass(quint8)
{
    return nullptr;
}

bool TFormGroupEditor::ValidateInput()
{
    if (!dbedtName->text().trimmed().isEmpty())
        return true;
    Warn(QStringLiteral("Error: Name field can't be empty !"), dbedtName);
    return false;
}

void TFormGroupEditor::AcceptChanges()
{
    if (!ValidateInput())
        return;
    // The list window posts the row; the membership follows it.
    EditRow();
    RowDataSet()->FieldByName(QStringLiteral("Description"))->SetAsString(edtDecription->text().trimmed());
    accept();
}

void TFormGroupEditor::AfterRecordPosted()
{
    m_membership->Save(GetGroupID());
}

QWidget* TFormGroupEditor::FirstControl() const
{
    return dbedtName;
}

void TFormGroupEditor::showEvent(QShowEvent* event)
{
    TFormBaseEditor::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        const QList<int> sizes = splSplitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        if (m_nonMembersWidth >= MinimumPanelWidth && total - m_nonMembersWidth >= MinimumPanelWidth)
            splSplitter->setSizes({m_nonMembersWidth, total - m_nonMembersWidth});
        ArrangeMemberButtons();
    }
}

void TFormGroupEditor::LoadFormSettings(QString& section)
{
    TFormBaseEditor::LoadFormSettings(section);
    if (!FormSettingsIni)
        return;
    for (const auto& [grid, prefix] : {std::pair{dbgNonMembers, "NonMembers"}, std::pair{dbgMembers, "Members"}})
        for (int i = 0; i < grid->ColumnCount(); ++i) {
            // A width never stored keeps the design width (widened to its title).
            const QString key = QStringLiteral("%1Column%2Width").arg(QLatin1String(prefix)).arg(i);
            if (FormSettingsIni->ValueExists(section, key))
                grid->SetColumnWidth(i, FormSettingsIni->ReadInteger(section, key, grid->ColumnWidth(i)));
        }
    // The splitter takes the width once the window is laid out.
    m_nonMembersWidth = FormSettingsIni->ReadInteger(section, QStringLiteral("pnlNonMembers"), -1);
}

void TFormGroupEditor::SaveFormSettings(QString& section)
{
    TFormBaseEditor::SaveFormSettings(section);
    if (!FormSettingsIni)
        return;
    for (const auto& [grid, prefix] : {std::pair{dbgNonMembers, "NonMembers"}, std::pair{dbgMembers, "Members"}})
        for (int i = 0; i < grid->ColumnCount(); ++i)
            FormSettingsIni->WriteInteger(section, QStringLiteral("%1Column%2Width").arg(QLatin1String(prefix)).arg(i),
                                          grid->ColumnWidth(i));
    FormSettingsIni->WriteInteger(section, QStringLiteral("pnlNonMembers"), pnlNonMembers->width());
}
