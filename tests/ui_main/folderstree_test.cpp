// The folder-tree pane on real files, offscreen: loading at the first show,
// the commands' enabled and shown states, Add to Recipients from folders at
// any depth with the duplicate question, the double-click, sibling-only
// selection, the reload, and what the pane writes when it goes.
#include "data/folderstree.h"
#include "data/basedataclient.h"
#include "data/folderstreeclipboard.h"
#include "data/folderstreecut.h"
#include "data/folderstreeselection.h"
#include "eventwaits.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "panefixture.h"
#include "support/messageanswerer.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmrecipients.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace {

class FoldersPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QList<qint32> ids = world.AddContacts(
            {QStringLiteral("Alice"), QStringLiteral("Bob"), QStringLiteral("Carl")}, QStringLiteral("x"));
        alice = ids[0];
        bob = ids[1];
        carl = ids[2];
        TBookBuilder book(world.dbs.AddressBookPath());
        team = Folder(book, QStringLiteral("Team"), 0);
        sub = Folder(book, QStringLiteral("Sub"), team);
        crew = book.Group(QStringLiteral("Crew"));
        book.Member(crew, carl);
        Place(book, team, alice, NoneID);
        Place(book, sub, bob, NoneID);
        Place(book, sub, NoneID, crew);
        Place(book, 0, carl, NoneID);
        world.Start();
        LogonRole = RoleAdmin;
        OpenWindow();
    }
    void TearDown() override
    {
        window.reset();
        LogonRole = RoleUser;
    }

    void OpenWindow()
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        pane = new TFormFoldersTree;
        recipients = new TFormRecipients;
        layout->addWidget(pane);
        layout->addWidget(recipients);
        window->resize(600, 400);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        tree = pane->tvFolders;
    }

    static qint32 Folder(TBookBuilder& book, const QString& name, qint32 parent)
    {
        return book.Insert(QStringLiteral("insert into Folders (Name, ParentID) values (:N, :P)"),
                           {{QStringLiteral("N"), name}, {QStringLiteral("P"), parent}});
    }
    static void Place(TBookBuilder& book, qint32 folder, qint32 contact, qint32 group)
    {
        book.Insert(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (:F, :G, :C)"),
                    {{QStringLiteral("F"), folder}, {QStringLiteral("G"), group}, {QStringLiteral("C"), contact}});
    }

    QTreeWidgetItem* Root() const { return tree->topLevelItem(0); }
    QTreeWidgetItem* Find(const QString& caption) const
    {
        const QList<QTreeWidgetItem*> items = tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.first();
    }
    void Select(const QStringList& captions)
    {
        tree->clearSelection();
        for (const QString& caption : captions) {
            QTreeWidgetItem* item = Find(caption);
            ASSERT_NE(item, nullptr) << caption.toStdString();
            if (caption == captions.first())
                tree->setCurrentItem(item);
            item->setSelected(true);
        }
        pane->UpdateActions();
    }
    QStringList VisibleMenu() const
    {
        QStringList entries;
        for (QAction* a : pane->mnuTreePopup->actions())
            if (a->isVisible())
                entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return entries;
    }
    QStringList RecipientNames() const
    {
        QStringList names;
        for (int i = 0; i < RecipientList->GetCount(); ++i)
            names << RecipientList->GetRecipient(i)->Name;
        return names;
    }
    int Rows(const QString& table)
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        return int(book.Count(table));
    }

    TPaneWorld world;
    qint32 alice = 0, bob = 0, carl = 0, team = 0, sub = 0, crew = 0;
    std::unique_ptr<QWidget> window;
    TFormFoldersTree* pane = nullptr;
    TFormRecipients* recipients = nullptr;
    TSCGTreeView* tree = nullptr;
};

}  // namespace

