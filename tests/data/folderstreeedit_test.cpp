// Editing the folder tree on real address-book files: the sibling rule and
// its numbering, new folders, renames, removals and the tree state's
// references to deleted nodes.
#include "folderstreefixture.h"

#include "data/dataerror.h"
#include "data/folderstreeclipboard.h"
#include "data/folderstreeedit.h"
#include "data/folderstreeselection.h"
#include "db/dataset.h"

#include <QSignalSpy>

namespace {
class FoldersTreeEditTest : public FoldersTreeTest {
protected:
    QString FolderName(qint32 id)
    {
        return Book->Value(QStringLiteral("select Name from Folders where ID = %1").arg(id)).toString();
    }
    TNTreeNode* AddFolder(TNTreeNode* parent, const QString& caption)
    {
        auto* node = new TNTreeNode(parent->Database, nkFolder, -1);
        node->SetCaption(caption);
        return AddChildNode(parent, node);
    }
};

TEST_F(FoldersTreeEditTest, ADuplicateFolderIsNumberedInTreeAndRowAndADuplicatePlacementIsRefused)
{
    const qint32 f = Folder(QStringLiteral("F"), 0);
    const qint32 c = Book->Contact(QStringLiteral("Cee"), Carrier);
    Place(f, c);
    Book->Contact(QStringLiteral("Same name"), Carrier);
    Load();
    TNTreeNode* root = Root();

    TNTreeNode* first = AddFolder(root, QStringLiteral("New Folder"));
    EXPECT_TRUE(first->CheckUnique(false));
    TNTreeNode* second = AddFolder(root, QStringLiteral(" New Folder\t"));
    EXPECT_TRUE(second->CheckUnique(false));
    EXPECT_EQ(second->Caption(), QStringLiteral(" New Folder\t (1)"));
    TNTreeNode* third = AddFolder(root, QStringLiteral("New Folder"));
    EXPECT_TRUE(third->CheckUnique(false));
    EXPECT_EQ(third->Caption(), QStringLiteral("New Folder (1)"));
    // The row carries the numbered name too, so a reload shows it.
    EXPECT_EQ(FolderName(third->ID), QStringLiteral("New Folder (1)"));
    // Letter case counts.
    TNTreeNode* lower = AddFolder(root, QStringLiteral("new folder"));
    EXPECT_TRUE(lower->CheckUnique(false));
    EXPECT_EQ(lower->Caption(), QStringLiteral("new folder"));
    EXPECT_TRUE(Answerer.Texts().isEmpty());

    // A second placement of one contact in a folder is refused with a warning.
    TNTreeNode* folder = Child(root, QStringLiteral("F"));
    auto* again = new TNTreeNode(root->Database, nkContact, c);
    again->SetCaption(QStringLiteral("Cee"));
    AddChildNode(folder, again);
    EXPECT_FALSE(again->CheckUnique(false));
    EXPECT_EQ(Answerer.Texts(),
              QStringList{QStringLiteral("ERROR: A Contact with the same ID=\"%1\" with the same Name=\"Cee\" already "
                                         "exists in the same folder \"F\"")
                              .arg(c)});
    EXPECT_EQ(Answerer.Requests().first().Type, TMsgDlgType::mtWarning);
    DeleteNode(again);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID = %1").arg(f)), 1);
    // Two contacts of one name but different IDs may stand side by side.
    auto* namesake = new TNTreeNode(root->Database, nkContact, c + 1);
    namesake->SetCaption(QStringLiteral("Cee"));
    AddChildNode(folder, namesake);
    EXPECT_TRUE(namesake->CheckUnique(false));
}

TEST_F(FoldersTreeEditTest, NewFoldersAreNumberedFromOneAndARenameTakesTheFreedNumber)
{
    Load();
    TNTreeNode* one = AddNewFolder(Root());
    TNTreeNode* two = AddNewFolder(Root());
    EXPECT_EQ(one->Caption(), QStringLiteral("New Folder1"));
    EXPECT_EQ(two->Caption(), QStringLiteral("New Folder2"));
    EXPECT_EQ(FolderName(two->ID), QStringLiteral("New Folder2"));
    QString name = QStringLiteral("Sales");
    FoldersTreeState->TreeEdited(one, name);
    EXPECT_EQ(FolderName(one->ID), QStringLiteral("Sales"));
    EXPECT_EQ(AddNewFolder(Root())->Caption(), QStringLiteral("New Folder1"));
}

TEST_F(FoldersTreeEditTest, RenamesRefuseEmptyAndSiblingNamesAndContactRenamesReachEveryPlacement)
{
    const qint32 a = Folder(QStringLiteral("Alpha"), 0);
    const qint32 b = Folder(QStringLiteral("Beta"), 0);
    const qint32 c = Book->Contact(QStringLiteral("Ann"), Carrier);
    Place(a, c);
    Place(b, c);
    Load();
    TNTreeNode* alpha = Child(Root(), QStringLiteral("Alpha"));

    QString text = QStringLiteral("  ");
    FoldersTreeState->TreeEdited(alpha, text);
    EXPECT_EQ(text, QStringLiteral("Alpha"));
    text = QStringLiteral(" Beta ");
    FoldersTreeState->TreeEdited(alpha, text);
    EXPECT_EQ(text, QStringLiteral("Alpha"));
    EXPECT_EQ(Answerer.Texts(), QStringList{QStringLiteral("Can't rename the node \"Alpha\" - there already is a node "
                                                           "with the name: \" Beta \" in the same parent folder !")});
    EXPECT_EQ(FolderName(a), QStringLiteral("Alpha"));
    text = QStringLiteral("beta");
    FoldersTreeState->TreeEdited(alpha, text);
    EXPECT_EQ(FolderName(a), QStringLiteral("beta"));
    EXPECT_EQ(alpha->Caption(), QStringLiteral("beta"));

    TNTreeNode* ann = Child(alpha, QStringLiteral("Ann"));
    ann->SetCaption(QStringLiteral("Anna"));
    ann->RenameClones();
    EXPECT_EQ(Captions(Child(Root(), QStringLiteral("Beta"))), QStringList{QStringLiteral("Anna")});
}

TEST_F(FoldersTreeEditTest, RemovingAFolderWithItsSelectedDescendantDeletesEachOnceAndForgetsTheEditedNode)
{
    const qint32 top = Folder(QStringLiteral("Top"), 0);
    const qint32 sub = Folder(QStringLiteral("Sub"), top);
    const qint32 c = Book->Contact(QStringLiteral("C"), Carrier);
    Place(sub, c);
    Place(0, c);
    Load();
    TNTreeNode* topNode = Child(Root(), QStringLiteral("Top"));
    TNTreeNode* subNode = Child(topNode, QStringLiteral("Sub"));
    Root()->setExpanded(true);
    topNode->setExpanded(true);
    topNode->setSelected(true);
    subNode->setSelected(true);
    Root()->setSelected(true);
    FoldersTreeState->EditingNode = subNode;

    Answerer.QueueAnswer(mbNo);
    RemoveSelectedNodes(Tree.get(), true);
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 2);
    ASSERT_EQ(Answerer.Requests().size(), 1);
    EXPECT_EQ(Answerer.Requests().first().Caption, QStringLiteral("  Remove from Tree Confirmation"));
    EXPECT_EQ(Answerer.Requests().first().DefaultButton, mbNo);

