// Contacts and groups handled from the folder tree through the launchers of
// the administration windows. The launchers here stand in for the windows'
// dialogs (answering as an operator would) and do what their list windows
// do to the tree; without a launcher nothing happens.
#include "folderstreefixture.h"

#include "data/adminlaunchers.h"
#include "data/folderstreerecords.h"

namespace {
class FoldersTreeRecordsTest : public FoldersTreeTest {
protected:
    void TearDown() override
    {
        ClearAdminLaunchers();
        FoldersTreeTest::TearDown();
    }
    // Picks the given rows; adds and edits answer with Info; deletes take
    // every node of the record out of the tree, as the list window does.
    void RegisterContacts(const TNSelectionList& picked, const TNItemInfo& info)
    {
        TAdminLauncher launcher;
        launcher.PickFromBook = [picked](TBaseDataClient*, TNSelectionList& out) { out = picked; };
        launcher.AddRecord = [info](TBaseDataClient*, TNItemInfo& out) { out = info; };
        launcher.EditRecord = [info](TBaseDataClient*, qint32, TNItemInfo& out) {
            out = info;
            return true;
        };
        launcher.DeleteRecord = [this](TBaseDataClient* book, qint32 id) {
            RemoveContactNodesFromTree(id, book);
            Deleted << id;
            return true;
        };
        RegisterAdminLauncher(dkContacts, launcher);
    }
    QList<qint32> Deleted;
};

TEST_F(FoldersTreeRecordsTest, PickedContactsArePlacedOnceAndTheLastKeptOneIsReturned)
{
    const qint32 f = Folder(QStringLiteral("F"), 0);
    const qint32 ann = Book->Contact(QStringLiteral("Ann"), Carrier);
    const qint32 bob = Book->Contact(QStringLiteral("Bob"), Carrier);
    Place(f, ann);
    Load();
    TNTreeNode* folder = Child(Root(), QStringLiteral("F"));
    EXPECT_FALSE(CanRunRecordOperation(nkContact, TAdminOperation::PickFromBook));
    EXPECT_EQ(AddContactsToFolder(folder), nullptr);

    RegisterContacts({{QStringLiteral("Bob"), bob}, {QStringLiteral("Ann"), ann}}, {});
    EXPECT_TRUE(CanRunRecordOperation(nkContact, TAdminOperation::PickFromBook));
    EXPECT_FALSE(CanRunRecordOperation(nkGroup, TAdminOperation::PickFromBook));
    EXPECT_EQ(AddContactsToFolder(folder), nullptr);  // Ann, the last one, was there already
    EXPECT_EQ(Answerer.Texts().size(), 1);
    EXPECT_EQ(Captions(folder), (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID = %1").arg(f)), 2);

    RegisterContacts({{QStringLiteral("Bob"), bob}}, {});
    TNTreeNode* placed = AddContactsToFolder(Root());
    ASSERT_NE(placed, nullptr);
    EXPECT_TRUE(placed->isSelected());
    EXPECT_FALSE(Root()->isSelected());
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns")), 3);
}

TEST_F(FoldersTreeRecordsTest, NewEditedAndDeletedContactsReachEveryPlacement)
{
    const qint32 a = Folder(QStringLiteral("A"), 0);
    const qint32 b = Folder(QStringLiteral("B"), 0);
    const qint32 ann = Book->Contact(QStringLiteral("Ann"), Carrier);
    Place(a, ann);
    Place(b, ann);
    Load();
    TNTreeNode* aNode = Child(Root(), QStringLiteral("A"));
    TNTreeNode* bNode = Child(Root(), QStringLiteral("B"));

    const qint32 cid = Book->Contact(QStringLiteral("Cid"), Carrier);
    RegisterContacts({}, {cid, QStringLiteral("Cid"), true});
    TNTreeNode* made = NewContactInFolder(aNode);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(Captions(aNode), (QStringList{QStringLiteral("Ann"), QStringLiteral("Cid")}));
    EXPECT_EQ(Rows(QStringLiteral("FolderAssigns"), QStringLiteral("ContactID = %1").arg(cid)), 1);

    RegisterContacts({}, {ann, QStringLiteral("Anna"), true});
    EditContactNode(Child(aNode, QStringLiteral("Ann")));
    EXPECT_EQ(Captions(bNode), QStringList{QStringLiteral("Anna")});
    EXPECT_EQ(Captions(aNode), (QStringList{QStringLiteral("Anna"), QStringLiteral("Cid")}));

    Answerer.QueueAnswer(mbNo);
    DeleteContactCompletely(Child(bNode, QStringLiteral("Anna")));
    EXPECT_TRUE(Deleted.isEmpty());
    ASSERT_EQ(Answerer.Requests().size(), 1);
    EXPECT_EQ(Answerer.Requests().first().Caption, QStringLiteral("  Contact Delete Confirmation"));
    EXPECT_EQ(Answerer.Requests().first().Text,
              QStringLiteral("Are you sure you want to delete the Contact: \"Anna\" completely from the system?"));
    EXPECT_EQ(Answerer.Requests().first().DefaultButton, mbNo);
    Answerer.QueueAnswer(mbYes);
    DeleteContactCompletely(Child(bNode, QStringLiteral("Anna")));
    EXPECT_EQ(Deleted, QList<qint32>{ann});
    EXPECT_EQ(Captions(aNode), QStringList{QStringLiteral("Cid")});
    EXPECT_EQ(bNode->childCount(), 0);
}
}  // namespace
