#include "data/folderstreenode.h"

#include "data/basedataclient.h"
#include "data/dataerror.h"
#include "data/datakinds.h"
#include "data/folderstree.h"
#include "data/folderstreerows.h"
#include "db/dataset.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

QString NodeKindToStr(int kind)
{
    switch (kind) {
        case nkContact:
            return QStringLiteral("Contact");
        case nkGroup:
            return QStringLiteral("Group");
        case nkFolder:
            return QStringLiteral("Folder");
        case nkDatabase:
            return QStringLiteral("Database");
        default:
            return QStringLiteral("No such kind");
    }
}

namespace {
// Only the letters A to Z fold; every other character compares by its code.
char16_t FoldAZ(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}
}  // namespace

int TreeCompareNodes(TNodeKind kind1, const QString& caption1, TNodeKind kind2, const QString& caption2)
{
    if (kind1 != kind2)
        return int(kind2) - int(kind1);
    const qsizetype n = std::min(caption1.size(), caption2.size());
    const QChar* a = caption1.constData();
    const QChar* b = caption2.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = FoldAZ(a[i].unicode());
        const char16_t y = FoldAZ(b[i].unicode());
        if (x != y)
            return int(x) - int(y);
    }
    return int(caption1.size() - caption2.size());
}

TNTreeNode::TNTreeNode() : QTreeWidgetItem(NodeType) {}

TNTreeNode::TNTreeNode(TBaseDataClient* database, TNodeKind kind, qint32 id) : TNTreeNode()
{
    Kind = kind;
    Database = database;
    ID = id;
    switch (kind) {
        case nkContact:
            SetImages(5, 5);
            SetCaption(QStringLiteral("New Contact"));
            break;
        case nkGroup:
            SetImages(3, 3);
            SetCaption(QStringLiteral("New Group"));
            break;
        case nkFolder:
            SetImages(0, 1);
            SetCaption(QStringLiteral("New Folder"));
            break;
        case nkDatabase: {
            const int image = database && database->IsLocalDatabase() ? 6 : 7;
            SetImages(image, image);
            if (database) {
                SetCaption(database->Name());
                DatabaseGUID = database->GUID();
            }
            break;
        }
    }
}

TNTreeNode* TNTreeNode::From(QTreeWidgetItem* item)
{
    return item && item->type() == NodeType ? static_cast<TNTreeNode*>(item) : nullptr;
}

const TNTreeNode* TNTreeNode::From(const QTreeWidgetItem* item)
{
    return item && item->type() == NodeType ? static_cast<const TNTreeNode*>(item) : nullptr;
}

bool TNTreeNode::IsSameItem(const TNTreeNode* other) const
{
    return other && ID == other->ID && Kind == other->Kind && Database == other->Database;
}

void TNTreeNode::Assign(const TNTreeNode& source)
{
    SetCaption(source.Caption());
    SetImages(source.ImageIndex(), source.SelectedIndex());
    setExpanded(source.isExpanded());
    ID = source.ID;
    Kind = source.Kind;
    Database = source.Database;
    Source = const_cast<TNTreeNode*>(&source);
}

void TNTreeNode::SetImages(int imageIndex, int selectedIndex)
{
    m_imageIndex = imageIndex;
    m_selectedIndex = selectedIndex;
    RefreshIcon();
}

void TNTreeNode::RefreshIcon()
{
    const QIcon icon = FoldersTreeState->NodeIcon(m_imageIndex, m_selectedIndex);
    if (!icon.isNull() || !this->icon(0).isNull())
        setIcon(0, icon);
}

