// The send bar with the message editor and the recipients pane in one
// window, on real database files: the Send checks, queuing, the progress
// map and the end-of-send options, and Send coming back after failures.
#include "data/localaccessclient.h"
#include "messaging/messagetable.h"
#include "panefixture.h"
#include "platform/windowmessages.h"
#include "support/messageanswerer.h"
#include "ui/main/frmembedcontrol.h"
#include "ui/main/frmmessageeditor.h"
#include "ui/main/frmrecipients.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QTest>

namespace {

class SendBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QList<qint32> ids = world.AddContacts({QStringLiteral("Alice"), QStringLiteral("Bob")});
        alice = ids[0];
        bob = ids[1];
        world.Start();
        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        recipients = new TFormRecipients;
        editor = new TFormMessageEditor;
        bar = new TFormEmbedControl;
        auto* centre = new QWidget;
        auto* column = new QVBoxLayout(centre);
        column->addWidget(recipients);
        column->addWidget(editor);
        layout->addWidget(centre);
        layout->addWidget(bar);
        TNSendBarLinks links;
        links.Editor = editor;
        links.SetSendProgress = [this](int current, int total) { progress << qMakePair(current, total); };
        links.RemoveAllRecipients = [this] { recipients->actRemoveAll->trigger(); };
        links.SendOutBox = [this] {
            ++wakes;
            if (failWake)
                throw std::runtime_error("database is locked");
        };
        bar->SetLinks(links);
        RecipientList->SetOnCountersChanged([this] { editor->UpdateCounters(); });
        window->resize(700, 500);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override { window.reset(); }

    void AddBoth()
    {
        TBaseDataClient* book = DataClients.Items(0);
        RecipientList->AddItem(nkContact, QStringLiteral("Alice"), alice, book);
        RecipientList->AddItem(nkContact, QStringLiteral("Bob"), bob, book);
    }
    void Post(int msg, qint64 w, qint64 l)
    {
        ASSERT_TRUE(PostMessage(bar->Handle(), msg, w, l));
        QCoreApplication::sendPostedEvents(bar);
    }

    TPaneWorld world;
    qint32 alice = 0, bob = 0;
    std::unique_ptr<QWidget> window;
    TFormRecipients* recipients = nullptr;
    TFormMessageEditor* editor = nullptr;
    TFormEmbedControl* bar = nullptr;
    QList<QPair<int, int>> progress;
    int wakes = 0;
    bool failWake = false;
};

}  // namespace

TEST_F(SendBarTest, NoRecipientsIsRefused)
{
    MessageAnswerer answers;
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    bar->btnSendClick();
    EXPECT_EQ(answers.Texts(), QStringList{QStringLiteral("Can't send the message - no Recipients specified.")});
    EXPECT_TRUE(bar->btnSend->isEnabled());
    EXPECT_EQ(wakes, 0);
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessageTexts")), 0);
}

TEST_F(SendBarTest, EmptyMessageByTheTwoOptions)
{
    MessageAnswerer answers;
    AddBoth();
    editor->memMessageText->setPlainText(QStringLiteral(" \n "));
    world.SetOption("AllowSendingEmptyMessages", false);
    world.SetOption("WarnOnEmptyMessages", true);
    bar->btnSendClick();
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Text,
              QStringLiteral("Can't send an empty message ! No messages sent.\r\r(Change this option in "
                             "\"Options|Message Editor\" to enable sending empty messages)"));
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtWarning);
    EXPECT_TRUE(bar->btnSend->isEnabled());
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 0);

    answers.Clear();
    world.SetOption("AllowSendingEmptyMessages", true);
    bar->btnSendClick();
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Text, QStringLiteral("Warning - EMPTY message is being sent."));
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtInformation);
    EXPECT_FALSE(bar->btnSend->isEnabled());
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 2);
    EXPECT_EQ(wakes, 1);

    Post(WM_SEND_DONE, 0, 0);
    EXPECT_TRUE(bar->btnSend->isEnabled());
    answers.Clear();
    world.SetOption("WarnOnEmptyMessages", false);
    bar->btnSendClick();
    EXPECT_TRUE(answers.Texts().isEmpty());
    // The same (empty) text still waits for both: its rows go, no new copy.
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 2);
    EXPECT_EQ(wakes, 2);
}

