// What ends a cut, on real address-book files: one table of the commands an
// operator may run between Cut and Paste, each either keeping the cut (it
// stays out of the tree with its rows in the book, and the next paste moves
// it) or ending it (it is back where it was, nothing lost). Then what a
// paste writes: only records that still exist, and only into its own book.
#include "folderstreefixture.h"

#include "data/folderstreeclipboard.h"
#include "data/folderstreecut.h"
#include "data/folderstreedrag.h"
#include "data/folderstreeedit.h"
#include "data/recipients.h"
#include "data/recipientsdrop.h"
#include "db/dataset.h"
#include "foundation/logonrole.h"

#include <functional>

namespace {
class FoldersTreeCutTest : public FoldersTreeTest {
protected:
    void SetUp() override
    {
        FoldersTreeTest::SetUp();
        LogonRole = RoleAdmin;
    }
    void TearDown() override
    {
        FoldersTreeState->TreeEndDrag();
        DropCut();
        LogonRole = RoleUser;
        FoldersTreeTest::TearDown();
    }
    bool Paste(const QString& into)
    {
        SelectOnly({Find(into)});
        return PasteFromClipboard(Clipboard.get(), Tree.get());
    }
    TNTreeNode* Find(const QString& caption) const
    {
        for (TNTreeNode* node : AllNodes(Tree.get()))
            if (node->Caption() == caption)
                return node;
        return nullptr;
    }
    // "Cut" (4 folders, 10 placements) in "Home", and "Other" and "Target"
    // beside "Home".
    void BuildBook()
    {
        const qint32 home = Folder(QStringLiteral("Home"), 0);
        const qint32 cut = Folder(QStringLiteral("Cut"), home);
        const qint32 a = Folder(QStringLiteral("A"), cut);
        const qint32 b = Folder(QStringLiteral("B"), a);
        Folder(QStringLiteral("Other"), 0);
        Folder(QStringLiteral("Target"), 0);
        int n = 0;
        for (qint32 folder : {cut, cut, cut, a, a, a, b, b, b})
            Place(folder, Contact(QStringLiteral("C%1").arg(n++)));
        PlaceGroup(b, Book->Group(QStringLiteral("G")));
        Place(Folder(QStringLiteral("Other child"), Id(QStringLiteral("Other"))), Contact(QStringLiteral("Elsewhere")));
        CutFolders = {cut, a, b};
    }
    qint32 Contact(const QString& name)
    {
        const qint32 id = Book->Contact(name, Carrier);
        ContactIDs[name] = id;
        return id;
    }
    qint32 Id(const QString& folder)
    {
        return Book->Value(QStringLiteral("select ID from Folders where Name = '%1'").arg(folder)).toInt();
    }
    // The rows of the cut folders and their placements as they were made.
    qint64 OriginalCutRows()
    {
        QStringList ids;
        for (qint32 id : std::as_const(CutFolders))
            ids << QString::number(id);
        const QString in = ids.join(QLatin1Char(','));
        return Rows(QStringLiteral("Folders"), QStringLiteral("ID in (%1)").arg(in)) +
               Rows(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID in (%1)").arg(in));
    }
    void CutIt()
    {
        SelectOnly({Find(QStringLiteral("Cut"))});
        CutSelectionToClipboard(Tree.get(), Clipboard.get());
    }
    QList<qint32> CutFolders;
    QHash<QString, qint32> ContactIDs;
};

struct TCutCase {
    const char* Name;
    std::function<void()> Event;
    bool CutKept;
};

TEST_F(FoldersTreeCutTest, ACutIsKeptUntilAnotherCutOrCopyReplacesItOrItsPasteSucceeds)
{
    const std::vector<TCutCase> cases = {
        {"a paste that fails",
         [this] {
             Book->Exec(
                 QStringLiteral("create trigger Fail before insert on Folders "
                                "begin select raise(abort, 'database is locked'); end"));
             EXPECT_ANY_THROW(Paste(QStringLiteral("Target")));
             Book->Exec(QStringLiteral("drop trigger Fail"));
         },
         true},
        {"Remove of another node answered No",
         [this] {
             Answerer.QueueAnswer(mbNo);
             SelectOnly({Find(QStringLiteral("Other"))});
             RemoveSelectedNodes(Tree.get(), true);
             EXPECT_NE(Find(QStringLiteral("Other")), nullptr);
         },
         true},
        {"Remove of another node answered Yes",
         [this] {
             Answerer.QueueAnswer(mbYes);
             SelectOnly({Find(QStringLiteral("Other"))});
             RemoveSelectedNodes(Tree.get(), true);
             EXPECT_EQ(Find(QStringLiteral("Other")), nullptr);
         },
         true},
        {"a drag to the recipients",
         [this] {
             TNRecipientList list;
             RecipientList = &list;
             SelectOnly({Find(QStringLiteral("Other"))});
             ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
             EXPECT_TRUE(DummyListObject->ListDragOver());
             DummyListObject->ListDragDrop();
             FoldersTreeState->TreeEndDrag();
             EXPECT_EQ(list.GetCount(), 1);
             RecipientList = nullptr;
         },
         true},
        {"a drag dropped nowhere",
         [this] {
             SelectOnly({Find(QStringLiteral("Other"))});
             ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
             FoldersTreeState->TreeEndDrag();
         },
         true},
        {"a drag that moves another folder",
         [this] {
             SelectOnly({Find(QStringLiteral("Other"))});
             ASSERT_TRUE(FoldersTreeState->TreeStartDrag(nullptr, nullptr));
             FoldersTreeState->TreeDragDrop(Find(QStringLiteral("Home")), false);
             FoldersTreeState->TreeEndDrag();
             EXPECT_EQ(Find(QStringLiteral("Other"))->ParentNode(), Find(QStringLiteral("Home")));
         },
         true},
        {"a reload of the tree", [this] { ReloadFoldersTree(Tree.get()); }, true},
        {"Copy of another node",
         [this] {
             SelectOnly({Find(QStringLiteral("Other"))});
             CopySelectionToClipboard(Tree.get(), Clipboard.get());
         },
         false},
        {"Cut of another node",
         [this] {
             SelectOnly({Find(QStringLiteral("Other"))});
             CutSelectionToClipboard(Tree.get(), Clipboard.get());
             EXPECT_EQ(CutCaption(), QStringLiteral("Other"));
         },
         false},
    };
    Load();
    for (const TCutCase& c : cases) {
        SCOPED_TRACE(c.Name);
        // Each case starts from the same folders.
        DropCut();
        Book->Exec(QStringLiteral("delete from Folders"));
        Book->Exec(QStringLiteral("delete from FolderAssigns"));
        BuildBook();
        // The rows were written behind the program's datasets.
        for (TDataKind kind : {dkContacts, dkGroups, dkFolders, dkFolderAssigns})
            if (TNDataSet* rows = Root()->Database->GetDataSet(kind); rows->Active())
                rows->Refresh();
        ReloadFoldersTree(Tree.get());
        Answerer.Clear();
        CutIt();
        ASSERT_TRUE(CutPending());
        EXPECT_EQ(Find(QStringLiteral("Cut")), nullptr);
        c.Event();
        // Nothing of the cut was written or lost meanwhile.
        EXPECT_EQ(OriginalCutRows(), 3 + 10);
        if (!c.CutKept) {
            EXPECT_NE(CutCaption(), QStringLiteral("Cut"));
            TNTreeNode* back = Find(QStringLiteral("Cut"));
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(back->ParentNode(), Find(QStringLiteral("Home")));
            EXPECT_EQ(GetDescendants(back, nullptr, false), 12);
            continue;
        }
        EXPECT_EQ(CutCaption(), QStringLiteral("Cut"));
        EXPECT_EQ(Find(QStringLiteral("Cut")), nullptr);
        // The paste moves it: its old rows go, the copies stand in Target.
        ASSERT_TRUE(Paste(QStringLiteral("Target")));
        for (const QString& text : Answerer.Texts())
            EXPECT_FALSE(text.startsWith(QStringLiteral("These were not pasted"))) << text.toStdString();
        EXPECT_FALSE(CutPending());
        EXPECT_EQ(OriginalCutRows(), 0);
        TNTreeNode* moved = Find(QStringLiteral("Cut"));
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(moved->ParentNode(), Find(QStringLiteral("Target")));
        EXPECT_EQ(GetDescendants(moved, nullptr, false), 12);
        EXPECT_EQ(Rows(QStringLiteral("Folders")), 2 + 3 + (Find(QStringLiteral("Other")) ? 2 : 0));
        EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 10 + (Find(QStringLiteral("Other")) ? 1 : 0));
        // The clipboard stays as a copy: another paste copies.
        EXPECT_TRUE(Paste(QStringLiteral("Target")));
        EXPECT_EQ(Captions(Find(QStringLiteral("Target"))),
                  (QStringList{QStringLiteral("Cut"), QStringLiteral("Cut (1)")}));
    }
    DropCut();
}

TEST_F(FoldersTreeCutTest, AProgramEndingBeforeThePasteLosesNothingAndARemovedOldPlaceHandsItOn)
{
    BuildBook();
    Load();
    CutIt();
    // The program ends: the next start shows the cut where it was.
    DropCut();
    ReloadFoldersTree(Tree.get());
    ASSERT_NE(Find(QStringLiteral("Cut")), nullptr);
    EXPECT_EQ(GetDescendants(Find(QStringLiteral("Cut")), nullptr, false), 12);

    // The folder it was cut from is removed: its rows go to that folder's
    // parent, so a program ending then still loses nothing.
    CutIt();
    SelectOnly({Find(QStringLiteral("Home"))});
    RemoveSelectedNodes(Tree.get(), false);
    EXPECT_EQ(Rows(QStringLiteral("Folders"), QStringLiteral("Name = 'Home'")), 0);
    EXPECT_EQ(OriginalCutRows(), 13);
    ReloadFoldersTree(Tree.get());
    EXPECT_EQ(Find(QStringLiteral("Cut")), nullptr);
    DropCut();
    ReloadFoldersTree(Tree.get());
    ASSERT_NE(Find(QStringLiteral("Cut")), nullptr);
    EXPECT_EQ(Find(QStringLiteral("Cut"))->ParentNode(), Root());

    // Closing asks first, naming the cut; Cancel keeps it.
    EXPECT_TRUE(MayCloseWithCut());
    EXPECT_TRUE(Answerer.Texts().isEmpty());
    CutIt();
    Answerer.QueueAnswer(mbCancel);
    EXPECT_FALSE(MayCloseWithCut());
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts().first().startsWith(QStringLiteral("The cut \"Cut\" has not been pasted.")));
    EXPECT_TRUE(CutPending());
    Answerer.QueueAnswer(mbOK);
    EXPECT_TRUE(MayCloseWithCut());
}

