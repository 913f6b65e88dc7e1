// The message editor pane on the offscreen platform with real address-book
// files: template type-ahead and insertion, the address-book menu, the
// counters against the recipients' limits, upper-case entry and the queued
// text.
#include "panefixture.h"
#include "platform/profilefile.h"
#include "support/messageanswerer.h"
#include "ui/main/frmmessageeditor.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>

namespace {

class EditorPaneTest : public ::testing::Test {
protected:
    void FillTemplates(const QString& bookPath, const QStringList& namesAndContents)
    {
        TBookBuilder book(bookPath);
        for (int i = 0; i + 1 < namesAndContents.size(); i += 2)
            book.Exec(
                QStringLiteral("insert into Templates (Name, Content) values (:Name, :Content)"),
                {{QStringLiteral("Name"), namesAndContents[i]}, {QStringLiteral("Content"), namesAndContents[i + 1]}});
    }
    void MakeEditor()
    {
        editor = std::make_unique<TFormMessageEditor>();
        editor->resize(500, 300);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    }
    void TearDown() override
    {
        editor.reset();
        RecipientList = nullptr;
    }
    QLineEdit* ComboEdit() const { return editor->cbexTemplateNames->lineEdit(); }

    TPaneWorld world;
    std::unique_ptr<TFormMessageEditor> editor;
};

}  // namespace

TEST_F(EditorPaneTest, TypeAheadCompletesAndEnterInsertsAtTheCaret)
{
    FillTemplates(world.dbs.AddressBookPath(),
                  {QStringLiteral("All clear"), QStringLiteral("Stand down"), QStringLiteral("Alarm"),
                   QStringLiteral("FIRE"), QStringLiteral("beta"), QStringLiteral("b")});
    world.Start();
    MakeEditor();
    // One address book: no button; its templates, sorted.
    EXPECT_TRUE(editor->btnSelectDatabase->isHidden());
    ASSERT_EQ(editor->cbexTemplateNames->count(), 3);
    EXPECT_EQ(editor->cbexTemplateNames->itemText(0), QStringLiteral("Alarm"));
    EXPECT_EQ(editor->cbexTemplateNames->itemText(1), QStringLiteral("All clear"));
    EXPECT_EQ(editor->cbexTemplateNames->itemText(2), QStringLiteral("beta"));

    editor->memMessageText->setPlainText(QStringLiteral("[]"));
    QTextCursor caret = editor->memMessageText->textCursor();
    caret.setPosition(1);
    editor->memMessageText->setTextCursor(caret);

    ComboEdit()->setFocus();
    QTest::keyClicks(ComboEdit(), QStringLiteral("al"));
    EXPECT_EQ(ComboEdit()->text(), QStringLiteral("Alarm"));
    EXPECT_EQ(ComboEdit()->selectedText(), QStringLiteral("arm"));
    EXPECT_EQ(ComboEdit()->selectionStart(), 2);
    QTest::keyClick(ComboEdit(), Qt::Key_Return);
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("[FIRE]"));
    EXPECT_EQ(editor->MessageLength(), 6);

    // Typing on replaces the selected tail.
    ComboEdit()->selectAll();
    QTest::keyClicks(ComboEdit(), QStringLiteral("ALL"));
    EXPECT_EQ(ComboEdit()->text(), QStringLiteral("All clear"));
    EXPECT_EQ(ComboEdit()->selectedText(), QStringLiteral(" clear"));
    QTest::keyClick(ComboEdit(), Qt::Key_Enter);
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("[FIREStand down]"));

    // An empty text completes to the first name, wholly selected.
    ComboEdit()->selectAll();
    QTest::keyClick(ComboEdit(), Qt::Key_Delete);
    EXPECT_EQ(ComboEdit()->text(), QStringLiteral("Alarm"));
    EXPECT_EQ(ComboEdit()->selectedText(), QStringLiteral("Alarm"));
    // No match: Enter inserts nothing.
    QTest::keyClicks(ComboEdit(), QStringLiteral("zz"));
    EXPECT_EQ(editor->RememberedIndex(), -1);
    QTest::keyClick(ComboEdit(), Qt::Key_Return);
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("[FIREStand down]"));
}

