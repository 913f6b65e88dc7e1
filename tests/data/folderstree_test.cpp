// The folder-tree model on real address-book files: loading and its order,
// the rows that added and deleted nodes write and delete, the expanded
// folders in FoldersOpen, and the queries over nodes.
#include "folderstreefixture.h"

#include "data/dataerror.h"
#include "db/dataset.h"

namespace {
TEST_F(FoldersTreeTest, SiblingsSortFoldersFirstThenGroupsThenContactsByCaptionWithoutCase)
{
    Folder(QStringLiteral("beta"), 0);
    Place(0, Book->Contact(QStringLiteral("alpha"), Carrier));
    PlaceGroup(0, Book->Group(QStringLiteral("Alpha")));
    Folder(QStringLiteral("Zed"), 0);
    Folder(QStringLiteral("Zeda"), 0);
    Folder(QStringLiteral("_x"), 0);
    Load();

    ASSERT_EQ(Tree->topLevelItemCount(), 1);
    const TNTreeNode* root = Root();
    EXPECT_EQ(root->Caption(), QStringLiteral("Local Database"));
    EXPECT_EQ(root->Kind, nkDatabase);
    EXPECT_EQ(root->ID, 0);
    EXPECT_EQ(root->DatabaseGUID, LocalGuid());
    // Rows at folder 0 stand directly under the root; only A-Z fold, so "_"
    // (code 95) sorts after the upper-case letters; a prefix sorts first.
    EXPECT_EQ(Captions(root), (QStringList{QStringLiteral("beta"), QStringLiteral("Zed"), QStringLiteral("Zeda"),
                                           QStringLiteral("_x"), QStringLiteral("Alpha"), QStringLiteral("alpha")}));
    EXPECT_EQ(Child(root, QStringLiteral("Alpha"))->Kind, nkGroup);
    EXPECT_EQ(Child(root, QStringLiteral("alpha"))->Kind, nkContact);
    EXPECT_EQ(Child(root, QStringLiteral("Alpha"))->ImageIndex(), 3);
    EXPECT_EQ(Child(root, QStringLiteral("alpha"))->ImageIndex(), 5);
    EXPECT_EQ(Child(root, QStringLiteral("beta"))->ImageIndex(), 0);
    EXPECT_EQ(Child(root, QStringLiteral("beta"))->SelectedIndex(), 1);
    EXPECT_FALSE(FoldersTreeState->Loading);
    EXPECT_TRUE(Tree->updatesEnabled());
}

TEST_F(FoldersTreeTest, NestedFoldersCarryTheirPlacementsAndOneContactMayStandInSeveral)
{
    const qint32 sales = Folder(QStringLiteral("Sales"), 0);
    const qint32 north = Folder(QStringLiteral("North"), sales);
    Folder(QStringLiteral("Orphan"), 999);  // its parent does not exist: not shown
    const qint32 ann = Book->Contact(QStringLiteral("Ann"), Carrier);
    Place(north, ann);
    Place(sales, ann);
    Place(north, Book->Contact(QStringLiteral("Bob"), Carrier));
    Load();

    const TNTreeNode* salesNode = Child(Root(), QStringLiteral("Sales"));
    ASSERT_NE(salesNode, nullptr);
    EXPECT_EQ(Captions(salesNode), (QStringList{QStringLiteral("North"), QStringLiteral("Ann")}));
    const TNTreeNode* northNode = Child(salesNode, QStringLiteral("North"));
    EXPECT_EQ(northNode->ID, north);
    EXPECT_EQ(Captions(northNode), (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));
    EXPECT_EQ(Captions(Root()), QStringList{QStringLiteral("Sales")});

    // The two placements of Ann are clones of each other.
    QList<TNTreeNode*> clones;
    const TNTreeNode* annInNorth = Child(northNode, QStringLiteral("Ann"));
    EXPECT_EQ(annInNorth->FindClones(&clones), 1);
    ASSERT_EQ(clones.size(), 1);
    EXPECT_EQ(clones.first(), Child(salesNode, QStringLiteral("Ann")));
}

TEST_F(FoldersTreeTest, DescendantsComeInPreOrderWithOrWithoutFolders)
{
    const qint32 top = Folder(QStringLiteral("Top"), 0);
    const qint32 sub = Folder(QStringLiteral("Sub"), top);
    Place(sub, Book->Contact(QStringLiteral("C1"), Carrier));
    Place(sub, Book->Contact(QStringLiteral("C2"), Carrier));
    Load();

    const TNTreeNode* topNode = Child(Root(), QStringLiteral("Top"));
    QList<TNTreeNode*> list;
    EXPECT_EQ(GetDescendants(topNode, &list, true), 2);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(0)->Caption(), QStringLiteral("C1"));
    EXPECT_EQ(list.at(1)->Caption(), QStringLiteral("C2"));
    list.clear();
    EXPECT_EQ(GetDescendants(topNode, &list, false), 3);
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.at(0)->Caption(), QStringLiteral("Sub"));
    EXPECT_EQ(list.at(1)->Caption(), QStringLiteral("C1"));
    EXPECT_EQ(GetDescendants(nullptr, &list, false), 0);
    EXPECT_EQ(GetDescendantsOfKinds(Root(), nksFolders, nullptr), 2);
}

