// End to end in the main window, offscreen: a contact double-clicked in the
// folder tree becomes the recipient, a typed message is sent to the
// simulator, and the sent-messages report (F3) shows it dispatched and
// sent.
#include "data/folderstree.h"
#include "foundation/scgtreeview.h"
#include "messaging/sendoutbox.h"
#include "pagingserversim.h"
#include "panefixture.h"
#include "support/messageanswerer.h"
#include "ui/main/frmembedcontrol.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmmessageeditor.h"
#include "ui/main/frmsentmessages.h"

#include <gtest/gtest.h>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

TEST(FoldersTreeSendTest, DoubleClickTypeSendAndReadTheReport)
{
    MessageAnswerer answers;
    TPaneWorld world;
    TSimOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    TPagingServerSim sim(options);
    ASSERT_TRUE(sim.Start());
    const qint32 dora = world
                            .AddContacts({QStringLiteral("Dora")}, QStringLiteral("pager.example,444"),
                                         QStringLiteral("127.0.0.1"), sim.Port())
                            .value(0);
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        book.Exec(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (0, :N, :C)"),
                  {{QStringLiteral("N"), NoneID}, {QStringLiteral("C"), dora}});
    }
    StartMessaging();
    world.Start();
    auto form = std::make_unique<TFormMain>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->FormFoldersTree != nullptr; }, 5000));
    SetLocalIpAddress(QStringLiteral("127.0.0.1"));

    TSCGTreeView* tree = form->FormFoldersTree->tvFolders;
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    tree->topLevelItem(0)->setExpanded(true);
    QApplication::processEvents();
    QTreeWidgetItem* item = tree->topLevelItem(0)->child(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), QStringLiteral("Dora"));
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(RecipientList->GetCount(), 1);
    EXPECT_EQ(RecipientList->GetRecipient(0)->ID, dora);

    TFormMessageEditor* editor = form->FormMessageEditor;
    editor->memMessageText->setFocus();
    QTest::keyClicks(editor->memMessageText, QStringLiteral("Lift 2 stuck"));
    form->FormEmbedControl->btnSend->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->FormEmbedControl->btnSend->isEnabled(); }, 20000));
    EXPECT_TRUE(answers.Texts().isEmpty()) << answers.Texts().join(QLatin1Char('\n')).toStdString();

    form->actShowSentMessages->trigger();
    ASSERT_NE(FormSentMessages, nullptr);
    const QAbstractItemModel* model = FormSentMessages->dbgMessages->model();
    // Send comes back once the row is accepted; its delivery report may come
    // a moment later, and the report refreshes itself when it does.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return model->rowCount() == 1 && model->data(model->index(0, 3)).toString() == QStringLiteral("Succeeded");
        },
        20000));
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QStringLiteral("Dora"));
    EXPECT_EQ(model->data(model->index(0, 1)).toString(), QStringLiteral("Yes"));
    EXPECT_EQ(model->data(model->index(0, 3)).toString(), QStringLiteral("Succeeded"));
    EXPECT_EQ(model->data(model->index(0, 5)).toString(), QStringLiteral("OK"));
    EXPECT_TRUE(
        model->data(model->index(0, 6)).toString().contains(QStringLiteral("LIFT 2 STUCK"), Qt::CaseInsensitive));

    form.reset();
    EXPECT_EQ(FormSentMessages, nullptr);
    StopMessaging();
    SetLocalIpAddress(QString());
}
