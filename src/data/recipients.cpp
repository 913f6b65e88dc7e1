#include "data/recipients.h"

#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "data/folderstreenode.h"
#include "foundation/dmoptions.h"
#include "platform/messagedlg.h"

#include <algorithm>

TNRecipientList* RecipientList = nullptr;

int RecipientImageIndexOf(TNodeKind kind)
{
    switch (kind) {
        case nkContact:
            return 5;
        case nkGroup:
            return 3;
        case nkFolder:
            return 0;
        default:
            return -1;
    }
}

TNRecipient::TNRecipient(TNodeKind kind, qint32 id, TBaseDataClient* database, qint32 nameLength, const QString& name)
    : TNSuperRecipient(kind, id, database, nameLength, name)
{
    MaxMessageLength = GetMaxMessageLength();
}

std::unique_ptr<TNRecipient> TNRecipient::CreateFromNode(const TNRecipientNode& node)
{
    auto recipient = std::make_unique<TNRecipient>(node.Kind, node.ID, node.Database,
                                                   static_cast<qint32>(node.Caption.size()), node.Caption);
    recipient->Node = node.Node;
    recipient->ImageIndex = node.ImageIndex >= 0 ? node.ImageIndex : RecipientImageIndexOf(node.Kind);
    return recipient;
}

TNRecipientList::TNRecipientList(QObject* parent) : QAbstractTableModel(parent), m_selection(this) {}