TEST_F(FoldersTreeCutTest, APasteWritesOnlyRecordsThatExistAndNamesTheOthersOnce)
{
    BuildBook();
    const qint32 gone = Contact(QStringLiteral("Gone"));
    const qint32 team = Book->Group(QStringLiteral("Team"));
    Place(0, gone);
    Place(0, Contact(QStringLiteral("Kept")));
    PlaceGroup(0, team);
    AddOtherBook();
    Load();
    TBaseDataClient* book = Root()->Database;

    // Copied, then deleted by another program while the book's datasets
    // are open: the paste skips them.
    SelectOnly({Find(QStringLiteral("Gone")), Find(QStringLiteral("Kept")), Find(QStringLiteral("Team"))});
    CopySelectionToClipboard(Tree.get(), Clipboard.get());
    book->GetDataSet(dkContacts)->Open();
    book->GetDataSet(dkGroups)->Open();
    Book->Exec(QStringLiteral("delete from Contacts where ID = %1").arg(gone));
    Book->Exec(QStringLiteral("delete from Groups where ID = %1").arg(team));
    ASSERT_TRUE(Paste(QStringLiteral("Target")));
    EXPECT_EQ(Captions(Find(QStringLiteral("Target"))), QStringList{QStringLiteral("Kept")});
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("ContactID = %1").arg(gone)), 1);
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_EQ(Answerer.Texts().first(),
              QStringLiteral("These were not pasted: they no longer exist in the address book \"Local "
                             "Database\":\r\rContact \"Gone\"\rGroup \"Team\""));

    // Deleted through the tree (as "Delete Contact ..." does): it leaves the
    // clipboard, and a cut with the cut's row of it.
    SelectOnly({Find(QStringLiteral("C0")), Find(QStringLiteral("C1"))});
    CopySelectionToClipboard(Tree.get(), Clipboard.get());
    RemoveContactNodesFromTree(ContactIDs.value(QStringLiteral("C0")), book);
    EXPECT_EQ(GetClipboardContentKind(), ckOneContact);
    RemoveContactNodesFromTree(ContactIDs.value(QStringLiteral("C1")), book);
    EXPECT_EQ(ClipboardRoot(Clipboard.get()), nullptr);
    CutIt();
    const qint32 c3 = ContactIDs.value(QStringLiteral("C3"));
    RemoveContactNodesFromTree(c3, book);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("ContactID = %1").arg(c3)), 0);
    Answerer.Clear();
    ASSERT_TRUE(Paste(QStringLiteral("Target")));
    EXPECT_EQ(GetDescendantsOfKinds(Find(QStringLiteral("Cut")), nksContacts, nullptr), 6);
    EXPECT_TRUE(Answerer.Texts().isEmpty());
    EXPECT_EQ(OriginalCutRows(), 0);

    // Another book: refused, with the reason.
    SelectOnly({Root(1)});
    EXPECT_FALSE(PasteFromClipboard(Clipboard.get(), Tree.get()));
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts().first().contains(QStringLiteral("can be pasted only into that address book")));
}
}  // namespace
