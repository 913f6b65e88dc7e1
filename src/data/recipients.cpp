#include "data/recipients.h"

#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "data/folderstreenode.h"
#include "foundation/dmoptions.h"
#include "platform/messagedlg.h"

#include <QPointer>
#include <QSet>
#include <algorithm>
#include <numeric>

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

namespace {
// A recipient's identity in the list: address book, kind and ID.
using TRecipientKey = std::pair<quintptr, quint64>;

TRecipientKey KeyOf(TNodeKind kind, qint32 id, const TBaseDataClient* database)
{
    return {reinterpret_cast<quintptr>(database), (quint64(quint8(kind)) << 32) | quint32(id)};
}
}  // namespace

bool TNRecipientList::AddNode(const TNRecipientNode& node)
{
    QList<bool> fresh;
    AddNodes({node}, &fresh);
    return fresh.value(0, false);
}

int TNRecipientList::AddNodes(const QList<TNRecipientNode>& nodes, QList<bool>* fresh)
{
    // Which nodes name a recipient met before (in the list, or earlier among
    // the nodes) is known before any question: a copy refused leaves the
    // recipient listed all the same.
    QSet<TRecipientKey> listed;
    listed.reserve(qsizetype(m_rows.size()) + nodes.size());
    for (const auto& r : m_rows)
        listed.insert(KeyOf(r->Kind, r->ID, r->Database));
    QList<bool> isNew;
    isNew.reserve(nodes.size());
    qsizetype questions = 0;
    for (const TNRecipientNode& node : nodes) {
        const bool added = !listed.contains(KeyOf(node.Kind, node.ID, node.Database));
        if (added)
            listed.insert(KeyOf(node.Kind, node.ID, node.Database));
        else
            ++questions;
        isNew << added;
    }
    if (fresh)
        *fresh << isNew;

    // The questions run the event loop; the list may go with its pane
    // meanwhile.
    QPointer<TNRecipientList> self(this);
    int toAll = 0;  // mbYesToAll or mbNoToAll once answered
    QList<const TNRecipientNode*> taken;
    taken.reserve(nodes.size());
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const TNRecipientNode& node = nodes.at(i);
        if (isNew.at(i)) {
            taken << &node;
            continue;
        }
        --questions;
        int answer = toAll;
        if (!answer) {
            const QString text =
                QStringLiteral(
                    "Recipients List already contains the %1 \"%2\" with the same ID=%3\r\rDo you want to add a copy ?")
                    .arg(NodeKindToStr(node.Kind), node.Caption, QString::number(node.ID));
            // With more such questions to come, one answer may stand for all
            // of them.
            const int buttons = questions > 0 ? mbYes | mbNo | mbYesToAll | mbNoToAll : mbYes | mbNo;
            answer = MessageDlg(text, TMsgDlgType::mtWarning, buttons);
            if (!self)
                return 0;
            if (answer == mbYesToAll || answer == mbNoToAll)
                toAll = answer;
        }
        if (answer == mbYes || answer == mbYesToAll)
            taken << &node;
    }
    if (taken.isEmpty())
        return 0;

    std::vector<std::unique_ptr<TNRecipient>> rows;
    rows.reserve(size_t(taken.size()));
    QString prefixes;
    const bool prefix = AddDisplayNameToMessage && PrefixAddInEditor && m_onInsertEditorText;
    for (const TNRecipientNode* node : std::as_const(taken)) {
        rows.push_back(MakeRow(*node));
        if (prefix)
            prefixes += node->Caption + FollowedByChar;
    }
    InsertRows(std::move(rows));
    CountersChanged();
    // Each name at the caret in turn is the names together at the caret.
    if (prefix && m_onInsertEditorText)
        m_onInsertEditorText(prefixes);
    return int(taken.size());
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
    QList<TNRecipientNode> nodes;
    nodes.reserve(picked.size());
    for (const auto& [name, id] : std::as_const(picked)) {
        TNRecipientNode node;
        node.Kind = kind;
        node.ID = id;
        node.Database = book;
        node.Caption = name;
        nodes << node;
    }
    AddNodes(nodes);
}