void TNTreeNode::SaveToDatabase()
{
    const TNTreeNode* parentNode = ParentNode();
    if (Kind == nkDatabase || !Database || !parentNode)
        return;
    switch (Kind) {
        case nkFolder:
            ID = AppendFolderRecord(Database->GetDataSet(dkFolders), ID, Caption(), parentNode->ID);
            break;
        case nkContact:
            AppendFolderAssignRecord(Database->GetDataSet(dkFolderAssigns),
                                     Database->GetNextTempIDByKind(dkFolderAssigns), parentNode->ID, NoneID, ID);
            break;
        case nkGroup:
            AppendFolderAssignRecord(Database->GetDataSet(dkFolderAssigns),
                                     Database->GetNextTempIDByKind(dkFolderAssigns), parentNode->ID, ID, NoneID);
            break;
        case nkDatabase:
            break;
    }
}

void TNTreeNode::DeleteFromDatabase()
{
    if (Kind == nkDatabase || !Database)
        return;
    const TNTreeNode* parentNode = ParentNode();
    DeleteNodeRow(Database, Kind, ID, parentNode ? parentNode->ID : 0, true);
}

void DeleteNodeRow(TBaseDataClient* book, TNodeKind kind, qint32 id, qint32 parentID, bool mustExist)
{
    if (kind == nkDatabase || !book)
        return;
    QString keyFields;
    QVariant keys;
    QString missing;
    TDataKind dataKind = dkFolderAssigns;
    switch (kind) {
        case nkContact:
            keyFields = QStringLiteral("FolderID;ContactID");
            keys = QVariantList{parentID, id};
            missing = QStringLiteral("Can' find contact folder assign  in the database");
            break;
        case nkGroup:
            keyFields = QStringLiteral("FolderID;GroupID");
            keys = QVariantList{parentID, id};
            missing = QStringLiteral("Can' find group folder assign in the database");
            break;
        case nkFolder:
            dataKind = dkFolders;
            keyFields = QStringLiteral("ID");
            keys = id;
            missing = QStringLiteral("Can' find folder record in the database");
            break;
        case nkDatabase:
            return;
    }
    if (!mustExist)
        missing.clear();
    TNDataSet* dataSet = book->GetDataSet(dataKind);
    if (TNRowDeleteBatch* batch = CurrentRowDeleteBatch()) {
        batch->Add(dataSet, keyFields, kind == nkFolder ? id : parentID, kind == nkFolder ? 0 : id, missing);
        return;
    }
    if (!DeleteLocatedRow(dataSet, keyFields, keys) && mustExist)
        throw EDataError(missing);
}

void MoveNodeRow(TBaseDataClient* book, TNodeKind kind, qint32 id, qint32 parentID, qint32 newParentID)
{
    if (!book || kind == nkDatabase)
        return;
    if (kind == nkFolder) {
        SetLocatedRowField(book->GetDataSet(dkFolders), QStringLiteral("ID"), id, QStringLiteral("ParentID"),
                           newParentID);
        return;
    }
    SetLocatedRowField(book->GetDataSet(dkFolderAssigns),
                       kind == nkContact ? QStringLiteral("FolderID;ContactID") : QStringLiteral("FolderID;GroupID"),
                       QVariantList{parentID, id}, QStringLiteral("FolderID"), newParentID);
}

int TNTreeNode::FindClones(QList<TNTreeNode*>* list) const
{
    const QTreeWidget* tree = treeWidget();
    if (!tree)
        return 0;
    int count = 0;
    for (TNTreeNode* node : AllNodes(tree)) {
        if (node != this && IsSameItem(node)) {
            ++count;
            if (list)
                list->append(node);
        }
    }
    return count;
}

bool TNTreeNode::operator<(const QTreeWidgetItem& other) const
{
    const TNTreeNode* node = From(&other);
    if (!node)
        return QTreeWidgetItem::operator<(other);
    return TreeCompareNodes(Kind, Caption(), node->Kind, node->Caption()) < 0;
}

QList<TNTreeNode*> AllNodes(const QTreeWidget* tree)
{
    QList<TNTreeNode*> nodes;
    if (!tree)
        return nodes;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        if (TNTreeNode* node = TNTreeNode::From(*it))
            nodes.append(node);
    return nodes;
}