TNRecipientList::~TNRecipientList()
{
    // The hooks may reach windows that are going away with the pane.
    m_onCountersChanged = nullptr;
    m_onInsertEditorText = nullptr;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

bool TNRecipientList::AddNode(const TNRecipientNode& node)
{
    if (Contains(node.Kind, node.ID, node.Database)) {
        const QString text =
            QStringLiteral(
                "Recipients List already contains the %1 \"%2\" with the same ID=%3\r\rDo you want to add a copy ?")
                .arg(NodeKindToStr(node.Kind), node.Caption, QString::number(node.ID));
        if (MessageDlg(text, TMsgDlgType::mtWarning, mbYes | mbNo) == mbYes)
            AddRow(node);
        return false;
    }
    AddRow(node);
    return true;
}

bool TNRecipientList::AddItem(TNodeKind kind, const QString& name, qint32 id, TBaseDataClient* database)
{
    TNRecipientNode node;
    node.Kind = kind;
    node.ID = id;
    node.Database = database;
    node.Caption = name;
    return AddNode(node);
}

void TNRecipientList::AddFromList(TNodeKind kind)
{
    if (kind != nkContact && kind != nkGroup)
        return;
    TNSelectionList picked;
    TBaseDataClient* book = PickFromAllBooks(kind == nkContact ? dkContacts : dkGroups, picked);
    if (!book)
        return;
    for (const auto& [name, id] : std::as_const(picked))
        AddItem(kind, name, id, book);
}

void TNRecipientList::AddRow(const TNRecipientNode& node)
{
    std::unique_ptr<TNRecipient> recipient = TNRecipient::CreateFromNode(node);
    recipient->GetDetails(recipient->Details);
    if (node.Database)
        recipient->DatabaseName = node.Database->Name();
    // The rows stay sorted: the new one goes after every row that does not
    // sort after it, as a stable sort of the appended row would put it.
    const auto pos = std::upper_bound(m_rows.begin(), m_rows.end(), recipient,
                                      [](const std::unique_ptr<TNRecipient>& a, const std::unique_ptr<TNRecipient>& b) {
                                          return ListCompare(*a, *b) < 0;
                                      });
    const int row = static_cast<int>(pos - m_rows.begin());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(pos, std::move(recipient));
    endInsertRows();
    SetSelected(row, true);
    CountersChanged();
    if (AddDisplayNameToMessage && PrefixAddInEditor && m_onInsertEditorText)
        m_onInsertEditorText(node.Caption + FollowedByChar);
}

void TNRecipientList::RemoveRow(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void TNRecipientList::RemoveItem(TNodeKind kind, qint32 id, TBaseDataClient* database)
{
    for (int row = GetCount() - 1; row >= 0; --row) {
        const TNRecipient& r = *m_rows[row];
        if (r.Database == database && r.Kind == kind && r.ID == id)
            RemoveRow(row);
    }
}

void TNRecipientList::RemoveSelected()
{
    for (int row = GetCount() - 1; row >= 0; --row)
        if (IsSelected(row))
            RemoveRow(row);
    CountersChanged();
}

void TNRecipientList::Clear()
{
    if (!m_rows.empty()) {
        beginResetModel();
        m_rows.clear();
        endResetModel();
    }
    CountersChanged();
}

void TNRecipientList::ClearSelection()
{
    m_selection.clearSelection();
}

void TNRecipientList::SelectAll()
{
    if (m_rows.empty())
        return;
    m_selection.select(QItemSelection(index(0, 0), index(GetCount() - 1, ColumnCount - 1)),
                       QItemSelectionModel::Select);
}

TNRecipient* TNRecipientList::GetRecipient(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_rows[index].get();
}

int TNRecipientList::GetSelCount() const
{
    int count = 0;
    for (int row = 0; row < GetCount(); ++row)
        if (IsSelected(row))
            ++count;
    return count;
}

bool TNRecipientList::IsSelected(int row) const
{
    return m_selection.isRowSelected(row, QModelIndex());
}

void TNRecipientList::SetSelected(int row, bool selected)
{
    if (row < 0 || row >= GetCount())
        return;
    m_selection.select(QItemSelection(index(row, 0), index(row, ColumnCount - 1)),
                       selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

bool TNRecipientList::Contains(TNodeKind kind, qint32 id, const TBaseDataClient* database) const
{
    return std::any_of(m_rows.begin(), m_rows.end(), [&](const std::unique_ptr<TNRecipient>& r) {
        return r->Kind == kind && r->ID == id && r->Database == database;
    });
}

qint32 TNRecipientList::GetMinMaxMessageLength() const
{
    qint32 result = NoMaxMessageLength;
    for (const auto& r : m_rows)
        if (r->MaxMessageLength >= 1 && r->MaxMessageLength < result)
            result = r->MaxMessageLength;
    return result;
}

qint32 TNRecipientList::GetMaxNameLength() const
{
    qint32 result = 0;
    for (const auto& r : m_rows)
        result = std::max(result, r->NameLength);
    return result;
}

TNRecipients TNRecipientList::Recipients() const
{
    TNRecipients list;
    list.reserve(GetCount());
    for (const auto& r : m_rows)
        list << r.get();
    return list;
}

int TNRecipientList::ListCompare(const TNSuperRecipient& item1, const TNSuperRecipient& item2)
{
    // The folder tree's order of siblings: groups before contacts, then by
    // caption.
    return TreeCompareNodes(item1.Kind, item1.Name, item2.Kind, item2.Name);
}

void TNRecipientList::CountersChanged()
{
    if (m_onCountersChanged)
        m_onCountersChanged();
}

int TNRecipientList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetCount();
}

int TNRecipientList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TNRecipientList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= GetCount())
        return {};
    const TNRecipient& r = *m_rows[index.row()];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case colRecipient:
                return r.Name;
            case colDetails:
                return r.Details;
            case colDataBase:
                return r.DatabaseName;
            default:
                return {};
        }
    }
    if (index.column() == colRecipient) {
        if (role == ImageIndexRole)
            return r.ImageIndex;
        if (role == Qt::DecorationRole && m_imageProvider)
            return m_imageProvider(r.ImageIndex);
    }
    return {};
}

QVariant TNRecipientList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case colRecipient:
            return QStringLiteral("Recipient");
        case colDetails:
            return QStringLiteral("Details");
        case colDataBase:
            return QStringLiteral("DataBase");
        default:
            return {};
    }
}
