// The sent-messages report over a real local database, offscreen: the cell
// texts, the details below the grid, one window for F3 pressed twice, Delete
// All in one transaction, the refresh the engine posts, and the layout keys.
#include "db/datasetmodel.h"
#include "db/sqldataset.h"
#include "eventwaits.h"
#include "foundation/workarea.h"
#include "foundation/yebcorner.h"
#include "messaging/messagetable.h"
#include "messaging/protocol.h"
#include "panefixture.h"
#include "platform/profilefile.h"
#include "support/messageanswerer.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmsentmessages.h"
#include "ui/main/frmsentmessagescells.h"
#include "ui/main/frmsortorder.h"

#include <gtest/gtest.h>
#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <cstdlib>

namespace {

class SentMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { world.Start(); }
    void TearDown() override { CloseSentMessages(); }

    // One log row with its text; times in the local ISO form.
    void AddRow(const QString& name, const QString& text, const QString& receiveTime, bool dispatched, bool sent,
                int status)
    {
        TBookBuilder local(world.dbs.LocalDataPath());
        const qint32 textID = local.Insert(QStringLiteral("insert into SentMessageTexts (Message) values (:M)"),
                                           {{QStringLiteral("M"), text}});
        local.Insert(QStringLiteral("insert into SentMessages (Name, SentMessageTextID, ReceiveConfirmed, "
                                    "ReceiveTime, SendConfirmed, SendTime, ErrorStatus) values (:N, :T, :RC, "
                                    ":RT, :SC, :ST, :E)"),
                     {{QStringLiteral("N"), name},
                      {QStringLiteral("T"), textID},
                      {QStringLiteral("RC"), dispatched ? 1 : 0},
                      {QStringLiteral("RT"), receiveTime},
                      {QStringLiteral("SC"), sent ? 1 : 0},
                      {QStringLiteral("ST"), receiveTime},
                      {QStringLiteral("E"), status}});
    }

    TFormSentMessages* Open()
    {
        ShowSentMessages();
        return FormSentMessages;
    }
    static QString Cell(const TFormSentMessages* form, int row, int column)
    {
        const QAbstractItemModel* model = form->dbgMessages->model();
        return model->data(model->index(row, column)).toString();
    }
    static int TopLevelReports()
    {
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            count += qobject_cast<TFormSentMessages*>(w) ? 1 : 0;
        return count;
    }

    TPaneWorld world;
};

}  // namespace

TEST(SentMessagesCellsTest, TextsOfTheResultColumns)
{
    EXPECT_EQ(DispatchedText(true), QStringLiteral("Yes"));
    EXPECT_EQ(DispatchedText(QVariant()), QString());
    EXPECT_EQ(SentResultText(false, 0), QString());
    EXPECT_EQ(SentResultText(true, 0), QStringLiteral("Succeeded"));
    EXPECT_EQ(SentResultText(true, 3), QStringLiteral("Failed"));
    EXPECT_EQ(StatusOfMessageText(0, false), QStringLiteral("OK"));
    EXPECT_EQ(StatusOfMessageText(QVariant(), true), QStringLiteral("OK"));
    EXPECT_EQ(StatusOfMessageText(3, true), QStringLiteral("E3"));
    EXPECT_EQ(StatusOfMessageText(3, false), QString());
    EXPECT_EQ(MessageLineText(QStringLiteral("A\r\nB\nC\r")), QStringLiteral("A B C"));
}