TEST_F(FoldersTreeTest, RootImagesTellTheBuiltInBookFromOthers)
{
    AddOtherBook();
    Load();
    ASSERT_EQ(Tree->topLevelItemCount(), 2);
    EXPECT_EQ(Root(0)->ImageIndex(), 6);
    EXPECT_EQ(Root(1)->Caption(), QStringLiteral("Other"));
    EXPECT_EQ(Root(1)->ImageIndex(), 7);
    EXPECT_EQ(Root(1)->SelectedIndex(), 7);
    EXPECT_EQ(Root(1)->DatabaseGUID, OtherGuid);
}

TEST_F(FoldersTreeTest, AnEmptyBookShowsOnlyItsRootCollapsedUnlessFolderZeroIsOpen)
{
    AddOtherBook();
    AddOpenFolder(OtherGuid, 0);
    Load();
    EXPECT_EQ(Root(0)->childCount(), 0);
    EXPECT_FALSE(Root(0)->isExpanded());
    EXPECT_TRUE(Root(1)->isExpanded());
}

TEST_F(FoldersTreeTest, ExpandedFoldersAreStoredAndRestoredAndGoneBooksForgotten)
{
    const qint32 outer = Folder(QStringLiteral("Outer"), 0);
    const qint32 inner = Folder(QStringLiteral("Inner"), outer);
    Place(inner, Book->Contact(QStringLiteral("C"), Carrier));
    AddOpenFolder(QStringLiteral("{GONE}"), 5);
    Load();
    TNTreeNode* outerNode = Child(Root(), QStringLiteral("Outer"));
    TNTreeNode* innerNode = Child(outerNode, QStringLiteral("Inner"));
    EXPECT_FALSE(outerNode->isExpanded());
    innerNode->setExpanded(true);  // expanded inside a collapsed folder
    Root()->setExpanded(true);

    SaveExpandedFolders();
    const QString guid = LocalGuid();
    EXPECT_EQ(OpenFolderRows(), (QList<QPair<QString, int>>{{guid, 0}, {guid, inner}}));

    ReloadFoldersTree(Tree.get());
    outerNode = Child(Root(), QStringLiteral("Outer"));
    EXPECT_TRUE(Root()->isExpanded());
    EXPECT_FALSE(outerNode->isExpanded());
    EXPECT_TRUE(Child(outerNode, QStringLiteral("Inner"))->isExpanded());
}

TEST_F(FoldersTreeTest, AReloadDeletesNoRowAndClearsTheReloadingFlag)
{
    const qint32 f = Folder(QStringLiteral("F"), 0);
    Place(f, Book->Contact(QStringLiteral("C"), Carrier));
    PlaceGroup(f, Book->Group(QStringLiteral("G")));
    Load();
    ReloadFoldersTree(Tree.get());
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 2);
    EXPECT_FALSE(FoldersTreeState->Reloading);
    EXPECT_EQ(Captions(Child(Root(), QStringLiteral("F"))), (QStringList{QStringLiteral("G"), QStringLiteral("C")}));
}

