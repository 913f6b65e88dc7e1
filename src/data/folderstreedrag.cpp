#include "data/folderstreedrag.h"

#include "data/basedataclient.h"
#include "data/folderstree.h"
#include "data/folderstreeclipboard.h"
#include "data/folderstreeselection.h"
#include "data/folderstreewrites.h"
#include "foundation/images.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"

#include <QApplication>
#include <QBitmap>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>

const QString TreeNodesMimeType = QStringLiteral("application/x-tovix-folder-tree-nodes");

int TNDragControlObject::GetDragCursor(bool accepted, bool ctrlDown)
{
    if (!accepted)
        return crNoDrop;
    return ctrlDown ? crCopy : crMove;
}

QPixmap TNDragControlObject::CursorPixmap(int cursor)
{
    const char* name = cursor == crMove ? "cursor-move" : cursor == crCopy ? "cursor-copy" : nullptr;
    if (cursor == crNoDrop)
        name = "cursor-nodrop";
    if (!name)
        return QPixmap();
    return ProgramIcon(QString::fromLatin1(name)).pixmap(QSize(32, 32));
}

bool CarriesTreeNodes(const QMimeData* data)
{
    return data && data->hasFormat(TreeNodesMimeType) && FoldersTreeState->Dragging &&
           ClipboardRoot(FoldersTreeState->DragTree);
}

bool IsDragEvent(const QEvent* event)
{
    const QEvent::Type type = event->type();
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::DragLeave || type == QEvent::Drop;
}

