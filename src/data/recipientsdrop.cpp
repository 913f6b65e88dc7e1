#include "data/recipientsdrop.h"

#include "data/folderstree.h"
#include "data/folderstreeclipboard.h"
#include "data/folderstreedrag.h"
#include "data/folderstreeselection.h"
#include "data/recipients.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"

#include <QAbstractItemView>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QTreeWidget>

namespace {
TDummyListObject DummyListObjectInstance;
}

TDummyListObject* const DummyListObject = &DummyListObjectInstance;

void AddClipboardToRecipients()
{
    QTreeWidget* clipboard = FoldersTreeState->DragTree;
    const TNTreeNode* root = ClipboardRoot(clipboard);
    if (!RecipientList || !root)
        return;
    QList<const TNTreeNode*> items;
    for (int i = 0; i < root->childCount(); ++i)
        if (const TNTreeNode* item = TNTreeNode::From(root->child(i)))
            items << item;
    AddNodesToRecipients(items, true);
}

void TDummyListObject::AttachToForm(QAbstractItemView* list)
{
    if (m_list)
        m_list->viewport()->removeEventFilter(this);
    m_list = list;
    m_viewport = list ? list->viewport() : nullptr;
    if (!list)
        return;
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
}

bool TDummyListObject::ListDragOver() const
{
    const int kind = ContentKindOf(FoldersTreeState->DragTree);
    return FoldersTreeState->Dragging &&
           (kind == ckOneContact || kind == ckContactsAndGroups || kind == ckFoldersAndItems);
}

void TDummyListObject::ListDragDrop()
{
    AddClipboardToRecipients();
}

bool TDummyListObject::eventFilter(QObject* watched, QEvent* event)
{
    // Drag events only: others also come while the list is destroyed.
    if (!IsDragEvent(event) || watched != m_viewport || !m_list)
        return false;
    switch (event->type()) {
        case QEvent::DragEnter:
            AcceptEnter(static_cast<QDragEnterEvent*>(event));
            return true;
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            if (CarriesTreeNodes(move->mimeData()) && ListDragOver()) {
                move->setDropAction(Qt::CopyAction);
                move->accept();
            } else {
                move->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!CarriesTreeNodes(drop->mimeData()) || !ListDragOver()) {
                drop->ignore();
                return true;
            }
            try {
                ListDragDrop();
            } catch (const std::exception& e) {
                MessageDlg(QString::fromLocal8Bit(e.what()), TMsgDlgType::mtError, mbOK);
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            return true;
        }
        default:
            return false;
    }
}