TEST_F(FoldersPaneTest, TheFirstShowLoadsTheTree)
{
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(Root()->text(0), QStringLiteral("Local Database"));
    EXPECT_EQ(Root()->childCount(), 2);  // Team and Carl
    EXPECT_EQ(Find(QStringLiteral("Sub"))->childCount(), 2);
    EXPECT_EQ(pane->lblTitle->text(), QStringLiteral("Co&ntacts"));
    EXPECT_EQ(pane->lblTitle->buddy(), tree);
    EXPECT_TRUE(tree->isHeaderHidden());
}

TEST_F(FoldersPaneTest, CommandsFollowTheSelection)
{
    // Nothing selected: Add to Recipients and the clipboard commands shown
    // but disabled, with the two separators that are always shown.
    tree->clearSelection();
    pane->UpdateActions();
    EXPECT_FALSE(pane->actAddToRecipients->isEnabled());
    EXPECT_FALSE(pane->actClearSelection->isEnabled());
    EXPECT_FALSE(pane->actCopy->isEnabled());
    EXPECT_FALSE(pane->actPaste->isEnabled());
    EXPECT_EQ(VisibleMenu(), (QStringList{QStringLiteral("Add to Recipients"), QStringLiteral("-"), QStringLiteral("-"),
                                          QStringLiteral("Copy"), QStringLiteral("Cut"), QStringLiteral("Paste")}));

    Select({QStringLiteral("Alice")});
    EXPECT_TRUE(pane->actAddToRecipients->isEnabled());
    EXPECT_TRUE(pane->actClearSelection->isEnabled());
    EXPECT_TRUE(pane->actCopy->isEnabled());
    EXPECT_TRUE(pane->actCut->isEnabled());
    EXPECT_FALSE(pane->actNewFolder->isVisible());
    EXPECT_EQ(VisibleMenu(),
              (QStringList{QStringLiteral("Add to Recipients"), QStringLiteral("-"), QStringLiteral("&Remove"),
                           QStringLiteral("-"), QStringLiteral("Clear Selection"), QStringLiteral("-"),
                           QStringLiteral("Copy"), QStringLiteral("Cut"), QStringLiteral("Paste")}));

    // An address book holds recipients, but is not sent to as a whole, nor
    // removed or copied; folders are made in it.
    Select({QStringLiteral("Local Database")});
    EXPECT_FALSE(pane->actAddToRecipients->isEnabled());
    EXPECT_TRUE(pane->actClearSelection->isEnabled());
    EXPECT_FALSE(pane->actRemove->isEnabled());
    EXPECT_FALSE(pane->actCopy->isEnabled());
    EXPECT_TRUE(pane->actNewFolder->isEnabled());
    EXPECT_FALSE(pane->actRenameFolder->isVisible());

    // An empty folder has nothing to send to.
    {
        TNTreeNode* empty = AddChildNode(Root(), new TNTreeNode(TNTreeNode::From(Root())->Database, nkFolder, -1));
        empty->SetCaption(QStringLiteral("Empty"));
    }
    Select({QStringLiteral("Empty")});
    EXPECT_FALSE(pane->actAddToRecipients->isEnabled());

    pane->actClearSelection->trigger();
    EXPECT_TRUE(tree->selectedItems().isEmpty());
}

TEST_F(FoldersPaneTest, TheUserRoleGreysEditingButNotAddToRecipients)
{
    Select({QStringLiteral("Team")});
    EXPECT_TRUE(pane->actNewFolder->isEnabled());
    EXPECT_TRUE(pane->actRenameFolder->isEnabled());

    LogonRole = RoleUser;
    pane->UpdateActions();
    for (QAction* editing : {pane->actNewFolder, pane->actRenameFolder, pane->actRemove, pane->actCopy}) {
        EXPECT_FALSE(editing->isEnabled()) << editing->text().toStdString();
        EXPECT_TRUE(editing->isVisible()) << editing->text().toStdString();
    }
    EXPECT_TRUE(pane->actAddToRecipients->isEnabled());
    EXPECT_TRUE(pane->actClearSelection->isEnabled());

    // A contact: the folder commands are hidden.
    Select({QStringLiteral("Alice")});
    EXPECT_FALSE(pane->actNewFolder->isVisible());
}

