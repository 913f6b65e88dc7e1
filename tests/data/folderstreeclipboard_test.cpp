// The folder tree's clipboard and drag and drop on real address-book files:
// copy and paste, the move, the failure of a paste, the content kinds, and
// dropping onto the recipients list.
#include "folderstreefixture.h"

#include "data/folderstreeclipboard.h"
#include "data/folderstreedrag.h"
#include "data/recipients.h"
#include "data/recipientsdrop.h"
#include "foundation/logonrole.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>

namespace {
class FoldersTreeClipboardTest : public FoldersTreeTest {
protected:
    void SetUp() override
    {
        FoldersTreeTest::SetUp();
        LogonRole = RoleAdmin;
    }
    void TearDown() override
    {
        FoldersTreeState->TreeEndDrag();
        LogonRole = RoleUser;
        FoldersTreeTest::TearDown();
    }
    // A folder "Big" holding 1,000 nodes: 10 subfolders of 99 contacts each.
    qint32 BuildBigFolder()
    {
        const qint32 big = Folder(QStringLiteral("Big"), 0);
        Book->Exec(QStringLiteral("begin"));
        for (int s = 0; s < 10; ++s) {
            const qint32 sub = Folder(QStringLiteral("Sub %1").arg(s), big);
            for (int i = 0; i < 99; ++i)
                Place(sub, Book->Contact(QStringLiteral("C %1 %2").arg(s).arg(i), Carrier));
        }
        Book->Exec(QStringLiteral("commit"));
        return big;
    }
    // Enters, moves over and (when accepted) drops onto the widget.
    static void SendDrag(QWidget* viewport, const QPoint& pos, Qt::KeyboardModifiers keys, bool* accepted)
    {
        QMimeData data;
        data.setData(TreeNodesMimeType, QByteArray());
        // The enter event makes the viewport the drag's current target.
        QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(viewport, &move);
        *accepted = move.isAccepted();
        if (!*accepted)
            return;
        QDropEvent drop(QPointF(pos), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(viewport, &drop);
    }
};

TEST_F(FoldersTreeClipboardTest, AThousandNodeFolderPastesOnceIntoItsBookAndNeverIntoAnother)
{
    BuildBigFolder();
    Folder(QStringLiteral("Target"), 0);
    AddOtherBook();
    Load();
    TNTreeNode* big = Child(Root(), QStringLiteral("Big"));
    EXPECT_EQ(GetDescendants(big, nullptr, false), 1000);
    SelectOnly({big});
    CopySelectionToClipboard(Tree.get(), Clipboard.get());
    EXPECT_EQ(GetClipboardContentKind(), ckFoldersAndItems);
    EXPECT_EQ(GetClipboardDatabase(), Root()->Database);

    // Another book refuses it, saying why.
    SelectOnly({Root(1)});
    EXPECT_FALSE(PasteFromClipboard(Clipboard.get(), Tree.get()));
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_EQ(Answerer.Texts().first(),
              QStringLiteral("The clipboard holds \"Big\" of the address book \"Local Database\": it can be pasted "
                             "only into that address book, not into \"Other\"."));
    Answerer.Clear();
    TNTreeNode* target = Child(Root(), QStringLiteral("Target"));
    SelectOnly({target});
    ASSERT_TRUE(PasteFromClipboard(Clipboard.get(), Tree.get()));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 2 * 11 + 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 2 * 990);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID in (select ID from Folders where "
                                                                   "ParentID = (select ID from Folders where "
                                                                   "ParentID = %1))")
                                                        .arg(target->ID)),
              990);
    ASSERT_EQ(target->childCount(), 1);
    EXPECT_TRUE(target->child(0)->isSelected());
    EXPECT_EQ(GetDescendants(TNTreeNode::From(target->child(0)), nullptr, false), 1000);
    EXPECT_TRUE(Answerer.Texts().isEmpty());
    EXPECT_TRUE(Tree->updatesEnabled());

    // Pasting again beside the copy numbers the new folder.
    SelectOnly({target});
    ASSERT_TRUE(PasteFromClipboard(Clipboard.get(), Tree.get()));
    EXPECT_EQ(Captions(target), (QStringList{QStringLiteral("Big"), QStringLiteral("Big (1)")}));
    EXPECT_EQ(Rows(QStringLiteral("Folders"), QStringLiteral("Name = 'Big (1)'")), 1);
}

