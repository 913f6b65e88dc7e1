#pragma once
// Dragging folder-tree nodes: the drag carries no data of its own; what is
// dragged sits in the drag's own hidden tree (FoldersTreeState->DragTree,
// never the clipboard) from the drag's start to its end (the TDummyObject
// handlers TreeStartDrag ... TreeEndDrag). A drag is Qt's
// QDrag with the MIME type TreeNodesMimeType, the composed drag image and
// the program's three drag cursors. A drop without Ctrl moves, with Ctrl
// copies; only the administrator drops into the tree.
// Main thread only.

#include <QPixmap>
#include <QString>

class QDragEnterEvent;
class QEvent;
class QMimeData;
class TSCGTreeView;

// The format of a drag of folder-tree nodes.
extern const QString TreeNodesMimeType;

// The drag cursors: 5 "CURSORMOVE", 6 "CURSORCOPY", 7 "CURSORNODROP".
class TNDragControlObject {
public:
    static constexpr int crMove = 5;
    static constexpr int crCopy = 6;
    static constexpr int crNoDrop = 7;
    // The cursor of a drag: no drop when refused, copy with Ctrl, else move.
    static int GetDragCursor(bool accepted, bool ctrlDown);
    // The picture of a cursor number (any other number: an empty pixmap).
    static QPixmap CursorPixmap(int cursor);
};

// True when Data is a drag of folder-tree nodes that carries something (a
// drag that started on an address book carries nothing).
bool CarriesTreeNodes(const QMimeData* data);

// DragEnter, DragMove, DragLeave or Drop.
bool IsDragEvent(const QEvent* event);
// A drag of nodes entering a view is let in (the view then gets the moves
// and the drop, which decide); any other drag is refused.
void AcceptEnter(QDragEnterEvent* event);

// Hooks the drag start and the drop events of the folder tree (done by
// AttachToForm).
void AttachTreeDragAndDrop(TSCGTreeView* tree);
