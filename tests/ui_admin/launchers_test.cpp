// The launchers the other windows reach the administration windows through:
// the recipients pane's Add Contact (F4) and Add Group (F5) pickers, the
// main window's administration actions with their keys and role rule, and
// the record operations the folder tree calls.
#include "adminfixture.h"
#include "ui/admin/groupeditor.h"

#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"
#include "ui/main/frmmain.h"

#include <QMenu>
#include <QTreeView>

namespace {
class LaunchersTest : public AdminFixture {
protected:
    void SetUp() override
    {
        beforeStart = [this](TBookBuilder& book) { crew = book.Group(QStringLiteral("Crew")); };
        AdminFixture::SetUp();
    }
    QStringList RecipientNames() const
    {
        QStringList names;
        for (int i = 0; i < RecipientList->GetCount(); ++i)
            names << RecipientList->GetRecipient(i)->Name;
        return names;
    }
    // A key on the recipients list, with the focus put back there first
    // (a closed picker hands it back to its window only later).
    void Press(Qt::Key key)
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        recipients->lvRecipients->setFocus();
        QTest::keyClick(recipients->lvRecipients, key);
    }
    qint32 crew = 0;
};

// When a picker of class L is up: marks the rows with those IDs and closes
// it with OK.
template <class L>
void PickWhenUp(QList<qint32> rowIDs)
{
    WhenModal<L>([rowIDs](L* picker) {
        QList<TBookmark> marks;
        for (qint32 id : rowIDs) {
            EXPECT_TRUE(picker->LocateByID(id));
            marks << picker->DataSet()->GetBookmark();
        }
        picker->dbgDBGrid->MarkRows(marks);
        picker->actOkExecute();
    });
}
}  // namespace

TEST_F(LaunchersTest, F4AndF5AddThePickedContactsAndGroupsAskingBeforeACopy)
{
    PickWhenUp<TFormContactsListNew>({ids[1], ids[2]});
    Press(Qt::Key_F4);
    EXPECT_EQ(RecipientNames(), QStringList({"Anna", "Carl"}));
    EXPECT_EQ(RecipientList->GetRecipient(0)->Database, Book());

    PickWhenUp<TFormGroupsListNew>({crew});
    Press(Qt::Key_F5);
    EXPECT_EQ(RecipientNames(), QStringList({"Crew", "Anna", "Carl"}));

    // Anna again: the duplicate question; No adds nothing.
    Answerer.QueueAnswer(mbNo);
    PickWhenUp<TFormContactsListNew>({ids[1]});
    Press(Qt::Key_F4);
    EXPECT_EQ(RecipientNames(), QStringList({"Crew", "Anna", "Carl"}));
    ASSERT_EQ(Answerer.Texts().size(), 1);
    EXPECT_TRUE(Answerer.Texts().first().startsWith(QStringLiteral("Recipients List already contains the")));

    // A cancelled picker adds nothing.
    WhenModal<TFormContactsListNew>([](TFormContactsListNew* picker) { picker->actCancelExecute(); });
    Press(Qt::Key_F4);
    EXPECT_EQ(RecipientList->GetCount(), 3);
}

TEST_F(LaunchersTest, MainWindowActionsOpenTheListsInTheAdministratorRoleOnly)
{
    TFormMain main;
    ASSERT_NE(main.actEditCarriersNew, nullptr);
    EXPECT_EQ(main.actEditContactsNew->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_EQ(main.actEditCarriersNew->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_EQ(main.actEditServersNew->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_TRUE(main.mnuSettings->actions().contains(main.actEditServersNew));
    LogonRole = RoleUser;
    main.aclActionListUpdate();
    EXPECT_FALSE(main.actEditCarriersNew->isEnabled());
    LogonRole = RoleAdmin;
    main.aclActionListUpdate();
    ASSERT_TRUE(main.actEditCarriersNew->isEnabled());

    QString caption;
    WhenModal<TFormCarriersListNew>([&](TFormCarriersListNew* list) {
        caption = list->windowTitle();
        list->actCancelExecute();
    });
    main.actEditCarriersNew->trigger();
    EXPECT_EQ(caption, QStringLiteral("  Carriers"));
}

TEST_F(LaunchersTest, TreeOperationsEditAndDeleteByIDAndMissingRowsDoNothing)
{
    TNItemInfo info;
    WhenModal<TFormContactEditor>([](TFormContactEditor* editor) {
        QTest::keyClicks(editor->dbedtCompany, QStringLiteral("Acme"));
        editor->SetEmbeddedData(QStringLiteral("+64215551234,false"));
        editor->UpdateOkAction();
        editor->btnOK->click();
        if (editor->isVisible()) {
            ADD_FAILURE() << "the contact editor stayed open";
            editor->reject();
        }
    });
    EXPECT_TRUE(EditRecordInBook(dkContacts, Book(), ids[2], info));
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(info.Name, QStringLiteral("Carl"));
    EXPECT_EQ(BookValue(QStringLiteral("select Company from Contacts where Name = 'Carl'")).toString(),
              QStringLiteral("Acme"));
    EXPECT_FALSE(EditRecordInBook(dkContacts, Book(), 999, info));
    // A new group through the group editor, cancelled: nothing is added.
    const qint64 groups = Rows(QStringLiteral("Groups"));
    WhenModal<TFormGroupEditor>([](TFormGroupEditor* editor) { editor->btnCancel->click(); });
    EXPECT_TRUE(AddRecordInBook(dkGroups, Book(), info));
    EXPECT_FALSE(info.Accepted);
    EXPECT_EQ(Rows(QStringLiteral("Groups")), groups);

    EXPECT_TRUE(DeleteRecordInBook(dkContacts, Book(), ids[1]));
    EXPECT_EQ(Rows(QStringLiteral("Contacts"), QStringLiteral("Name = 'Anna'")), 0);
    EXPECT_TRUE(tree->tvFolders->findItems(QStringLiteral("Anna"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    EXPECT_FALSE(DeleteRecordInBook(dkContacts, Book(), ids[1]));
}