TEST_F(FoldersTreeClipboardTest, AFailedPasteLeavesTheBookAsItWasAndTheTreeUsable)
{
    const qint32 f = Folder(QStringLiteral("F"), 0);
    for (int i = 0; i < 5; ++i)
        Place(f, Book->Contact(QStringLiteral("C%1").arg(i), Carrier));
    Folder(QStringLiteral("Target"), 0);
    // The fourth placement written fails.
    Book->Exec(
        QStringLiteral("create trigger Fail before insert on FolderAssigns when "
                       "(select count(*) from FolderAssigns) >= 8 begin select raise(abort, 'disk full'); end"));
    Load();
    SelectOnly({Child(Root(), QStringLiteral("F"))});
    CopySelectionToClipboard(Tree.get(), Clipboard.get());
    SelectOnly({Child(Root(), QStringLiteral("Target"))});
    EXPECT_ANY_THROW(PasteFromClipboard(Clipboard.get(), Tree.get()));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 2);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 5);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Tree->updatesEnabled());
    // The tree shows the book as it is, and the next write goes through.
    EXPECT_EQ(Captions(Root()), (QStringList{QStringLiteral("F"), QStringLiteral("Target")}));
    EXPECT_EQ(Child(Root(), QStringLiteral("Target"))->childCount(), 0);
    // The clipboard is kept, for another try.
    ASSERT_NE(ClipboardRoot(Clipboard.get()), nullptr);
    EXPECT_EQ(GetClipboardDatabase(), Root()->Database);
    AddChildNode(Root(), new TNTreeNode(Root()->Database, nkFolder, -1));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 3);
}

TEST_F(FoldersTreeClipboardTest, AMoveOfAFolderWithItsSelectedDescendantDeletesEachOriginalOnce)
{
    const qint32 a = Folder(QStringLiteral("A"), 0);
    const qint32 b = Folder(QStringLiteral("B"), a);
    Place(b, Book->Contact(QStringLiteral("C"), Carrier));
    Folder(QStringLiteral("Target"), 0);
    Load();
    TNTreeNode* aNode = Child(Root(), QStringLiteral("A"));
    SelectOnly({aNode, Child(aNode, QStringLiteral("B"))});
    ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
    TNTreeNode* target = Child(Root(), QStringLiteral("Target"));
    ASSERT_TRUE(FoldersTreeState->TreeDragOver(target));
    EXPECT_NO_THROW(FoldersTreeState->TreeDragDrop(target, false));
    FoldersTreeState->TreeEndDrag();

    EXPECT_EQ(Captions(Root()), QStringList{QStringLiteral("Target")});
    EXPECT_EQ(Captions(target), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(Rows(QStringLiteral("Folders"), QStringLiteral("ID in (%1, %2)").arg(a).arg(b)), 0);
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 4);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 2);
    EXPECT_TRUE(Answerer.Texts().isEmpty());
    EXPECT_EQ(ClipboardRoot(Clipboard.get()), nullptr);

    // Cut of a folder with its descendant: the same, when it is pasted
    // (until then its rows stay).
    TNTreeNode* moved = Child(target, QStringLiteral("A"));
    SelectOnly({moved, Child(moved, QStringLiteral("B"))});
    EXPECT_NO_THROW(CutSelectionToClipboard(Tree.get(), Clipboard.get()));
    EXPECT_EQ(Captions(target), QStringList{QStringLiteral("B")});
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 4);
    SelectOnly({Root()});
    EXPECT_NO_THROW(PasteFromClipboard(Clipboard.get(), Tree.get()));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 5);
    EXPECT_TRUE(Answerer.Texts().isEmpty());
}