TEST_F(FoldersTreeTest, AddedNodesWriteTheirRowsAndAFolderTakesItsNewRowsID)
{
    const qint32 contact = Book->Contact(QStringLiteral("C"), Carrier);
    const qint32 group = Book->Group(QStringLiteral("G"));
    Load();
    TBaseDataClient* client = Root()->Database;

    TNTreeNode* folder = AddChildNode(Root(), new TNTreeNode(client, nkFolder, -1));
    EXPECT_GT(folder->ID, 0);
    EXPECT_EQ(Rows(QStringLiteral("Folders"),
                   QStringLiteral("ID = %1 and Name = 'New Folder' and ParentID = 0").arg(folder->ID)),
              1);
    AddChildNode(folder, new TNTreeNode(client, nkContact, contact));
    AddChildNode(folder, new TNTreeNode(client, nkGroup, group));
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID = %1 and ContactID = %2 and GroupID = %3")
                                                        .arg(folder->ID)
                                                        .arg(contact)
                                                        .arg(NoneID)),
              1);
    EXPECT_EQ(
        Rows(
            QStringLiteral("FolderAssigns"),
            QStringLiteral("FolderID = %1 and GroupID = %2 and ContactID = %3").arg(folder->ID).arg(group).arg(NoneID)),
        1);

    // While loading, and in any other tree, nothing is written.
    FoldersTreeState->Loading = true;
    AddChildNode(folder, new TNTreeNode(client, nkContact, contact));
    FoldersTreeState->Loading = false;
    auto* copy = new TNTreeNode(client, nkFolder, -1);
    AddChildNode(nullptr, copy, Clipboard.get());
    AddChildNode(copy, new TNTreeNode(client, nkContact, contact));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 2);
}

TEST_F(FoldersTreeTest, DeletingAFolderDeletesItsSubtreesRowsButClipboardNodesTouchNothing)
{
    const qint32 top = Folder(QStringLiteral("Top"), 0);
    const qint32 sub = Folder(QStringLiteral("Sub"), top);
    const qint32 c = Book->Contact(QStringLiteral("C"), Carrier);
    Place(sub, c);
    Place(top, c);
    Place(0, c);
    Load();

    // A clipboard copy of the subtree deletes nothing when it goes.
    auto* copy = new TNTreeNode(Root()->Database, nkFolder, top);
    Clipboard->addTopLevelItem(copy);
    copy->addChild(new TNTreeNode(Root()->Database, nkContact, c));
    DeleteNode(copy);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 3);

    DeleteNode(Child(Root(), QStringLiteral("Top")));
    EXPECT_EQ(Rows(QStringLiteral("Folders")), 0);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 1);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID = 0")), 1);
    EXPECT_EQ(Captions(Root()), QStringList{QStringLiteral("C")});
    (void)sub;
}

TEST_F(FoldersTreeTest, AMissingRowRaisesAndTheNodeStays)
{
    const qint32 c = Book->Contact(QStringLiteral("C"), Carrier);
    Place(0, c);
    Load();
    Book->Exec(QStringLiteral("delete from FolderAssigns"));
    TNTreeNode* node = Child(Root(), QStringLiteral("C"));
    FoldersTreeState->NodeUnderMouse = node;
    // The dataset still holds the row it read; re-read it so the row is gone.
    Root()->Database->GetDataSet(dkFolderAssigns)->Close();
    try {
        DeleteNode(node);
        ADD_FAILURE() << "no error";
    } catch (const EDataError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Can' find contact folder assign  in the database"));
    }
    EXPECT_EQ(Root()->childCount(), 1);
    EXPECT_FALSE(Root()->Database->GetDataSet(dkFolderAssigns)->Active());

    // Deleted nodes are forgotten by the tree state.
    FoldersTreeState->Destroying = true;
    DeleteNode(node);
    EXPECT_EQ(FoldersTreeState->NodeUnderMouse, nullptr);
}

TEST_F(FoldersTreeTest, RemovingAContactTakesEveryPlacementInItsBookOnly)
{
    const QString otherPath = AddOtherBook();
    const qint32 f = Folder(QStringLiteral("F"), 0);
    const qint32 c = Book->Contact(QStringLiteral("C"), Carrier);
    const qint32 g = Book->Group(QStringLiteral("G"));
    Place(f, c);
    Place(0, c);
    PlaceGroup(f, g);
    {
        TBookBuilder other(otherPath);
        const qint32 oc = other.Contact(QStringLiteral("Same"), other.Carrier(QStringLiteral("X"), 4, 0));
        other.Exec(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (0, :N, :C)"),
                   {{QStringLiteral("N"), NoneID}, {QStringLiteral("C"), oc}});
        ASSERT_EQ(oc, c);  // the same ID in another book
    }
    Load();
    RemoveContactNodesFromTree(c, Root(0)->Database);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("ContactID = %1").arg(c)), 0);
    EXPECT_EQ(Captions(Child(Root(0), QStringLiteral("F"))), QStringList{QStringLiteral("G")});
    EXPECT_EQ(Root(1)->childCount(), 1);
    RemoveGroupNodesFromTree(g, Root(0)->Database);
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 0);
}