void AcceptEnter(QDragEnterEvent* event)
{
    if (CarriesTreeNodes(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

namespace {
// The drag image: the content kind's icon, 2 pixels, the caption; white
// is transparent; the hot spot at the icon's lower right corner.
QPixmap ComposeDragImage(QPoint* hotSpot)
{
    const QTreeWidget* dragged = FoldersTreeState->DragTree;
    QString caption;
    CaptionOf(dragged, caption);
    const QSize iconSize = DataModuleImages ? DataModuleImages->imglForDragging.IconSize() : QSize(32, 32);
    const QFontMetrics metrics(QApplication::font());
    QPixmap image(iconSize.width() + 2 + metrics.horizontalAdvance(caption), iconSize.height());
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        const int index = ClipboardKindToImageIndex(ContentKindOf(dragged));
        if (DataModuleImages && index >= 0)
            painter.drawPixmap(0, 0, DataModuleImages->imglForDragging.Pixmap(index));
        const int spare = image.height() - metrics.height();
        const int top = spare <= 2 ? 2 : spare / 2;
        painter.setPen(Qt::black);
        painter.drawText(QPoint(iconSize.width() + 2, top + metrics.ascent()), caption);
    }
    image.setMask(image.createMaskFromColor(Qt::white));
    *hotSpot = QPoint(iconSize.width(), iconSize.height());
    return image;
}

void SelectOnly(QTreeWidget* tree, const QList<TNTreeNode*>& nodes)
{
    {
        const QSignalBlocker blocker(tree);
        tree->clearSelection();
        for (TNTreeNode* node : nodes)
            node->setSelected(true);
    }
    emit tree->itemSelectionChanged();
}

// Runs the drags of the folder tree and takes its drop events.
class TTreeDragGlue : public QObject {
public:
    void Attach(TSCGTreeView* tree)
    {
        if (m_tree)
            m_tree->viewport()->removeEventFilter(this);
        m_tree = tree;
        m_viewport = tree ? tree->viewport() : nullptr;
        if (!tree)
            return;
        tree->setDragEnabled(true);
        tree->setAcceptDrops(true);
        tree->viewport()->setAcceptDrops(true);
        tree->setDragDropMode(QAbstractItemView::DragDrop);
        tree->viewport()->installEventFilter(this);
        tree->SetOnStartDrag([this] { RunDrag(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Drag events only: others also come while the tree is destroyed.
        if (!IsDragEvent(event) || watched != m_viewport || !m_tree)
            return false;
        switch (event->type()) {
            case QEvent::DragEnter:
                // Entering is accepted for any drag of nodes, so that the
                // moves that follow reach the tree; each move decides.
                AcceptEnter(static_cast<QDragEnterEvent*>(event));
                return true;
            case QEvent::DragMove:
                DragMove(static_cast<QDragMoveEvent*>(event));
                return true;
            case QEvent::DragLeave:
                SetDropTarget(nullptr);
                return true;
            case QEvent::Drop:
                Drop(static_cast<QDropEvent*>(event));
                return true;
            default:
                return false;
        }
    }

private:
    void RunDrag()
    {
        QPixmap image;
        QPoint hotSpot;
        if (!FoldersTreeState->TreeStartDrag(&image, &hotSpot)) {
            FoldersTreeState->TreeEndDrag();
            return;
        }
        auto* drag = new QDrag(m_tree);
        auto* data = new QMimeData;
        data->setData(TreeNodesMimeType, QByteArray());
        drag->setMimeData(data);
        drag->setPixmap(image);
        drag->setHotSpot(hotSpot);
        drag->setDragCursor(TNDragControlObject::CursorPixmap(TNDragControlObject::crMove), Qt::MoveAction);
        drag->setDragCursor(TNDragControlObject::CursorPixmap(TNDragControlObject::crCopy), Qt::CopyAction);
        drag->setDragCursor(TNDragControlObject::CursorPixmap(TNDragControlObject::crNoDrop), Qt::IgnoreAction);
        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        FoldersTreeState->TreeEndDrag();
    }

    void SetDropTarget(const TNTreeNode* target)
    {
        if (FoldersTreeState->DropTarget == target)
            return;
        FoldersTreeState->DropTarget = target;
        m_tree->viewport()->update();
    }

    void DragMove(QDragMoveEvent* event)
    {
        const TNTreeNode* target = TNTreeNode::From(m_tree->itemAt(event->position().toPoint()));
        const bool accepted = CarriesTreeNodes(event->mimeData()) && FoldersTreeState->TreeDragOver(target);
        SetDropTarget(accepted ? target : nullptr);
        if (!accepted) {
            event->ignore();
            return;
        }
        event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
        event->accept();
    }

    void Drop(QDropEvent* event)
    {
        SetDropTarget(nullptr);
        TNTreeNode* target = TNTreeNode::From(m_tree->itemAt(event->position().toPoint()));
        if (!CarriesTreeNodes(event->mimeData()) || !FoldersTreeState->TreeDragOver(target)) {
            event->ignore();
            return;
        }
        try {
            FoldersTreeState->TreeDragDrop(target, event->modifiers() & Qt::ControlModifier);
        } catch (const std::exception& e) {
            MessageDlg(QString::fromLocal8Bit(e.what()), TMsgDlgType::mtError, mbOK);
        }
        // The nodes were placed here; the drag's source has nothing to do.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }

    QPointer<TSCGTreeView> m_tree;
    const QObject* m_viewport = nullptr;  // compared, never followed
};

TTreeDragGlue TreeDragGlue;
}  // namespace

void AttachTreeDragAndDrop(TSCGTreeView* tree)
{
    TreeDragGlue.Attach(tree);
}

bool TDummyObject::TreeStartDrag(QPixmap* image, QPoint* hotSpot)
{
    const QList<TNTreeNode*> selected = SelectedNodes(FolderTree);
    if (selected.isEmpty() || !EnsureDragTree())
        return false;
    DragSourceParent = selected.first()->ParentNode();
    // Address books are never dragged: such a drag carries nothing.
    if (!DragSourceParent)
        return false;
    Dragging = true;
    CopySelectionToClipboard(FolderTree, DragTree);
    QPoint spot;
    const QPixmap composed = ComposeDragImage(&spot);
    if (image)
        *image = composed;
    if (hotSpot)
        *hotSpot = spot;
    return true;
}

bool TDummyObject::TreeDragOver(const TNTreeNode* target) const
{
    if (!target || !Dragging)
        return false;
    if (target->Kind != nkFolder && target->Kind != nkDatabase)
        return false;
    if (target == DragSourceParent)
        return false;
    if (SelectionContainsAncestorOf(FolderTree, target) || IsNodeSelected(FolderTree, target))
        return false;
    if (DatabaseOf(DragTree) != target->Database)
        return false;
    return LogonRole == RoleAdmin;
}

void TDummyObject::TreeDragDrop(TNTreeNode* target, bool ctrlDown)
{
    TNTreeNode* root = ClipboardRoot(DragTree);
    if (!root || !target || !FolderTree)
        return;
    const QStringList gone = DropGoneRecords(root);
    if (root->childCount() > 0) {
        RunTreeWrites(
            {target->Database},
            [&] {
                QList<TNTreeNode*> kept;
                CopyNodes(root, target, true, &kept);
                if (!ctrlDown)
                    DeleteMovedOriginals(DragTree, true);
                SortChildNodes(target, false);
                for (TNTreeNode* copy : std::as_const(kept))
                    SortChildNodes(copy, true);
                SelectOnly(FolderTree, kept);
            },
            true);
        target->setExpanded(true);
    }
    TellGoneRecords(gone, target->Database, QStringLiteral("dropped"));
}

void TDummyObject::TreeEndDrag()
{
    EmptyClipboard(DragTree);
    Dragging = false;
    DragSourceParent = nullptr;
    DropTarget = nullptr;
}