TEST_F(FoldersPaneTest, AddToRecipientsFromAFolderTakesContactsAndGroupsAtAnyDepthThroughTheDuplicateQuestion)
{
    MessageAnswerer answers;
    Select({QStringLiteral("Team")});
    pane->actAddToRecipients->trigger();
    EXPECT_EQ(RecipientList->GetCount(), 3);
    EXPECT_TRUE(RecipientNames().contains(QStringLiteral("Alice")));
    EXPECT_TRUE(RecipientNames().contains(QStringLiteral("Bob")));
    EXPECT_TRUE(RecipientNames().contains(QStringLiteral("Crew")));
    EXPECT_TRUE(answers.Requests().isEmpty());

    // Again: each one is a duplicate; two are refused, Bob is added again.
    Select({QStringLiteral("Sub"), QStringLiteral("Alice")});
    answers.QueueAnswer(mbNo);
    answers.QueueAnswer(mbYes);
    answers.QueueAnswer(mbNo);
    pane->actAddToRecipients->trigger();
    EXPECT_EQ(answers.Requests().size(), 3);
    EXPECT_EQ(RecipientList->GetCount(), 4);
    EXPECT_EQ(RecipientNames().count(QStringLiteral("Bob")) + RecipientNames().count(QStringLiteral("Crew")), 3);
}

TEST_F(FoldersPaneTest, DoubleClickAddsAContactButNotAFolder)
{
    tree->expandAll();
    QApplication::processEvents();
    const QRect folderRect = tree->visualItemRect(Find(QStringLiteral("Team")));
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, folderRect.center());
    EXPECT_EQ(RecipientList->GetCount(), 0);

    const QRect rect = tree->visualItemRect(Find(QStringLiteral("Carl")));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(RecipientNames(), QStringList{QStringLiteral("Carl")});
    EXPECT_EQ(FoldersTreeState->NodeUnderMouse, TNTreeNode::From(Find(QStringLiteral("Carl"))));
}

TEST_F(FoldersPaneTest, SeveralNodesAreSelectedOnlyAmongSiblings)
{
    tree->setCurrentItem(Find(QStringLiteral("Team")));
    Find(QStringLiteral("Team"))->setSelected(true);
    Find(QStringLiteral("Carl"))->setSelected(true);  // a sibling
    QApplication::processEvents();
    EXPECT_EQ(tree->selectedItems().size(), 2);
    Find(QStringLiteral("Alice"))->setSelected(true);  // one level down
    QApplication::processEvents();
    EXPECT_EQ(tree->selectedItems().size(), 2);
    EXPECT_FALSE(Find(QStringLiteral("Alice"))->isSelected());
}

TEST_F(FoldersPaneTest, ReloadingKeepsEveryRowAndShowsANewBook)
{
    world.AddSecondBook();
    const int folders = Rows(QStringLiteral("Folders"));
    const int assigns = Rows(QStringLiteral("FolderAssigns"));
    // As the main window does it: the pane's painting is suspended around the
    // reload, and the tree paints again afterwards.
    pane->setUpdatesEnabled(false);
    pane->ReloadDatabases();
    pane->setUpdatesEnabled(true);
    EXPECT_TRUE(tree->updatesEnabled());
    EXPECT_TRUE(tree->viewport()->updatesEnabled());
    EXPECT_EQ(Rows(QStringLiteral("Folders")), folders);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), assigns);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("Other"));
    EXPECT_EQ(TNTreeNode::From(tree->topLevelItem(1))->ImageIndex(), 7);
    EXPECT_FALSE(FoldersTreeState->Reloading);

    // A failure while the clients are made: the tree shows the books made
    // before it, never nodes of clients that are gone.
    {
        TBookBuilder local(world.dbs.LocalDataPath());
        local.Exec(
            QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) "
                           "values (99, 'Odd', 3, '', '{00000000-0000-0000-0000-0000000000B3}')"));
    }
    EXPECT_THROW(pane->ReloadDatabases(), std::exception);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(TNTreeNode::From(tree->topLevelItem(1))->Database->Name(), QStringLiteral("Other"));
}