TEST_F(FoldersTreeClipboardTest, DropsStayInsideTheirBookOffTheirOwnPathAndNeedTheAdministrator)
{
    AddOtherBook();
    const qint32 a = Folder(QStringLiteral("A"), 0);
    const qint32 b = Folder(QStringLiteral("B"), 0);
    const qint32 c = Book->Contact(QStringLiteral("C"), Carrier);
    Place(a, c);
    Place(b, c);
    Folder(QStringLiteral("Inner"), a);
    Load();
    TNTreeNode* aNode = Child(Root(), QStringLiteral("A"));
    TNTreeNode* bNode = Child(Root(), QStringLiteral("B"));
    SelectOnly({aNode});
    ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
    EXPECT_FALSE(FoldersTreeState->TreeDragOver(Root()));                                 // own parent
    EXPECT_FALSE(FoldersTreeState->TreeDragOver(aNode));                                  // itself
    EXPECT_FALSE(FoldersTreeState->TreeDragOver(Child(aNode, QStringLiteral("Inner"))));  // inside itself
    EXPECT_FALSE(FoldersTreeState->TreeDragOver(Child(bNode, QStringLiteral("C"))));      // a contact
    EXPECT_FALSE(FoldersTreeState->TreeDragOver(Root(1)));                                // another book
    EXPECT_TRUE(FoldersTreeState->TreeDragOver(bNode));
    LogonRole = RoleUser;
    EXPECT_FALSE(FoldersTreeState->TreeDragOver(bNode));
    FoldersTreeState->TreeEndDrag();
    LogonRole = RoleAdmin;

    // The contact is in B already: the duplicate warning, and the dragged
    // placement stays where it was.
    SelectOnly({Child(aNode, QStringLiteral("C"))});
    ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
    FoldersTreeState->TreeDragDrop(bNode, false);
    FoldersTreeState->TreeEndDrag();
    EXPECT_EQ(Answerer.Texts().size(), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 2);
    EXPECT_EQ(Captions(aNode), (QStringList{QStringLiteral("Inner"), QStringLiteral("C")}));

    // A drag of address books carries nothing.
    SelectOnly({Root()});
    EXPECT_FALSE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
    EXPECT_FALSE(CarriesTreeNodes(nullptr));
}

TEST_F(FoldersTreeClipboardTest, ADragEnteringOverItsOwnNodeStillDropsOnTheFolderBelowWithCtrlCopying)
{
    const qint32 a = Folder(QStringLiteral("A"), 0);
    Folder(QStringLiteral("B"), 0);
    Place(a, Book->Contact(QStringLiteral("C"), Carrier));
    Load();
    Tree->resize(300, 300);
    Tree->show();
    Tree->expandAll();
    TNTreeNode* aNode = Child(Root(), QStringLiteral("A"));
    TNTreeNode* contact = Child(aNode, QStringLiteral("C"));
    SelectOnly({contact});
    ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
    QMimeData data;
    data.setData(TreeNodesMimeType, QByteArray());
    // The drag enters over the dragged node, where it may not drop.
    QDragEnterEvent enter(Tree->visualItemRect(contact).center(), Qt::CopyAction | Qt::MoveAction, &data,
                          Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Tree->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    // The moves and the drop that follow go where the enter was let in.
    const QPoint onB = Tree->visualItemRect(Child(Root(), QStringLiteral("B"))).center();
    QDragMoveEvent move(onB, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Tree->viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(onB), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Tree->viewport(), &drop);
    FoldersTreeState->TreeEndDrag();
    EXPECT_EQ(Captions(Child(Root(), QStringLiteral("B"))), QStringList{QStringLiteral("C")});
    EXPECT_EQ(Captions(aNode), QStringList{QStringLiteral("C")});
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 2);
}