    Answerer.QueueAnswer(mbYes);
    EXPECT_NO_THROW(RemoveSelectedNodes(Tree.get(), true));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 0);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 1);
    EXPECT_EQ(Captions(Root()), QStringList{QStringLiteral("C")});
    EXPECT_EQ(FoldersTreeState->EditingNode, nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    (void)sub;
}

TEST_F(FoldersTreeEditTest, PasteOfACutAndRemoveTakeExactlyTheFoldersRowsInOneChangeOfEachDataset)
{
    // Two folders whose rows are interleaved in the table; one contact
    // stands in both, twice in "Keep".
    const qint32 gone = Folder(QStringLiteral("Gone"), 0);
    const qint32 goneSub = Folder(QStringLiteral("Sub"), gone);
    const qint32 keep = Folder(QStringLiteral("Keep"), 0);
    const qint32 keepSub = Folder(QStringLiteral("Sub"), keep);
    const qint32 target = Folder(QStringLiteral("Target"), 0);
    const qint32 both = Book->Contact(QStringLiteral("Both"), Carrier);
    Book->Exec(QStringLiteral("begin"));
    for (int i = 0; i < 50; ++i) {
        const qint32 c = Book->Contact(QStringLiteral("C%1").arg(i), Carrier);
        Place(i % 2 ? goneSub : gone, c);
        Place(i % 2 ? keepSub : keep, c);
    }
    Book->Exec(QStringLiteral("commit"));
    Place(gone, both);
    Place(keep, both);
    Place(keep, both);
    Load();
    const QString keptRows = QStringLiteral("FolderID in (%1, %2)").arg(keep).arg(keepSub);
    const QString goneRows = QStringLiteral("FolderID in (%1, %2)").arg(gone).arg(goneSub);
    ASSERT_EQ(Rows(QStringLiteral("FolderAssigns"), keptRows), 52);
    // Open, as a window showing them would hold them.
    TNDataSet* assigns = Root()->Database->GetDataSet(dkFolderAssigns);
    TNDataSet* folders = Root()->Database->GetDataSet(dkFolders);
    assigns->Open();
    folders->Open();
    // The datasets hold what the file holds.
    auto sameAsFile = [&](TNDataSet* ds, const QString& table, const QString& field) {
        QStringList rows;
        TNDataSetPosition keepPosition(*ds);
        for (ds->First(); !ds->Eof(); ds->Next())
            rows << ds->FieldByName(field)->AsString();
        rows.sort();
        const QString file =
            Book->Value(QStringLiteral("select group_concat(%1) from (select %1 from %2 order by 1)").arg(field, table))
                .toString();
        return rows.join(QLatin1Char(',')) == file;
    };
    QSignalSpy assignRemovals(assigns, &TNDataSet::RowRemoved);
    QSignalSpy folderRemovals(folders, &TNDataSet::RowRemoved);

    Child(Root(), QStringLiteral("Gone"))->setSelected(true);
    CutSelectionToClipboard(Tree.get(), Clipboard.get());
    Tree->clearSelection();
    Child(Root(), QStringLiteral("Target"))->setSelected(true);
    ASSERT_TRUE(PasteFromClipboard(Clipboard.get(), Tree.get()));
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), goneRows), 0);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), keptRows), 52);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 52 + 51);
    EXPECT_EQ(Rows(QStringLiteral("Folders"), QStringLiteral("ParentID = %1").arg(target)), 1);
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 5);
    EXPECT_TRUE(sameAsFile(assigns, QStringLiteral("FolderAssigns"), QStringLiteral("FolderID")));
    EXPECT_TRUE(sameAsFile(folders, QStringLiteral("Folders"), QStringLiteral("ParentID")));
    // The old rows left each dataset in one go.
    EXPECT_EQ(assignRemovals.size(), 0);
    EXPECT_EQ(folderRemovals.size(), 0);

    Tree->clearSelection();
    Child(Root(), QStringLiteral("Keep"))->setSelected(true);
    Answerer.QueueAnswer(mbYes);
    RemoveSelectedNodes(Tree.get(), true);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 51);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), keptRows), 0);
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 3);
    EXPECT_TRUE(sameAsFile(assigns, QStringLiteral("FolderAssigns"), QStringLiteral("FolderID")));
    EXPECT_TRUE(sameAsFile(folders, QStringLiteral("Folders"), QStringLiteral("ParentID")));
    EXPECT_EQ(assignRemovals.size(), 0);
    EXPECT_EQ(folderRemovals.size(), 0);
    EXPECT_EQ(Captions(Root()), QStringList{QStringLiteral("Target")});
}