TEST_F(FoldersPaneTest, ReloadingTheBooksKeepsTheClipboardAndACutAndTellsOfACutWhoseBookIsGone)
{
    MessageAnswerer answers;
    const QString otherFile = world.AddSecondBook();
    {
        TBookBuilder other(otherFile);
        Folder(other, QStringLiteral("Away"), 0);
    }
    pane->ReloadDatabases();
    ASSERT_EQ(tree->topLevelItemCount(), 2);

    // The clients are made anew: the cut follows its book by GUID.
    Select({QStringLiteral("Team")});
    pane->actCut->trigger();
    ASSERT_TRUE(CutPending());
    pane->ReloadDatabases();
    EXPECT_TRUE(CutPending());
    EXPECT_EQ(Find(QStringLiteral("Team")), nullptr);
    EXPECT_EQ(GetClipboardDatabase(), TNTreeNode::From(Root())->Database);
    Select({QStringLiteral("Local Database")});
    pane->UpdateActions();
    ASSERT_TRUE(pane->actPaste->isEnabled());
    pane->actPaste->trigger();
    EXPECT_FALSE(CutPending());
    ASSERT_NE(Find(QStringLiteral("Team")), nullptr);
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 2);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 4);

    // Its book leaves the list: the operator is told, and the cut stays
    // where it was in that book's file.
    Select({QStringLiteral("Away")});
    pane->actCut->trigger();
    ASSERT_TRUE(CutPending());
    EXPECT_EQ(CutCaption(), QStringLiteral("Away"));
    {
        TBookBuilder local(world.dbs.LocalDataPath());
        local.Exec(QStringLiteral("delete from Databases where Name = 'Other'"));
    }
    answers.Clear();
    pane->ReloadDatabases();
    EXPECT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_FALSE(CutPending());
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_TRUE(answers.Texts().first().startsWith(QStringLiteral("The cut \"Away\" was not pasted")));
    TBookBuilder other(otherFile);
    EXPECT_EQ(other.Count(QStringLiteral("Folders"), QStringLiteral("Name = 'Away'")), 1);
}

TEST_F(FoldersPaneTest, DestroyingThePaneWritesOnlyTheExpandedFolders)
{
    Root()->setExpanded(true);
    Find(QStringLiteral("Sub"))->setExpanded(true);
    const int folders = Rows(QStringLiteral("Folders"));
    const int assigns = Rows(QStringLiteral("FolderAssigns"));
    window.reset();
    EXPECT_TRUE(FoldersTreeState->Destroying);
    EXPECT_EQ(Rows(QStringLiteral("Folders")), folders);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), assigns);
    EXPECT_EQ(world.CountRows(QStringLiteral("FoldersOpen")), 2);

    // The next pane opens them again.
    OpenWindow();
    EXPECT_FALSE(FoldersTreeState->Destroying);
    EXPECT_TRUE(Root()->isExpanded());
    EXPECT_TRUE(Find(QStringLiteral("Sub"))->isExpanded());
    EXPECT_FALSE(Find(QStringLiteral("Team"))->isExpanded());
}

