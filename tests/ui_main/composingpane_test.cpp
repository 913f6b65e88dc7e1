// End to end through the main window's panes: a message typed in the editor,
// two contacts added to the recipients, Send pressed; the simulator receives
// both frames, the status bar shows the progress, Send comes back and the
// sent-message log holds the rows. Also the carriers' length limits as the
// registered carrier editors read them.
#include "foundation/scgtreeview.h"
#include "foundation/workarea.h"
#include "messaging/sendoutbox.h"
#include "messaging/sendsettings.h"
#include "pagingserversim.h"
#include "panefixture.h"
#include "platform/profilefile.h"
#include "support/messageanswerer.h"
#include "ui/main/frmembedcontrol.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmmessageeditor.h"
#include "ui/main/frmrecipients.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

void RegisterEditorsOnce()
{
    static const bool registered = [] {
        RegisterEmbeddedEditors();
        return true;
    }();
    (void)registered;
    SetCarrierMaxLengthHook(&CarrierRecipientMaxLength);
}

class ComposingTest : public ::testing::Test {
protected:
    void StartWindow()
    {
        world.Start();
        form = std::make_unique<TFormMain>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->FormRecipients != nullptr; }, 5000));
    }
    void TearDown() override { form.reset(); }

    TPaneWorld world;
    std::unique_ptr<TFormMain> form;
};

}  // namespace

TEST_F(ComposingTest, PanesAndTheirMenusCarryTheirHelpTopics)
{
    StartWindow();
    TFormMessageEditor* editor = form->FormMessageEditor;
    const QList<std::pair<const QObject*, int>> topics = {
        {form->FormRecipients, 1018},
        {form->FormRecipients->mnuRecipients, 1036},
        {editor, 1019},
        {editor->findChild<QWidget*>(QStringLiteral("pnlTop")), 1038},
        {editor->btnSelectDatabase, 1039},
        {editor->mnuDatabases, 1039},
        {editor->mnuEditor, 1037},
        {form->FormEmbedControl, 1020},
    };
    for (const auto& [object, topic] : topics) {
        ASSERT_NE(object, nullptr) << topic;
        EXPECT_EQ(object->property("HelpContext").toInt(), topic) << qPrintable(object->objectName());
    }
}

TEST_F(ComposingTest, ALargerFontAndAStoredSplitterNeitherClipTheTemplateBoxNorSqueezeTheMessage)
{
    // A font half as large again stands for a larger scale factor; the
    // recipients' height was stored on a taller screen.
    const QFont usual = QApplication::font();
    QFont large = usual;
    large.setPixelSize(3 * QFontMetrics(usual).height() / 2);
    QApplication::setFont(large);
    world.Start();
    FormSettingsIni->WriteInteger(QStringLiteral("TFormMain"), QStringLiteral("pnlEmbedRecipientsHeight"), 5000);
    form = std::make_unique<TFormMain>();
    form->showNormal();
    form->resize(form->size().boundedTo(WorkArea().size()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->FormRecipients != nullptr; }, 5000));
    const TFormMessageEditor* editor = form->FormMessageEditor;
    // The layouts settle in the turns after the panes are embedded.
    EXPECT_TRUE(QTest::qWaitFor([editor] { return editor->height() >= editor->minimumSizeHint().height(); }));
    const QComboBox* combo = editor->cbexTemplateNames;
    const QWidget* strip = combo->parentWidget();
    EXPECT_GE(combo->height(), combo->sizeHint().height());
    EXPECT_TRUE(strip->rect().contains(combo->geometry())) << combo->geometry().y() << "+" << combo->height();
    const int lines =
        editor->memMessageText->viewport()->height() / editor->memMessageText->fontMetrics().lineSpacing();
    EXPECT_GE(lines, TFormMessageEditor::MessageMinimumLines - 1);
    EXPECT_GE(editor->memMessageText->height(), editor->memMessageText->minimumHeight());
    form.reset();
    QApplication::setFont(usual);
}

