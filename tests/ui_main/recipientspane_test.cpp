// The recipients pane: its commands by rows and selection, their keys while
// the list has the focus, and the stored column widths.
#include "panefixture.h"
#include "platform/profilefile.h"
#include "ui/main/frmrecipients.h"

#include <gtest/gtest.h>
#include <QHeaderView>
#include <QTest>

namespace {

class RecipientsPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ids = world.AddContacts({QStringLiteral("Ann"), QStringLiteral("Ben"), QStringLiteral("Cat")});
        world.Start();
        MakePane();
    }
    void MakePane()
    {
        pane = std::make_unique<TFormRecipients>();
        pane->resize(600, 300);
        pane->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
        pane->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
    }
    void AddAll()
    {
        const char* names[] = {"Ann", "Ben", "Cat"};
        for (int i = 0; i < 3; ++i)
            RecipientList->AddItem(nkContact, QString::fromLatin1(names[i]), ids[i], DataClients.Items(0));
    }
    QString Enabled() const
    {
        QString s;
        for (QAction* a : {pane->actRemoveSelected, pane->actRemoveAll, pane->actSelectAll, pane->actClearSelection})
            s += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }

    TPaneWorld world;
    QList<qint32> ids;
    std::unique_ptr<TFormRecipients> pane;
};

}  // namespace

TEST_F(RecipientsPaneTest, CommandsFollowRowsAndSelection)
{
    EXPECT_EQ(RecipientList, pane->List());
    EXPECT_EQ(Enabled(), QStringLiteral("0000"));
    AddAll();  // every new row is selected
    EXPECT_EQ(Enabled(), QStringLiteral("1101"));
    RecipientList->SetSelected(1, false);
    EXPECT_EQ(Enabled(), QStringLiteral("1111"));
    RecipientList->ClearSelection();
    EXPECT_EQ(Enabled(), QStringLiteral("0110"));
    EXPECT_EQ(pane->mnuRecipients->actions().size(), 8);  // Add Contact, Add Group, separator, ...
    EXPECT_TRUE(pane->actAddContacts->isEnabled());
    EXPECT_EQ(pane->lvRecipients->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("DataBase"));
}

TEST_F(RecipientsPaneTest, KeysActWhileTheListHasTheFocus)
{
    AddAll();
    pane->lvRecipients->setFocus();
    QTest::keyClick(pane->lvRecipients, Qt::Key_Escape);
    EXPECT_EQ(RecipientList->GetSelCount(), 0);
    QTest::keyClick(pane->lvRecipients, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(RecipientList->GetSelCount(), 3);
    RecipientList->SetSelected(0, false);
    pane->UpdateActions();
    QTest::keyClick(pane->lvRecipients, Qt::Key_Delete);
    ASSERT_EQ(RecipientList->GetCount(), 1);
    EXPECT_EQ(RecipientList->GetRecipient(0)->Name, QStringLiteral("Ann"));
    pane->UpdateActions();
    QTest::keyClick(pane->lvRecipients, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(RecipientList->GetCount(), 0);
}

TEST_F(RecipientsPaneTest, ColumnWidthsAreKept)
{
    EXPECT_EQ(pane->lvRecipients->columnWidth(0), 90);
    EXPECT_EQ(pane->lvRecipients->columnWidth(1), 180);
    pane->lvRecipients->setColumnWidth(0, 133);
    pane->lvRecipients->setColumnWidth(2, 77);
    AddAll();
    pane.reset();
    EXPECT_EQ(RecipientList, nullptr);
    EXPECT_EQ(FormSettingsIni->ReadInteger(QStringLiteral("TFormRecipients"), QStringLiteral("Column0Width"), 0), 133);
    MakePane();
    EXPECT_EQ(pane->lvRecipients->columnWidth(0), 133);
    EXPECT_EQ(pane->lvRecipients->columnWidth(1), 180);
    EXPECT_EQ(pane->lvRecipients->columnWidth(2), 77);
}

TEST_F(RecipientsPaneTest, RecipientColumnShowsWholeNamesUntilTheOperatorSizesIt)
{
    const QString longName = QStringLiteral("Wilhelmina Longfellow-Smythe");
    RecipientList->AddItem(nkContact, longName, ids[0], DataClients.Items(0));
    QHeaderView* header = pane->lvRecipients->header();
    const int shown = pane->lvRecipients->columnWidth(0);
    EXPECT_GT(shown, 90);
    EXPECT_GT(shown, pane->lvRecipients->fontMetrics().horizontalAdvance(longName));
    // A shorter name leaves the column as it is.
    RecipientList->AddItem(nkContact, QStringLiteral("Ben"), ids[1], DataClients.Items(0));
    EXPECT_EQ(pane->lvRecipients->columnWidth(0), shown);
    // Once the operator sizes it, a longer name no longer widens it.
    header->resizeSection(0, 70);
    RecipientList->AddItem(nkContact, longName + longName, ids[2], DataClients.Items(0));
    EXPECT_EQ(pane->lvRecipients->columnWidth(0), 70);
}