TEST_F(FoldersTreeEditTest, EditsOpenOnlyThroughTheCommandsAndSelectionPredicatesAnswer)
{
    AddOtherBook();
    const qint32 f = Folder(QStringLiteral("F"), 0);
    Place(f, Book->Contact(QStringLiteral("C"), Carrier));
    Load();
    TNTreeNode* folder = Child(Root(0), QStringLiteral("F"));
    bool allowed = true;
    FoldersTreeState->TreeEditing(folder, allowed);
    EXPECT_FALSE(allowed);
    EXPECT_TRUE(StartEditingNode(Tree.get(), folder));
    EXPECT_EQ(FoldersTreeState->EditingNode, folder);
    EXPECT_FALSE(FoldersTreeState->EditAllowed);

    folder->child(0)->setSelected(true);
    EXPECT_TRUE(SelectionContainsAncestorOf(Tree.get(), folder->child(0)->child(0)) == false);
    EXPECT_TRUE(IsNodeSelected(Tree.get(), folder->child(0)));
    EXPECT_TRUE(SelectionInOneDatabase(Tree.get()));
    folder->setSelected(true);
    EXPECT_TRUE(SelectionContainsAncestorOf(Tree.get(), folder->child(0)));
    Root(1)->setSelected(true);
    EXPECT_FALSE(SelectionInOneDatabase(Tree.get()));
}
}  // namespace

namespace {
TEST_F(FoldersTreeEditTest, ARemovalThatMissesARowRaisesAndLeavesEveryRowAndNode)
{
    const qint32 f = Folder(QStringLiteral("F"), 0);
    const qint32 a = Book->Contact(QStringLiteral("A"), Carrier);
    const qint32 b = Book->Contact(QStringLiteral("B"), Carrier);
    Place(f, a);
    Place(f, b);
    Load();
    // B's row goes behind the tree's back; the dataset is read again.
    Book->Exec(QStringLiteral("delete from FolderAssigns where ContactID = %1").arg(b));
    Root()->Database->GetDataSet(dkFolderAssigns)->Close();
    Child(Root(), QStringLiteral("F"))->setSelected(true);
    try {
        RemoveSelectedNodes(Tree.get(), false);
        ADD_FAILURE() << "no error";
    } catch (const EDataError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Can' find contact folder assign  in the database"));
    }
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 1);
    EXPECT_EQ(Captions(Child(Root(), QStringLiteral("F"))), QStringList{QStringLiteral("A")});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
}  // namespace