TEST_F(ComposingTest, TypeAddSendAndSeeItThrough)
{
    MessageAnswerer answers;
    TSimOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const QList<qint32> ids =
        world.AddContacts({QStringLiteral("Alice"), QStringLiteral("Bob")}, QStringLiteral("pager.example,444"),
                          QStringLiteral("127.0.0.1"), sim.Port());
    StartMessaging();
    StartWindow();
    // The send threads find their server's address as the configured one.
    SetLocalIpAddress(QStringLiteral("127.0.0.1"));

    TFormMessageEditor* editor = form->FormMessageEditor;
    editor->memMessageText->setFocus();
    QTest::keyClicks(editor->memMessageText, QStringLiteral("Gate 4 open"));
    TBaseDataClient* book = DataClients.Items(0);
    EXPECT_TRUE(RecipientList->AddItem(nkContact, QStringLiteral("Alice"), ids[0], book));
    EXPECT_TRUE(RecipientList->AddItem(nkContact, QStringLiteral("Bob"), ids[1], book));

    form->FormEmbedControl->btnSend->click();
    EXPECT_FALSE(form->FormEmbedControl->btnSend->isEnabled());
    bool sawProgress = false;
    const bool done = QTest::qWaitFor(
        [&] {
            sawProgress = sawProgress || (form->SendTotal == 2 && form->SendCurrent == 2);
            return form->FormEmbedControl->btnSend->isEnabled();
        },
        20000);
    EXPECT_TRUE(done);
    EXPECT_TRUE(sawProgress);
    EXPECT_TRUE(answers.Texts().isEmpty()) << answers.Texts().join(QLatin1Char('\n')).toStdString();

    QStringList messages;
    for (const TSimFrame& frame : sim.ReceivedFrames())
        if (frame.Word() == QStringLiteral("MESSAGE"))
            messages << frame.items.join(QLatin1Char('|'));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Gate 4 open")));
    EXPECT_EQ(world.CountRows(QStringLiteral("SentMessages")), 2);
    // The completed display empties itself shortly after.
    EXPECT_TRUE(QTest::qWaitFor([this] { return form->SendCurrent == 0; }, 3000));

    form.reset();
    StopMessaging();
    SetLocalIpAddress(QString());
}

TEST_F(ComposingTest, ASendCutShortKeepsTheTextAndTheRecipientsUntilOneCompletes)
{
    MessageAnswerer answers;
    TSimOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    options.closeAfter = 1;  // the connection closes in the middle of the batch
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const QList<qint32> ids =
        world.AddContacts({QStringLiteral("Ann"), QStringLiteral("Bea"), QStringLiteral("Cy")},
                          QStringLiteral("pager.example,444"), QStringLiteral("127.0.0.1"), sim.Port());
    StartMessaging();
    StartWindow();
    SetLocalIpAddress(QStringLiteral("127.0.0.1"));
    world.SetOption("ClearMessageOnSend", true);
    world.SetOption("ClearRecipientsOnSend", true);
    TFormMessageEditor* editor = form->FormMessageEditor;
    editor->memMessageText->setPlainText(QStringLiteral("Gate 5"));
    TBaseDataClient* book = DataClients.Items(0);
    for (int i = 0; i < ids.size(); ++i)
        EXPECT_TRUE(RecipientList->AddItem(nkContact, QStringLiteral("R%1").arg(i), ids[i], book));
    QPushButton* send = form->FormEmbedControl->btnSend;

    send->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return send->isEnabled(); }, 20000));
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("Gate 5"));
    EXPECT_EQ(RecipientList->GetCount(), 3);

    // The server takes everything now: the send completes and clears both.
    // The rows left queued go; the operator is asked about the one the first
    // send reached and answers No, so no one gets the message twice.
    options.closeAfter = 0;
    sim.SetOptions(options);
    answers.Clear();
    answers.QueueAnswer(mbNo);
    send->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return send->isEnabled(); }, 20000));
    ASSERT_FALSE(answers.Texts().isEmpty());
    EXPECT_EQ(answers.Texts()[0],
              QStringLiteral("\"Gate 5\" already reached 1 of the recipients: R0. Page them again?"));
    EXPECT_TRUE(editor->memMessageText->toPlainText().isEmpty());
    EXPECT_EQ(RecipientList->GetCount(), 0);
    int messages = 0;
    for (const TSimFrame& frame : sim.ReceivedFrames())
        messages += frame.Word() == QStringLiteral("MESSAGE") ? 1 : 0;
    EXPECT_EQ(messages, 3);
    TBookBuilder local(world.dbs.LocalDataPath());
    QSqlQuery logged(local.Db());
    ASSERT_TRUE(logged.exec(QStringLiteral("select ContactID from SentMessages order by ContactID")));
    QList<qint32> reached;
    while (logged.next())
        reached << logged.value(0).toInt();
    EXPECT_EQ(reached, ids);
    EXPECT_FALSE(answers.Texts().join(u'|').contains(QStringLiteral("not queued")));

    form.reset();
    StopMessaging();
    SetLocalIpAddress(QString());
}