std::unique_ptr<TNRecipient> TNRecipientList::MakeRow(const TNRecipientNode& node) const
{
    std::unique_ptr<TNRecipient> recipient = TNRecipient::CreateFromNode(node);
    recipient->GetDetails(recipient->Details);
    if (node.Database)
        recipient->DatabaseName = node.Database->Name();
    return recipient;
}

void TNRecipientList::InsertRows(std::vector<std::unique_ptr<TNRecipient>> rows)
{
    const int first = GetCount();
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    for (auto& row : rows)
        m_rows.push_back(std::move(row));
    endInsertRows();

    // A stable sort keeps the rows that were there before equal new ones,
    // and the new ones in the order they came, as adding them one by one
    // after their equals did. Order[new position] = old position.
    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return ListCompare(*m_rows[size_t(a)], *m_rows[size_t(b)]) < 0; });
    if (!std::is_sorted(order.begin(), order.end())) {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::vector<int> newRowOf(order.size());
        std::vector<std::unique_ptr<TNRecipient>> sorted(order.size());
        for (size_t pos = 0; pos < order.size(); ++pos) {
            newRowOf[size_t(order[pos])] = int(pos);
            sorted[pos] = std::move(m_rows[size_t(order[pos])]);
        }
        m_rows.swap(sorted);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& index : from)
            to << this->index(newRowOf[size_t(index.row())], index.column());
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    // The new rows are selected (the others keep their state), in one
    // selection change made of runs of neighbouring rows.
    QItemSelection selection;
    for (size_t pos = 0; pos < order.size();) {
        if (order[pos] < first) {
            ++pos;
            continue;
        }
        const size_t top = pos;
        while (pos < order.size() && order[pos] >= first)
            ++pos;
        selection.append(QItemSelectionRange(index(int(top), 0), index(int(pos) - 1, ColumnCount - 1)));
    }
    m_selection.select(selection, QItemSelectionModel::Select);
}

void TNRecipientList::RemoveRows(int first, int last)
{
    beginRemoveRows(QModelIndex(), first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    endRemoveRows();
}

void TNRecipientList::RemoveItem(TNodeKind kind, qint32 id, TBaseDataClient* database)
{
    for (int row = GetCount() - 1; row >= 0; --row) {
        const TNRecipient& r = *m_rows[size_t(row)];
        if (r.Database == database && r.Kind == kind && r.ID == id)
            RemoveRows(row, row);
    }
}

void TNRecipientList::RemoveSelected()
{
    // Run by run from the last, so that the runs still to go keep their rows.
    const std::vector<std::pair<int, int>> runs = SelectedRuns();
    for (auto run = runs.rbegin(); run != runs.rend(); ++run)
        RemoveRows(run->first, run->second);
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

std::vector<std::pair<int, int>> TNRecipientList::SelectedRuns() const
{
    // Read from the selection's ranges: asking about each row in turn costs
    // every range for each row.
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& range : m_selection.selection()) {
        if (!range.isValid() || range.parent().isValid())
            continue;
        if (range.left() == 0 && range.right() == ColumnCount - 1) {
            spans.emplace_back(range.top(), range.bottom());
            continue;
        }
        // Part of a row's cells: the row counts once all of them are.
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (IsSelected(row))
                spans.emplace_back(row, row);
    }
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> runs;
    for (const auto& span : spans) {
        if (!runs.empty() && span.first <= runs.back().second + 1)
            runs.back().second = std::max(runs.back().second, span.second);
        else
            runs.push_back(span);
    }
    return runs;
}

int TNRecipientList::GetSelCount() const
{
    int count = 0;
    for (const auto& [first, last] : SelectedRuns())
        count += last - first + 1;
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