TEST_F(SentMessagesTest, GridShowsTheLogNewestFirstWithTheCellRules)
{
    AddRow(QStringLiteral("Old"), QStringLiteral("first"), QStringLiteral("2026-01-01 10:00:00.000"), false, false, 0);
    AddRow(QStringLiteral("Failed"), QStringLiteral("second"), QStringLiteral("2026-01-02 10:00:00.000"), true, true,
           3);
    AddRow(QStringLiteral("New"), QStringLiteral("A\r\nB"), QStringLiteral("2026-01-03 10:00:00.000"), true, true, 0);
    TFormSentMessages* form = Open();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Sent Messages Report"));
    EXPECT_EQ(form->minimumSize(),
              QSize(TFormSentMessages::DesignWidth, TFormSentMessages::DesignHeight).boundedTo(WorkArea().size()));
    const QAbstractItemModel* model = form->dbgMessages->model();
    ASSERT_EQ(model->rowCount(), 3);
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("Recipient"), QStringLiteral("Dispatched"), QStringLiteral("Dispatch Time"),
                           QStringLiteral("Sent Result"), QStringLiteral("Send Time"),
                           QStringLiteral("Status of Message"), QStringLiteral("Message Text")}));

    EXPECT_EQ(Cell(form, 0, 0), QStringLiteral("New"));
    EXPECT_EQ(Cell(form, 0, 1), QStringLiteral("Yes"));
    EXPECT_EQ(Cell(form, 0, 2), QStringLiteral("2026-01-03 10:00:00"));
    EXPECT_EQ(Cell(form, 0, 3), QStringLiteral("Succeeded"));
    EXPECT_EQ(Cell(form, 0, 5), QStringLiteral("OK"));
    EXPECT_EQ(Cell(form, 0, 6), QStringLiteral("A B"));
    EXPECT_EQ(Cell(form, 1, 3), QStringLiteral("Failed"));
    EXPECT_EQ(Cell(form, 1, 5), QStringLiteral("E3"));
    EXPECT_EQ(Cell(form, 2, 1), QString());
    EXPECT_EQ(Cell(form, 2, 3), QString());
    EXPECT_EQ(Cell(form, 2, 5), QStringLiteral("OK"));
    EXPECT_EQ(form->dbgMessages->columnWidth(6), 600);

    // The newest row is current: its text in two lines, its length.
    EXPECT_EQ(form->memMessageText->document()->blockCount(), 2);
    EXPECT_EQ(form->lblMessageLength->text(), QStringLiteral("(3 Chars)"));
    EXPECT_EQ(form->lblErrorStatus->text(), ErrorStatusText(0));

    // Choosing the failed row shows its status text.
    form->dbgMessages->selectRow(1);
    EXPECT_EQ(form->memMessageText->toPlainText(), QStringLiteral("second"));
    EXPECT_EQ(form->lblErrorStatus->text(), ErrorStatusText(3));
    form->dbgMessages->selectRow(2);
    EXPECT_EQ(form->lblErrorStatus->text(), QString());
}

TEST_F(SentMessagesTest, F3TwiceOpensOneWindow)
{
    TFormMain main;
    EXPECT_EQ(main.actShowSentMessages->shortcut(), QKeySequence(Qt::Key_F3));
    main.actShowSentMessages->trigger();
    main.actShowSentMessages->trigger();
    EXPECT_EQ(TopLevelReports(), 1);
    EXPECT_TRUE(SentMessagesOpen);
    FormSentMessages->showMinimized();
    main.actShowSentMessages->trigger();
    EXPECT_FALSE(FormSentMessages->isMinimized());
    EXPECT_EQ(TopLevelReports(), 1);
}

TEST_F(SentMessagesTest, FirstOpenIsCentredOnTheDesktopWithItsButtonsClearOfTheEdges)
{
    const QRect area = WorkArea();
    // Opened, as in the program, while a decorated main window is up.
    QWidget main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    TFormSentMessages* form = Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const QRect frame = form->frameGeometry();
    EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y();
    // Centred: equal room on both sides, give or take a pixel of rounding.
    EXPECT_LE(std::abs((frame.left() - area.left()) - (area.right() - frame.right())), 1);
    EXPECT_LE(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())), 1);
    for (const QPushButton* button : {form->btnDeleteAll, form->btnClose}) {
        const QRect r(button->mapTo(form, QPoint(0, 0)), button->size());
        EXPECT_GT(form->width() - 1 - r.right(), TYebCorner::GripSize / 2) << qPrintable(button->text());
        EXPECT_GT(form->height() - 1 - r.bottom(), 0) << qPrintable(button->text());
    }
    // A size stored on a larger screen comes back within this one.
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    FormSettingsIni->WriteInteger(QStringLiteral("TFormSentMessages"), QStringLiteral("Width"), area.width() + 900);
    FormSettingsIni->WriteInteger(QStringLiteral("TFormSentMessages"), QStringLiteral("Height"), area.height() + 900);
    FormSettingsIni->WriteInteger(QStringLiteral("TFormSentMessages"), QStringLiteral("Left"), area.center().x());
    form = Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_TRUE(area.contains(form->frameGeometry())) << form->frameGeometry().x() << "," << form->frameGeometry().y();
}

