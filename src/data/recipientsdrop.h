#pragma once
// The recipients list as a drop target of folder-tree drags: a drag whose
// snapshot (FoldersTreeState->DragTree) holds a contact or group (content kinds 2, 3 and 5) is
// accepted, whatever the keys; dropping adds the dragged contacts and
// groups, and those below dragged folders, as recipients. Nothing in the
// tree changes. Main thread only.

#include <QObject>
#include <QPointer>

class QAbstractItemView;

// Adds the dragged snapshot's items to RecipientList, item by item as the folder
// tree's Add to Recipients would (the list's selection cleared first).
void AddClipboardToRecipients();

class TDummyListObject : public QObject {
    Q_OBJECT
public:
    // Takes the drop events of the list view's viewport.
    void AttachToForm(QAbstractItemView* list);
    bool ListDragOver() const;
    void ListDragDrop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractItemView> m_list;
    const QObject* m_viewport = nullptr;  // compared, never followed
};

extern TDummyListObject* const DummyListObject;