TEST_F(SendBarTest, AltSQueuesTheTextInTheCodePage)
{
    MessageAnswerer answers;
    AddBoth();
    editor->memMessageText->setFocus();
    QTest::keyClicks(editor->memMessageText, QStringLiteral("Fire "));
    editor->memMessageText->insertPlainText(QStringLiteral("\u03a9"));
    QTest::keyClick(editor->memMessageText, Qt::Key_S, Qt::AltModifier);
    // A mnemonic "animates" its button's click, which lands a moment later.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !bar->btnSend->isEnabled(); }));
    EXPECT_TRUE(answers.Texts().isEmpty());
    TBookBuilder local(world.dbs.LocalDataPath());
    QSqlQuery query(local.Db());
    ASSERT_TRUE(query.exec(QStringLiteral("select MessageText from OutMessageTexts")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("Fire ?"));
}

TEST_F(SendBarTest, AFailureAfterDisablingGivesSendBack)
{
    MessageAnswerer answers;
    AddBoth();
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    failWake = true;
    bar->btnSendClick();
    EXPECT_TRUE(bar->btnSend->isEnabled());
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(answers.Requests()[0].Text, QStringLiteral("database is locked"));
}

// Another program holds the local database's lock: Send says so in words
// within a moment (the window is not held for the busy time-out), and
// nothing is queued or sent.
TEST_F(SendBarTest, ALockedDatabaseWhileQueuingGivesSendBack)
{
    MessageAnswerer answers;
    AddBoth();
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    TBookBuilder locker(world.dbs.LocalDataPath());
    QSqlQuery lock(locker.Db());
    ASSERT_TRUE(lock.exec(QStringLiteral("begin exclusive")));
    QElapsedTimer held;
    held.start();
    bar->btnSendClick();
    EXPECT_LT(held.elapsed(), 1000);
    lock.exec(QStringLiteral("rollback"));
    EXPECT_TRUE(bar->btnSend->isEnabled());
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(answers.Requests()[0].Text,
              QStringLiteral("Nothing was sent: the OutBox and the sent-messages log cannot be written, because "
                             "LocalData2.mdb is locked by another program.\r\rTry again once it can be written."));
    EXPECT_EQ(wakes, 0);
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 0);
}

// Recipients the out-box cannot take (records changed with sqlite3 after
// they were added) are named in one notice at Send; the others are queued.
// When nothing waits to be sent, no send starts and Send comes back at once.
TEST_F(SendBarTest, RecipientsThatCannotBeQueuedAreNamedOnceAndSendComesBack)
{
    MessageAnswerer answers;
    AddBoth();
    qint32 cid = 0, dee = 0;
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        const qint32 gone =
            book.Carrier(QStringLiteral("Gone"), 4, book.Value(QStringLiteral("select ID from Servers")).toInt());
        cid = book.Contact(QStringLiteral("Cid"), gone);
        book.Exec(QStringLiteral("delete from Carriers where ID = :ID"), {{QStringLiteral("ID"), gone}});
        const qint32 zero = book.Server(QStringLiteral("Zero"), 1, QStringLiteral("127.0.0.1,0,localhost"));
        dee = book.Contact(QStringLiteral("Dee"), book.Carrier(QStringLiteral("Z"), 4, zero));
    }
    TBaseDataClient* book = DataClients.Items(0);
    RecipientList->AddItem(nkContact, QStringLiteral("Cid"), cid, book);
    RecipientList->AddItem(nkContact, QStringLiteral("Dee"), dee, book);
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    bar->btnSendClick();
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(answers.Requests()[0].Text,
              QStringLiteral("These recipients were not queued and will not get the message:\r"
                             "\rCid: its carrier no longer exists"
                             "\rDee: its server's port 0 is not between 1 and 65535"));
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 2);
    EXPECT_EQ(wakes, 1);
    EXPECT_FALSE(bar->btnSend->isEnabled());
    Post(WM_SEND_DONE, 0, 0);

    // Nothing can be queued and nothing waits: Send is back without a send.
    {
        TBookBuilder local(world.dbs.LocalDataPath());
        local.Exec(QStringLiteral("delete from OutMessages"));
        local.Exec(QStringLiteral("delete from OutMessageTexts"));
    }
    RecipientList->Clear();
    RecipientList->AddItem(nkContact, QStringLiteral("Cid"), cid, book);
    answers.Clear();
    bar->btnSendClick();
    EXPECT_EQ(answers.Requests().size(), 1);
    EXPECT_TRUE(bar->btnSend->isEnabled());
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessageTexts")), 0);
}

