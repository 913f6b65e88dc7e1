#pragma once
// The recipients of the message being composed: TNRecipient (a contact or a
// group of one address book, with its carrier's length limit and its details
// text fixed when it is added) and TNRecipientList, the list the recipients
// pane shows.
//
// TNRecipientList is the list view's model: every row owns its recipient and
// is freed with it. The list keeps its rows in the list order (groups before
// contacts, then by caption) and its selection in its own selection model,
// which the pane's view shares. The message editor is reached through two
// hooks the main window sets: a recount after rows were added, removed or
// cleared, and the insertion of a name prefix at the editor's caret.
//
// Thread rules: main thread only.

#include "data/recipient.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

// What a recipient is made from: a folder-tree node, or a record picked in a
// list window. Node is the node's identity, kept but never followed.
struct TNRecipientNode {
    TNodeKind Kind = nkContact;
    qint32 ID = 0;
    TBaseDataClient* Database = nullptr;
    QString Caption;
    int ImageIndex = -1;  // -1: the kind's own image (5 contact, 3 group)
    const void* Node = nullptr;
};

// The image a node of the kind gets in the folder images (5 contact, 3 group,
// 0 folder); -1 for any other kind.
int RecipientImageIndexOf(TNodeKind kind);

// The carrier's length limit from its type number and settings text, as the
// carrier editor of that type reads it: a positive limit, 0 when the text
// names none (too few items, not a number), or NoMaxMessageLength when the
// type has no editor. The plug-in registration installs it at start-up;
// without it every recipient has no known limit.
using TCarrierMaxLengthHook = std::function<qint32(int carrierTypeNo, const QString& carrierData)>;
void SetCarrierMaxLengthHook(TCarrierMaxLengthHook hook);

class TNRecipient : public TNSuperRecipient {
public:
    // Works out MaxMessageLength from the address book (GetMaxMessageLength).
    TNRecipient(TNodeKind kind, qint32 id, TBaseDataClient* database, qint32 nameLength, const QString& name);
    static std::unique_ptr<TNRecipient> CreateFromNode(const TNRecipientNode& node);

    // The largest message length the recipient's carrier accepts (for a
    // group: its first member's carrier); NoMaxMessageLength when none is
    // known, 0 when the carrier's settings name none.
    qint32 GetMaxMessageLength() const;
    // The details column: a contact's "First Last,Company,JobTitle", a
    // group's description, empty for a folder or a missing row; any other
    // kind leaves Text untouched.
    void GetDetails(QString& text) const;

    const void* Node = nullptr;
    int ImageIndex = -1;
    QString Details;
    QString DatabaseName;
};

class TNRecipientList : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colRecipient = 0, colDetails = 1, colDataBase = 2, ColumnCount = 3 };
    // The row's image index in the folder images (for the pane's icons).
    static constexpr int ImageIndexRole = Qt::UserRole + 1;

    explicit TNRecipientList(QObject* parent = nullptr);
    ~TNRecipientList() override;

    QItemSelectionModel* SelectionModel() { return &m_selection; }

    // Adds a row for the node. When a row of the same kind, ID and address
    // book exists, asks whether to add a copy; returns true only when the
    // recipient was not in the list before.
    bool AddNode(const TNRecipientNode& node);
    // Adds a row for each node, in order, with the questions AddNode would
    // ask one node after another (a recipient already in the list, or met
    // earlier among Nodes, asks whether to add a copy; while more such
    // questions are to come the box also offers Yes to All and No to All).
    // The rows go in together: one insertion, one sort, one selection of the
    // new rows and one recount, so the cost follows the rows, whatever the
    // list holds. Fresh, when given, gets per node whether its recipient was
    // new. Returns the number of rows added.
    int AddNodes(const QList<TNRecipientNode>& nodes, QList<bool>* fresh = nullptr);
    // The same for a record picked by kind, name, ID and address book.
    bool AddItem(TNodeKind kind, const QString& name, qint32 id, TBaseDataClient* database);
    // Picks contacts (nkContact) or groups (nkGroup) in their list window
    // over every address book and adds each picked row with AddItem, in the
    // picked order. Any other kind, a cancelled picker or no list window
    // adds nothing.
    void AddFromList(TNodeKind kind);
    // Removes every row of that recipient (no recount: the caller's list
    // window goes on working).
    void RemoveItem(TNodeKind kind, qint32 id, TBaseDataClient* database);
    void RemoveSelected();
    void Clear();
    void ClearSelection();
    void SelectAll();

    int GetCount() const { return static_cast<int>(m_rows.size()); }
    TNRecipient* GetRecipient(int index) const;
    int GetSelCount() const;
    bool IsSelected(int index) const;
    void SetSelected(int index, bool selected);
    bool Contains(TNodeKind kind, qint32 id, const TBaseDataClient* database) const;
    // The tightest limit of 1 or more over the rows; NoMaxMessageLength when
    // none has one.
    qint32 GetMinMaxMessageLength() const;
    qint32 GetMaxNameLength() const;
    // The rows' recipients in list order, for queuing.
    TNRecipients Recipients() const;

    // The list order: groups before contacts, then captions compared without
    // case for the letters A to Z only, a prefix first. Negative, 0 or
    // positive.
    static int ListCompare(const TNSuperRecipient& item1, const TNSuperRecipient& item2);

    // Hooks of the main window.
    void SetOnCountersChanged(std::function<void()> hook) { m_onCountersChanged = std::move(hook); }
    void SetOnInsertEditorText(std::function<void(const QString&)> hook) { m_onInsertEditorText = std::move(hook); }
    // The decoration of a row from its image index (the pane gives icons; the
    // data layer holds no images).
    void SetImageProvider(std::function<QVariant(int)> provider) { m_imageProvider = std::move(provider); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::unique_ptr<TNRecipient> MakeRow(const TNRecipientNode& node) const;
    // Appends the rows, puts every row in list order (one layout change) and
    // selects the new ones.
    void InsertRows(std::vector<std::unique_ptr<TNRecipient>> rows);
    void RemoveRows(int first, int last);
    // The selected whole rows as ascending, disjoint (first, last) runs.
    std::vector<std::pair<int, int>> SelectedRuns() const;
    void CountersChanged();

    std::vector<std::unique_ptr<TNRecipient>> m_rows;
    QItemSelectionModel m_selection;
    std::function<void()> m_onCountersChanged;
    std::function<void(const QString&)> m_onInsertEditorText;
    std::function<QVariant(int)> m_imageProvider;
};

// The program-wide list, created and freed by the recipients pane; null
// while no pane exists.
extern TNRecipientList* RecipientList;