TEST_F(SentMessagesTest, ClosingFreesTheReportAndStoresTheLayout)
{
    TFormSentMessages* form = Open();
    form->dbgMessages->setColumnWidth(0, 123);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->dbgMessages->setFocus();
    QTest::keyClick(form->dbgMessages, Qt::Key_Escape);
    // A closed report frees itself (a deferred delete).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(FormSentMessages, nullptr);
    EXPECT_FALSE(SentMessagesOpen);
    EXPECT_EQ(SentMessagesHandle.load(), 0u);
    EXPECT_EQ(FormSettingsIni->ReadInteger(QStringLiteral("TFormSentMessages"), QStringLiteral("Column0Width"), 0),
              123);
    EXPECT_EQ(FormSettingsIni->ReadInteger(QStringLiteral("TFormSentMessages"), QStringLiteral("Column6Width"), 0),
              600);
    EXPECT_GT(
        FormSettingsIni->ReadInteger(QStringLiteral("TFormSentMessages"), QStringLiteral("pnlMessageTextHeight"), 0),
        0);
    EXPECT_EQ(Open()->dbgMessages->columnWidth(0), 123);
}

TEST_F(SentMessagesTest, DeleteAllEmptiesTheLogAndARefreshShowsTheNextRow)
{
    AddRow(QStringLiteral("One"), QStringLiteral("x"), QStringLiteral("2026-01-01 10:00:00.000"), true, false, 0);
    TFormSentMessages* form = Open();
    ASSERT_EQ(form->dbgMessages->model()->rowCount(), 1);
    form->btnDeleteAll->click();
    EXPECT_EQ(form->dbgMessages->model()->rowCount(), 0);
    EXPECT_EQ(world.CountRows(QStringLiteral("SentMessages")), 0);
    EXPECT_EQ(world.CountRows(QStringLiteral("SentMessageTexts")), 0);
    EXPECT_TRUE(form->memMessageText->toPlainText().isEmpty());

    // The engine writes a row on its own connection and posts the refresh.
    AddRow(QStringLiteral("Two"), QStringLiteral("y"), QStringLiteral("2026-01-02 10:00:00.000"), true, false, 0);
    PostRefreshSentMessages();
    EXPECT_TRUE(WaitUntil([form] { return form->dbgMessages->model()->rowCount() == 1; }));
    EXPECT_EQ(Cell(form, 0, 0), QStringLiteral("Two"));
}

TEST_F(SentMessagesTest, DeleteAllIsOneTransaction)
{
    MessageAnswerer answers;
    AddRow(QStringLiteral("One"), QStringLiteral("x"), QStringLiteral("2026-01-01 10:00:00.000"), true, false, 0);
    {
        TBookBuilder local(world.dbs.LocalDataPath());
        local.Exec(
            QStringLiteral("create trigger KeepTexts before delete on SentMessageTexts "
                           "begin select raise(abort, 'texts are kept'); end"));
    }
    TFormSentMessages* form = Open();
    form->DeleteAll();
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_TRUE(answers.Texts().first().contains(QStringLiteral("texts are kept")));
    // The rows' delete went back with the failed texts' delete.
    EXPECT_EQ(world.CountRows(QStringLiteral("SentMessages")), 1);
    EXPECT_EQ(form->dbgMessages->model()->rowCount(), 1);
    EXPECT_TRUE(form->isVisible());
}

TEST(SortOrderTest, MovesFieldsBetweenTheListsAndOrdersThem)
{
    TFormSortOrder dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("  Set Custom Sort Order"));
    EXPECT_EQ(dialog.minimumSize(), QSize(TFormSortOrder::DesignWidth, TFormSortOrder::DesignHeight));
    dialog.SetFields({QStringLiteral("Name"), QStringLiteral("Company"), QStringLiteral("City")},
                     {QStringLiteral("City")});
    EXPECT_EQ(dialog.AvailableFields(), (QStringList{QStringLiteral("Name"), QStringLiteral("Company")}));
    dialog.lbAvailable->setCurrentRow(1);
    dialog.btnAdd->click();
    EXPECT_EQ(dialog.SortFields(), (QStringList{QStringLiteral("City"), QStringLiteral("Company")}));
    dialog.btnUp->click();
    EXPECT_EQ(dialog.SortFields(), (QStringList{QStringLiteral("Company"), QStringLiteral("City")}));
    dialog.btnAddAll->click();
    EXPECT_EQ(dialog.SortFields().size(), 3);
    dialog.btnRemoveAll->click();
    EXPECT_TRUE(dialog.SortFields().isEmpty());
    EXPECT_EQ(dialog.AvailableFields().size(), 3);
}