TEST_F(FoldersTreeTest, ADatasetErrorDuringALoadRestoresTheFlagsAndLaterAdditionsWrite)
{
    const qint32 c = Book->Contact(QStringLiteral("C"), Carrier);
    StartLocalData();
    Tree = std::make_unique<TSCGTreeView>();
    FoldersTreeState->AttachToForm(nullptr, Tree.get(), nullptr);
    Book->Exec(QStringLiteral("alter table FolderAssigns rename to Broken"));
    EXPECT_ANY_THROW(LoadFoldersTree(Tree.get()));
    EXPECT_FALSE(FoldersTreeState->Loading);
    EXPECT_TRUE(Tree->updatesEnabled());
    ASSERT_EQ(Tree->topLevelItemCount(), 0);

    // Loading is over: a node added now writes its row.
    auto* root = new TNTreeNode(DataClients.Items(0), nkDatabase, 0);
    Tree->addTopLevelItem(root);
    const TNTreeNode* folder = AddChildNode(root, new TNTreeNode(root->Database, nkFolder, -1));
    EXPECT_EQ(Rows(QStringLiteral("Folders"), QStringLiteral("ID = %1").arg(folder->ID)), 1);
    (void)c;
}

TEST_F(FoldersTreeTest, AFolderRowThatWouldBeItsOwnAncestorIsLeftOut)
{
    // A damaged book: a folder numbered 0 (the root's number) and one that
    // is its own parent. Loading ends, and the sound folders are shown.
    const qint32 sound = Folder(QStringLiteral("Sound"), 0);
    Book->Exec(QStringLiteral("insert into Folders (ID, Name, ParentID) values (0, 'Zero', 0)"));
    Book->Exec(QStringLiteral("insert into Folders (ID, Name, ParentID) values (900, 'Self', 900)"));
    Book->Exec(QStringLiteral("insert into Folders (ID, Name, ParentID) values (901, 'Zero child', %1)").arg(sound));
    Book->Exec(QStringLiteral("insert into Folders (ID, Name, ParentID) values (902, 'Below zero', 0)"));
    Book->Exec(QStringLiteral("update Folders set ParentID = %1 where ID = 0").arg(sound));
    Load();
    ASSERT_EQ(Tree->topLevelItemCount(), 1);
    EXPECT_EQ(Captions(Root()), (QStringList{QStringLiteral("Below zero"), QStringLiteral("Sound")}));
    const TNTreeNode* folder = Child(Root(), QStringLiteral("Sound"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(Captions(folder), QStringList{QStringLiteral("Zero child")});
    EXPECT_EQ(GetDescendants(Root(), nullptr, false), 3);
}

TEST(FoldersTreeNodeTest, KindsTextsAndCompare)
{
    EXPECT_EQ(NodeKindToStr(nkContact), QStringLiteral("Contact"));
    EXPECT_EQ(NodeKindToStr(nkDatabase), QStringLiteral("Database"));
    EXPECT_EQ(NodeKindToStr(4), QStringLiteral("No such kind"));
    EXPECT_LT(TreeCompareNodes(nkFolder, QStringLiteral("Zed"), nkGroup, QStringLiteral("a")), 0);
    EXPECT_EQ(TreeCompareNodes(nkContact, QStringLiteral("abc"), nkContact, QStringLiteral("ABC")), 0);
    EXPECT_LT(TreeCompareNodes(nkContact, QStringLiteral("ab"), nkContact, QStringLiteral("ABC")), 0);
    EXPECT_GT(TreeCompareNodes(nkContact, QStringLiteral("\u00e9"), nkContact, QStringLiteral("\u00c9")), 0);
    const TNTreeNode plain;
    EXPECT_EQ(plain.Kind, nkContact);
    EXPECT_EQ(plain.Database, nullptr);
    EXPECT_EQ(plain.ID, 0);
}
}  // namespace