TEST_F(FoldersPaneTest, ALoadErrorIsShownAndLeavesTheTreeUsable)
{
    MessageAnswerer answers;
    pane->hide();
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        book.Exec(QStringLiteral("alter table Folders rename to Gone"));
    }
    pane->show();
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(answers.Requests().first().Type, TMsgDlgType::mtError);
    EXPECT_FALSE(FoldersTreeState->Loading);
    EXPECT_TRUE(tree->updatesEnabled());
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(FoldersPaneTest, CtrlREscAndAltNActWhileTheTreeHasTheFocus)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // The title's accelerator puts the focus on the tree.
    recipients->lvRecipients->setFocus();
    QTest::keyClick(recipients->lvRecipients, Qt::Key_N, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([this] { return tree->hasFocus(); }));

    Select({QStringLiteral("Carl")});
    QTest::keyClick(tree, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(RecipientNames(), QStringList{QStringLiteral("Carl")});
    QTest::keyClick(tree, Qt::Key_Escape);
    EXPECT_TRUE(tree->selectedItems().isEmpty());

    // With the focus in the recipients list the tree's keys do nothing.
    Select({QStringLiteral("Team")});
    recipients->lvRecipients->setFocus();
    QTest::keyClick(recipients->lvRecipients, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(RecipientNames(), QStringList{QStringLiteral("Carl")});
}

TEST_F(FoldersPaneTest, FoldersAreMadeAndRenamedInPlaceAndEscCancelsTheEdit)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    tree->setFocus();
    const auto editor = [this] { return tree->viewport()->findChild<QLineEdit*>(); };
    const auto folderName = [this](const QString& where) {
        TBookBuilder book(world.dbs.AddressBookPath());
        return book.Value(QStringLiteral("select Name from Folders where ") + where).toString();
    };

    Select({QStringLiteral("Team")});
    QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    EXPECT_EQ(editor()->text(), QStringLiteral("New Folder1"));
    QTest::keyClick(editor(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor() || !editor()->isVisible(); }));
    EXPECT_EQ(folderName(QStringLiteral("ParentID = %1 and ID <> %2").arg(team).arg(sub)),
              QStringLiteral("New Folder1"));
    EXPECT_NE(Find(QStringLiteral("New Folder1")), nullptr);

    Select({QStringLiteral("Sub")});
    QTest::keyClick(tree, Qt::Key_F2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor() && editor()->hasFocus(); }));
    editor()->selectAll();
    QTest::keyClicks(editor(), QStringLiteral("Staff"));
    QTest::keyClick(editor(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Find(QStringLiteral("Staff")) != nullptr; }));
    EXPECT_EQ(folderName(QStringLiteral("ID = %1").arg(sub)), QStringLiteral("Staff"));

    // The user role cannot start an edit, and mouse or keys outside the
    // commands never do.
    Select({QStringLiteral("Staff")});
    LogonRole = RoleUser;
    pane->UpdateActions();
    QTest::keyClick(tree, Qt::Key_F2);
    QApplication::processEvents();
    EXPECT_TRUE(!editor() || !editor()->isVisible());
}

TEST_F(FoldersPaneTest, CopyAndPasteByKeysPlaceAContactOnceAndRemoveAsksFirst)
{
    MessageAnswerer answers;
    tree->setFocus();
    Select({QStringLiteral("Carl")});
    pane->actCopy->trigger();
    Select({QStringLiteral("Team")});
    EXPECT_TRUE(pane->actPaste->isEnabled());
    pane->actPaste->trigger();
    EXPECT_EQ(Find(QStringLiteral("Team"))->childCount(), 3);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 5);
    // A second paste is refused by the sibling rule.
    Select({QStringLiteral("Team")});
    pane->actPaste->trigger();
    EXPECT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 5);

    // Remove answered No changes nothing, the clipboard included.
    Select({QStringLiteral("Sub")});
    answers.QueueAnswer(mbNo);
    pane->actRemove->trigger();
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 2);
    EXPECT_NE(ClipboardRoot(pane->tvClipBoardTree), nullptr);
    answers.QueueAnswer(mbYes);
    pane->actRemove->trigger();
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 3);
    // The clipboard keeps its copy.
    EXPECT_NE(ClipboardRoot(pane->tvClipBoardTree), nullptr);
    Select({QStringLiteral("Team")});
    pane->UpdateActions();
    EXPECT_TRUE(pane->actPaste->isEnabled());
}
