// Add to Recipients from the folder tree on a real address book: a folder's
// contacts go into the list together, in list order, with the duplicate
// questions asked in the walk's order, the new rows selected and the
// counters and the editor's prefix told once.
#include "folderstreefixture.h"

#include "data/folderstreeselection.h"
#include "data/recipients.h"
#include "foundation/dmoptions.h"
#include "support/messageanswerer.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {
class FoldersTreeRecipientsTest : public FoldersTreeTest {
protected:
    void SetUp() override
    {
        FoldersTreeTest::SetUp();
        list = std::make_unique<TNRecipientList>();
        tester = std::make_unique<QAbstractItemModelTester>(list.get(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
        RecipientList = list.get();
    }
    void TearDown() override
    {
        RecipientList = nullptr;
        tester.reset();
        list.reset();
        AddDisplayNameToMessage = false;
        PrefixAddInEditor = false;
        FollowedByChar = QStringLiteral(":");
        FoldersTreeTest::TearDown();
    }
    void AddFolder(const QString& caption)
    {
        Tree->clearSelection();
        Child(Root(), caption)->setSelected(true);
        AddSelectedToRecipients(Tree.get(), true);
    }
    QString Rows() const
    {
        QStringList rows;
        for (int i = 0; i < list->GetCount(); ++i)
            rows << list->GetRecipient(i)->Name + (list->IsSelected(i) ? QStringLiteral("*") : QString());
        return rows.join(QLatin1Char(' '));
    }

    std::unique_ptr<TNRecipientList> list;
    std::unique_ptr<QAbstractItemModelTester> tester;
};
}  // namespace

TEST_F(FoldersTreeRecipientsTest, AFolderGoesInAtOnceWithItsQuestionsInOrderAndItsNewRowsSelected)
{
    const QStringList names{QStringLiteral("Ann"), QStringLiteral("Ben"), QStringLiteral("Cat"), QStringLiteral("Dan"),
                            QStringLiteral("Eve")};
    QHash<QString, qint32> id;
    for (const QString& name : names)
        id[name] = Book->Contact(name, Carrier);
    const qint32 team = Folder(QStringLiteral("Team"), 0);
    const qint32 sub = Folder(QStringLiteral("Sub"), team);
    Place(sub, id[QStringLiteral("Cat")]);  // folders come first: this Cat is met first
    for (const QString& name : names)
        Place(team, id[name]);
    // 300 more, so that a row-by-row add would show in the counts below.
    Book->Exec(QStringLiteral("begin"));
    for (int i = 0; i < 300; ++i)
        Place(sub, Book->Contact(QStringLiteral("Zed %1").arg(i, 3, 10, QLatin1Char('0')), Carrier));
    Book->Exec(QStringLiteral("commit"));
    Load();
    TBaseDataClient* book = Root()->Database;

    MessageAnswerer answers;
    list->AddItem(nkContact, QStringLiteral("Ben"), id[QStringLiteral("Ben")], book);
    list->AddItem(nkContact, QStringLiteral("Dan"), id[QStringLiteral("Dan")], book);
    list->SetSelected(1, false);
    int recounts = 0;
    QStringList inserted;
    list->SetOnCountersChanged([&] { ++recounts; });
    list->SetOnInsertEditorText([&](const QString& text) { inserted << text; });
    AddDisplayNameToMessage = true;
    PrefixAddInEditor = true;
    FollowedByChar = QStringLiteral(";");
    QSignalSpy selectionChanges(list->SelectionModel(), &QItemSelectionModel::selectionChanged);
    QSignalSpy insertions(list.get(), &QAbstractItemModel::rowsInserted);

    // Ben is listed, Cat met twice, Dan listed: three questions in the walk's
    // order, the last with no "to All" left to offer.
    answers.QueueAnswer(mbNo);
    answers.QueueAnswer(mbYes);
    answers.QueueAnswer(mbYes);
    AddFolder(QStringLiteral("Team"));
    ASSERT_EQ(answers.Requests().size(), 3);
    EXPECT_TRUE(answers.Requests()[0].Text.contains(QStringLiteral("\"Ben\"")));
    EXPECT_TRUE(answers.Requests()[1].Text.contains(QStringLiteral("\"Cat\"")));
    EXPECT_TRUE(answers.Requests()[2].Text.contains(QStringLiteral("\"Dan\"")));
    EXPECT_EQ(answers.Requests()[0].Buttons, mbYes | mbNo | mbYesToAll | mbNoToAll);
    EXPECT_EQ(answers.Requests()[2].Buttons, mbYes | mbNo);

    // The old rows lose their selection (Ctrl+R clears it); a new row goes
    // after its equals, the new ones in the walk's order.
    ASSERT_EQ(list->GetCount(), 2 + 5 + 300);
    EXPECT_TRUE(Rows().startsWith(QStringLiteral("Ann* Ben Cat* Cat* Dan Dan* Eve* Zed 000* Zed 001*")));
    EXPECT_EQ(list->GetSelCount(), 305);
    // One insertion, one clearing and one selection, one recount, one text.
    EXPECT_EQ(insertions.size(), 1);
    EXPECT_EQ(selectionChanges.size(), 2);
    EXPECT_EQ(recounts, 1);
    QString prefixes = QStringLiteral("Cat;");
    for (int i = 0; i < 300; ++i)
        prefixes += QStringLiteral("Zed %1;").arg(i, 3, 10, QLatin1Char('0'));
    prefixes += QStringLiteral("Ann;Cat;Dan;Eve;");
    EXPECT_EQ(inserted, QStringList{prefixes});

    // Clear Selected takes exactly the selected rows.
    list->RemoveSelected();
    EXPECT_EQ(Rows(), QStringLiteral("Ben Dan"));
    EXPECT_EQ(recounts, 2);

    // Again: only the duplicates ask, and one answer may stand for all.
    answers.Clear();
    answers.QueueAnswer(mbNoToAll);
    AddFolder(QStringLiteral("Team"));
    EXPECT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(list->GetCount(), 2 + 303);
    EXPECT_TRUE(Rows().startsWith(QStringLiteral("Ann* Ben Cat* Dan Eve* Zed 000*")));
    // Once more, every node a duplicate: No for the first, Yes to All after.
    answers.Clear();
    answers.QueueAnswer(mbNo);
    answers.QueueAnswer(mbYesToAll);
    AddFolder(QStringLiteral("Team"));
    EXPECT_EQ(answers.Requests().size(), 2);
    EXPECT_EQ(list->GetCount(), 305 + 305);
    EXPECT_EQ(list->GetSelCount(), 305);
    EXPECT_TRUE(Rows().startsWith(QStringLiteral("Ann Ann* Ben Ben* Cat Cat* Dan Dan* Eve Eve* Zed 000 Zed 000*")));
}