TEST_F(EditorPaneTest, ChoosingFromTheListInsertsOnceAndAGoneRowNothing)
{
    FillTemplates(world.dbs.AddressBookPath(), {QStringLiteral("Alarm"), QStringLiteral("FIRE")});
    world.Start();
    MakeEditor();
    editor->cbexTemplateNames->setCurrentIndex(0);
    emit editor->cbexTemplateNames->activated(0);
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("FIRE"));
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        book.Exec(QStringLiteral("delete from Templates"));
    }
    // The dataset was closed again after loading, so the next look-up reads
    // the file anew and finds no row.
    emit editor->cbexTemplateNames->activated(0);
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("FIRE"));
}

TEST_F(EditorPaneTest, AddressBookMenuAndStoredChoice)
{
    FillTemplates(world.dbs.AddressBookPath(), {QStringLiteral("Local one"), QStringLiteral("L")});
    const QString otherBook = world.AddSecondBook();
    FillTemplates(otherBook, {QStringLiteral("Other one"), QStringLiteral("O")});
    world.Start();
    FormSettingsIni->WriteInteger(QStringLiteral("TFormMessageEditor"), QStringLiteral("CheckedMenuIndex"), 7);
    MakeEditor();
    EXPECT_FALSE(editor->btnSelectDatabase->isHidden());
    ASSERT_EQ(editor->mnuDatabases->actions().size(), 2);
    // A stored index beyond the menu selects the first book.
    EXPECT_TRUE(editor->mnuDatabases->actions()[0]->isChecked());
    EXPECT_EQ(editor->cbexTemplateNames->itemText(0), QStringLiteral("Local one"));

    editor->mnuDatabases->actions()[1]->trigger();
    EXPECT_EQ(editor->CheckedDatabaseIndex(), 1);
    EXPECT_EQ(editor->cbexTemplateNames->itemText(0), QStringLiteral("Other one"));
    editor->RebuildDatabases();
    EXPECT_EQ(editor->CheckedDatabaseIndex(), 1);
    editor.reset();  // stores the choice
    EXPECT_EQ(
        FormSettingsIni->ReadInteger(QStringLiteral("TFormMessageEditor"), QStringLiteral("CheckedMenuIndex"), -1), 1);
}