// Send with a text that has already reached some recipients (here: every
// row accepted and waiting for its report) asks once, naming the first ten
// and how many more; Yes pages them again, No leaves them out, and a Send
// that then has nothing to send says so and comes back.
TEST_F(SendBarTest, RecipientsTheTextReachedAreAskedAboutOnce)
{
    MessageAnswerer answers;
    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0'));
    const QList<qint32> ids = world.AddContacts(names);
    for (int i = 0; i < ids.size(); ++i)
        RecipientList->AddItem(nkContact, names[i], ids[i], DataClients.Items(0));
    editor->memMessageText->setPlainText(QStringLiteral("Call the desk about the broken lift on floor four today"));
    const auto acceptAll = [this] {
        TBookBuilder local(world.dbs.LocalDataPath());
        local.Exec(QStringLiteral("insert into SentMessages (Name, SendConfirmed) values ('accepted', 0)"));
        local.Exec(
            QStringLiteral("update OutMessages set sentMessagesID = "
                           "(select max(ID) from SentMessages) where sentMessagesID is null"));
        Post(WM_SEND_DONE, 0, 0);
    };
    bar->btnSendClick();
    EXPECT_TRUE(answers.Texts().isEmpty());
    acceptAll();

    answers.QueueAnswer(mbYes);
    bar->btnSendClick();
    ASSERT_EQ(answers.Requests().size(), 1);
    const TMessageRequest& question = answers.Requests()[0];
    EXPECT_EQ(question.Text,
              QStringLiteral("\"Call the desk about the broken lift on...\" already reached 12 of "
                             "the recipients: P01, P02, P03, P04, P05, P06, P07, P08, P09, P10 and 2 more. "
                             "Page them again?"));
    EXPECT_EQ(question.Type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(question.Buttons, mbYes | mbNo);
    EXPECT_EQ(question.DefaultButton, mbNo);
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 24);
    EXPECT_EQ(wakes, 2);
    EXPECT_FALSE(bar->btnSend->isEnabled());
    acceptAll();

    answers.Clear();
    answers.QueueAnswer(mbNo);
    bar->btnSendClick();
    ASSERT_EQ(answers.Requests().size(), 2);
    EXPECT_TRUE(answers.Requests()[0].Text.contains(QStringLiteral("already reached 12 of")));
    EXPECT_EQ(answers.Requests()[1].Text, QStringLiteral("Nothing was sent: the message already reached every "
                                                         "recipient, and they were not paged again."));
    EXPECT_EQ(world.CountRows(QStringLiteral("OutMessages")), 24);
    EXPECT_EQ(wakes, 2);
    EXPECT_TRUE(bar->btnSend->isEnabled());
}

TEST_F(SendBarTest, ProgressSumsAndEndOfSendOptions)
{
    AddBoth();
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    world.SetOption("ClearMessageOnSend", true);
    world.SetOption("ClearRecipientsOnSend", false);
    // A one-row batch: its only report ends it; nothing is shown.
    Post(WM_SEND_PROGRESS, 11, ProgressParam(1, 1));
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_TRUE(editor->memMessageText->toPlainText().isEmpty());
    EXPECT_EQ(RecipientList->GetCount(), 2);

    // Two batches of 3 and 2 rows after the first row of each: 4 of 5.
    editor->memMessageText->setPlainText(QStringLiteral("Again"));
    world.SetOption("ClearMessageOnSend", false);
    world.SetOption("ClearRecipientsOnSend", true);
    Post(WM_SEND_PROGRESS, 21, ProgressParam(1, 3));
    Post(WM_SEND_PROGRESS, 22, ProgressParam(1, 2));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), qMakePair(4, 5));
    Post(WM_SEND_PROGRESS, 22, ProgressParam(2, 2));
    EXPECT_EQ(progress.last(), qMakePair(2, 3));
    EXPECT_EQ(RecipientList->GetCount(), 2);
    Post(WM_SEND_PROGRESS, 21, ProgressParam(2, 3));
    EXPECT_EQ(progress.last(), qMakePair(3, 3));
    Post(WM_SEND_PROGRESS, 21, ProgressParam(3, 3));
    EXPECT_TRUE(bar->Progress().IsEmpty());
    EXPECT_EQ(RecipientList->GetCount(), 0);
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("Again"));

    // A sender that held back the report of the row before its last: the
    // last report still completes the display, which then empties.
    Post(WM_SEND_PROGRESS, 41, ProgressParam(1, 3));
    EXPECT_EQ(progress.last(), qMakePair(2, 3));
    Post(WM_SEND_PROGRESS, 41, ProgressParam(3, 3));
    EXPECT_EQ(progress.last(), qMakePair(3, 3));
    EXPECT_TRUE(bar->Progress().IsEmpty());
}

TEST_F(SendBarTest, ABatchThatDiedIsDroppedWhenTheEngineIsDoneAndTheTextStays)
{
    AddBoth();
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    world.SetOption("ClearMessageOnSend", true);
    Post(WM_SEND_PROGRESS, 31, ProgressParam(1, 3));
    EXPECT_EQ(progress.last(), qMakePair(2, 3));
    bar->btnSend->setEnabled(false);
    // The link died: no more reports, only the engine's notice.
    Post(WM_SEND_DONE, 0, 0);
    EXPECT_TRUE(bar->Progress().IsEmpty());
    EXPECT_EQ(progress.last(), qMakePair(0, 10));
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("Hello"));
    EXPECT_TRUE(bar->btnSend->isEnabled());
}

TEST_F(SendBarTest, ClearButtonsAndTheirKeys)
{
    AddBoth();
    editor->memMessageText->setPlainText(QStringLiteral("Hello"));
    editor->memMessageText->setFocus();
    QTest::keyClick(editor->memMessageText, Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return editor->memMessageText->toPlainText().isEmpty(); }));
    EXPECT_EQ(editor->lblCharCount->text(), QStringLiteral("0"));
    QTest::keyClick(editor->memMessageText, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([] { return RecipientList->GetCount() == 0; }));
    EXPECT_EQ(bar->width(), 117);
}