TEST_F(ComposingTest, LimitsFromTheCarrierEditorsAndAltP)
{
    RegisterEditorsOnce();
    const int index = CarrierMaxLengthIndex(4);
    ASSERT_GE(index, 0);
    QStringList items;
    for (int i = 0; i <= index; ++i)
        items << QStringLiteral("150");
    const qint32 full = world.AddContacts({QStringLiteral("Full")}, CommaTextFromList(items)).value(0);
    const qint32 cut = world.AddContacts({QStringLiteral("Cut")}, CommaTextFromList(items.mid(0, index))).value(0);
    StartWindow();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    TBaseDataClient* book = DataClients.Items(0);
    RecipientList->AddItem(nkContact, QStringLiteral("Cut"), cut, book);
    // Too few items for the editor's length index: no limit, and no read
    // past the end of the text.
    EXPECT_EQ(RecipientList->GetRecipient(0)->MaxMessageLength, 0);
    RecipientList->AddItem(nkContact, QStringLiteral("Full"), full, book);
    form->FormMessageEditor->memMessageText->setPlainText(QStringLiteral("12345"));
    EXPECT_EQ(form->FormMessageEditor->lblRemaining->text(), QStringLiteral("(145)"));

    form->FormMessageEditor->memMessageText->setFocus();
    QTest::keyClick(form->FormMessageEditor->memMessageText, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(form->FormRecipients->lvRecipients->hasFocus());
    SetCarrierMaxLengthHook(nullptr);
}

TEST_F(ComposingTest, ANewSmsCarrierLimitsTo160AndSmtpSetsNoLimit)
{
    RegisterEditorsOnce();
    // Carriers saved unchanged from new editors, as the carrier editor
    // window stores them.
    QString smsData;
    QString smtpData;
    {
        std::unique_ptr<TFormBaseEmbedEditor> sms(GetCarrierEditorFormClass(4)->Create(nullptr));
        std::unique_ptr<TFormBaseEmbedEditor> smtp(GetCarrierEditorFormClass(5)->Create(nullptr));
        smsData = sms->GetDataAsCSVString();
        smtpData = smtp->GetDataAsCSVString();
    }
    qint32 smsContact = 0;
    qint32 smtpContact = 0;
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        const qint32 server = book.Server(QStringLiteral("S"), 1, QStringLiteral("127.0.0.1,215,localhost"));
        smsContact = book.Contact(QStringLiteral("Sms"), book.Carrier(QStringLiteral("SMS"), 4, server, smsData));
        smtpContact = book.Contact(QStringLiteral("Mail"), book.Carrier(QStringLiteral("SMTP"), 5, server, smtpData));
    }
    StartWindow();
    TBaseDataClient* book = DataClients.Items(0);
    TFormMessageEditor* editor = form->FormMessageEditor;

    RecipientList->AddItem(nkContact, QStringLiteral("Mail"), smtpContact, book);
    EXPECT_EQ(RecipientList->GetRecipient(0)->MaxMessageLength, 0);
    EXPECT_EQ(RecipientList->GetMinMaxMessageLength(), NoMaxMessageLength);
    editor->memMessageText->setPlainText(QString(500, QLatin1Char('m')));
    EXPECT_EQ(editor->lblCharCount->palette().color(QPalette::WindowText), QColor(Qt::blue));

    RecipientList->AddItem(nkContact, QStringLiteral("Sms"), smsContact, book);
    EXPECT_EQ(RecipientList->GetMinMaxMessageLength(), 160);
    editor->memMessageText->setPlainText(QString(160, QLatin1Char('s')));
    EXPECT_EQ(editor->lblRemaining->text(), QStringLiteral("(0)"));
    EXPECT_EQ(editor->lblCharCount->palette().color(QPalette::WindowText), QColor(Qt::blue));
    editor->memMessageText->setPlainText(QString(161, QLatin1Char('s')));
    EXPECT_EQ(editor->lblRemaining->text(), QStringLiteral("(-1)"));
    EXPECT_EQ(editor->lblCharCount->palette().color(QPalette::WindowText), QColor(Qt::red));
    SetCarrierMaxLengthHook(nullptr);
}

TEST_F(ComposingTest, TabWalksTreeRecipientsEditorAndSendBar)
{
    StartWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const auto walk = [](Qt::Key key, int steps) {
        QStringList names;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key,
                            key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            names << QApplication::focusWidget()->objectName();
        }
        return names;
    };
    form->FormFoldersTree->tvFolders->setFocus();
    EXPECT_EQ(walk(Qt::Key_Tab, 8), QStringList({"lvRecipients", "cbexTemplateNames", "memMessageText", "btnSend",
                                                 "btnClearRecipients", "btnClearMessageText", "btnExit", "tvFolders"}));
    form->FormMessageEditor->memMessageText->setFocus();
    EXPECT_EQ(walk(Qt::Key_Backtab, 3), QStringList({"cbexTemplateNames", "lvRecipients", "tvFolders"}));
}