TEST_F(FoldersTreeClipboardTest, ContentKindsCaptionsAndCursorsFollowTheClipboard)
{
    const qint32 f = Folder(QStringLiteral("F"), 0);
    Folder(QStringLiteral("E1"), 0);
    Folder(QStringLiteral("E2"), 0);
    PlaceGroup(f, Book->Group(QStringLiteral("G")));
    Place(0, Book->Contact(QStringLiteral("a"), Carrier));
    Place(0, Book->Contact(QStringLiteral("b"), Carrier));
    Place(0, Book->Contact(QStringLiteral("c"), Carrier));
    Load();
    const auto kindOf = [this](std::initializer_list<QTreeWidgetItem*> nodes) {
        SelectOnly(nodes);
        CopySelectionToClipboard(Tree.get(), Clipboard.get());
        return GetClipboardContentKind();
    };
    QString caption;
    GetClipboardCaption(caption);
    EXPECT_EQ(caption, QStringLiteral("No Selection"));
    TNTreeNode* root = Root();
    EXPECT_EQ(kindOf({Child(root, QStringLiteral("E1"))}), ckOneFolder);
    EXPECT_EQ(kindOf({Child(root, QStringLiteral("E1")), Child(root, QStringLiteral("E2"))}), ckFolders);
    EXPECT_EQ(kindOf({Child(root, QStringLiteral("F"))}), ckFoldersAndItems);
    EXPECT_EQ(kindOf({Child(root, QStringLiteral("a"))}), ckOneContact);
    EXPECT_EQ(
        kindOf({Child(root, QStringLiteral("a")), Child(root, QStringLiteral("b")), Child(root, QStringLiteral("c"))}),
        ckContactsAndGroups);
    GetClipboardCaption(caption);
    EXPECT_EQ(caption, QStringLiteral("a, b, ..."));
    EXPECT_EQ(ClipboardKindToImageIndex(ckFolders), 2);
    EXPECT_EQ(ClipboardKindToImageIndex(9), -1);
    EXPECT_EQ(TNDragControlObject::GetDragCursor(false, true), TNDragControlObject::crNoDrop);
    EXPECT_EQ(TNDragControlObject::GetDragCursor(true, true), TNDragControlObject::crCopy);
    EXPECT_EQ(TNDragControlObject::GetDragCursor(true, false), TNDragControlObject::crMove);

    // A reload keeps the clipboard: the books' clients are the same.
    ReloadFoldersTree(Tree.get());
    EXPECT_EQ(GetClipboardContentKind(), ckContactsAndGroups);
    EXPECT_EQ(GetClipboardDatabase(), Root()->Database);
}

TEST_F(FoldersTreeClipboardTest, DraggingAGroupOntoTheRecipientsListAddsOneRowAndAnEmptyFolderIsRefused)
{
    PlaceGroup(0, Book->Group(QStringLiteral("Team")));
    Folder(QStringLiteral("Empty"), 0);
    Load();
    TNRecipientList list;
    RecipientList = &list;
    QTreeView view;
    view.setModel(&list);
    view.resize(300, 200);
    DummyListObject->AttachToForm(&view);
    bool accepted = false;

    SelectOnly({Child(Root(), QStringLiteral("Empty"))});
    ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
    SendDrag(view.viewport(), QPoint(10, 10), Qt::NoModifier, &accepted);
    EXPECT_FALSE(accepted);
    FoldersTreeState->TreeEndDrag();

    // An operator may drop onto the list.
    LogonRole = RoleUser;
    SelectOnly({Child(Root(), QStringLiteral("Team"))});
    QPixmap image;
    QPoint hotSpot;
    ASSERT_TRUE(FoldersTreeState->TreeStartDrag(&image, &hotSpot));
    EXPECT_EQ(image.height(), 32);
    EXPECT_GT(image.width(), 34);
    EXPECT_EQ(hotSpot, QPoint(32, 32));
    SendDrag(view.viewport(), QPoint(10, 10), Qt::ControlModifier, &accepted);
    EXPECT_TRUE(accepted);
    FoldersTreeState->TreeEndDrag();
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetRecipient(0)->Kind, nkGroup);
    EXPECT_EQ(list.GetRecipient(0)->Name, QStringLiteral("Team"));
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 1);

    // After the drag ends nothing is carried any more.
    SendDrag(view.viewport(), QPoint(10, 10), Qt::NoModifier, &accepted);
    EXPECT_FALSE(accepted);
    DummyListObject->AttachToForm(nullptr);
    RecipientList = nullptr;
}
}  // namespace