TEST_F(EditorPaneTest, CountersFollowTheRecipients)
{
    qint32 ids[3] = {};
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        const qint32 server = book.Server(QStringLiteral("S"), 1, QStringLiteral("127.0.0.1,215,localhost"));
        const char* limits[3] = {"160", "0", "120"};
        const char* names[3] = {"Operator", "Bo", "Cy"};
        for (int i = 0; i < 3; ++i)
            ids[i] = book.Contact(QString::fromLatin1(names[i]),
                                  book.Carrier(QStringLiteral("C%1").arg(i), 4, server,
                                               QStringLiteral("x,x,x,") + QString::fromLatin1(limits[i])));
    }
    SetCarrierMaxLengthHook([](int, const QString& data) { return CommaTextToList(data).value(3).toInt(); });
    world.Start();
    world.SetOption("AddDisplayNameToMessage", true);
    world.SetOption("FollowedByChar", QStringLiteral(":"));
    MakeEditor();
    editor->LoadEditorOptions();

    // Before the recipients exist: no remainder, the count in blue.
    editor->memMessageText->setPlainText(QString(112, QLatin1Char('x')));
    EXPECT_EQ(editor->lblCharCount->text(), QStringLiteral("112"));
    EXPECT_TRUE(editor->lblRemaining->text().isEmpty());

    TNRecipientList list;
    RecipientList = &list;
    list.SetOnCountersChanged([this] { editor->UpdateCounters(); });
    editor->UpdateCounters();
    EXPECT_TRUE(editor->lblRemaining->text().isEmpty());  // an empty list
    EXPECT_EQ(editor->lblCharCount->palette().color(QPalette::WindowText), QColor(Qt::blue));

    TBaseDataClient* book = DataClients.Items(0);
    list.AddItem(nkContact, QStringLiteral("Operator"), ids[0], book);
    list.AddItem(nkContact, QStringLiteral("Bo"), ids[1], book);
    list.AddItem(nkContact, QStringLiteral("Cy"), ids[2], book);
    // 120 - 8 ("Operator") - 1 (":") = 111.
    EXPECT_EQ(editor->lblRemaining->text(), QStringLiteral("(-1)"));
    EXPECT_EQ(editor->lblCharCount->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(editor->lblPrefixIndicator->text(), QStringLiteral("(Name:)"));
    EXPECT_TRUE(editor->lblPrefixIndicator->isVisibleTo(editor.get()));
    editor->memMessageText->moveCursor(QTextCursor::End);
    QTest::keyClick(editor->memMessageText, Qt::Key_Backspace);
    EXPECT_EQ(editor->lblRemaining->text(), QStringLiteral("(0)"));
    EXPECT_EQ(editor->lblCharCount->palette().color(QPalette::WindowText), QColor(Qt::blue));

    // An option change recounts through the options' hook.
    AddDisplayNameToMessage = false;
    OnMessageEditorOptionsChanged();
    EXPECT_EQ(editor->lblRemaining->text(), QStringLiteral("(9)"));
    EXPECT_FALSE(editor->lblPrefixIndicator->isVisibleTo(editor.get()));
    list.Clear();
    EXPECT_TRUE(editor->lblRemaining->text().isEmpty());
    RecipientList = nullptr;
}

TEST_F(EditorPaneTest, QueuedTextAndKeys)
{
    world.Start();
    MakeEditor();
    QString text;
    editor->memMessageText->setPlainText(QStringLiteral("AB\nC"));
    EXPECT_EQ(editor->MessageLength(), 3);
    editor->GetMessageTextForSending(text);
    // The memo's line break is queued as one blank.
    EXPECT_EQ(text, QStringLiteral("AB C"));
    editor->memMessageText->setPlainText(QString(1200, QLatin1Char('y')));
    editor->GetMessageTextForSending(text);
    EXPECT_EQ(text.size(), 1000);
    editor->memMessageText->setPlainText(QStringLiteral(" \n \n "));
    EXPECT_EQ(editor->MessageLength(), 0);

    editor->memMessageText->clear();
    editor->memMessageText->setFocus();
    EntryInUpperCase = true;
    QTest::keyClicks(editor->memMessageText, QStringLiteral("ab"));
    QTest::sendKeyEvent(QTest::Click, editor->memMessageText, Qt::Key_Eacute, QStringLiteral("\u00e9"), Qt::NoModifier);
    EntryInUpperCase = false;
    QTest::keyClicks(editor->memMessageText, QStringLiteral("c"));
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("AB\u00c9c"));
    // Tab and Shift+Tab leave the memo and type nothing.
    QTest::keyClick(editor->memMessageText, Qt::Key_Tab);
    EXPECT_FALSE(editor->memMessageText->hasFocus());
    editor->memMessageText->setFocus();
    QTest::keyClick(editor->memMessageText, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(editor->memMessageText->hasFocus());
    EXPECT_EQ(editor->memMessageText->toPlainText(), QStringLiteral("AB\u00c9c"));
    editor->memMessageText->setFocus();
    QTest::keyClick(editor->memMessageText, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->memMessageText->textCursor().selectedText(), QStringLiteral("AB\u00c9c"));
    EXPECT_TRUE(editor->actClearText->isEnabled());
    editor->actClearText->trigger();
    EXPECT_FALSE(editor->actClearText->isEnabled());
    EXPECT_TRUE(editor->memMessageText->toPlainText().isEmpty());
    EXPECT_EQ(editor->lblCharCount->text(), QStringLiteral("0"));
}
