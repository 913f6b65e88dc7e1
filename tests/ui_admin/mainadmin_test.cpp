// The main window's administration actions with the administration windows
// registered: every action is there with its shortcut and opens its window;
// the address-book list adds a second book from another folder (a duplicate
// name refused, Move Up and Move Down read back with SQL) and the tree shows
// it after OK; a template added through F11 reaches the message editor.
#include "adminfixture.h"
#include "data/basedataclient.h"
#include "data/bookbuilder.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "platform/commatext.h"
#include "support/messageanswerer.h"
#include "ui/admin/adminwindows.h"
#include "ui/admin/basemultidbgridlistform.h"
#include "ui/admin/databaseslist.h"
#include "ui/admin/typeeditors.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dblookupcombo.h"
#include "ui/dbcontrols/dbmemo.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmmessageeditor.h"
#include "ui/plugins/databaseshared.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"
#include "ui_main/eventwaits.h"
#include "ui_main/panefixture.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {
class MainAdminTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.AddContacts({QStringLiteral("Bob")});
        RegisterAllWindowsAnew();
        world.Start();
        form = std::make_unique<TFormMain>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->FormFoldersTree != nullptr; }, 5000));
        LogonRole = RoleAdmin;
        // The actions follow the role when the program is next idle.
        ASSERT_TRUE(WaitUntil([this] { return form->actDatabasesNew && form->actDatabasesNew->isEnabled(); }));
    }
    void TearDown() override
    {
        form.reset();
        ClearAdminLaunchers();
        LogonRole = RoleUser;
    }
    QVariant LocalValue(const QString& sql) { return TBookBuilder(world.dbs.LocalDataPath()).Value(sql); }

    TPaneWorld world;
    MessageAnswerer Answerer;
    std::unique_ptr<TFormMain> form;
};

// Closes the next modal window, noting its caption.
void CloseNextModal(QString& caption)
{
    WhenModal<QDialog>([&caption](QDialog* dialog) {
        caption = dialog->windowTitle();
        dialog->reject();
    });
}
}  // namespace

TEST_F(MainAdminTest, EveryAdministrationActionOpensItsWindow)
{
    const struct {
        QAction* Action;
        int Key;
        const char* Caption;
    } expected[] = {
        {form->actEditContactsNew, Qt::Key_F9, "  Contacts"},
        {form->actEditGroupsNew, Qt::Key_F10, "  Groups"},
        {form->actEditTemplatesNew, Qt::Key_F11, "  Edit Templates"},
        {form->actEditCarriersNew, Qt::Key_F7, "  Carriers"},
        {form->actEditServersNew, Qt::Key_F8, "  Edit Tovix Servers"},
        {form->actDatabasesNew, Qt::Key_F12, "  Databases"},
        {form->actDatabaseTypesNew, 0, "Database Types"},
        {form->actEditCarrierTypesNew, 0, "  Edit Carrier Types"},
    };
    for (const auto& entry : expected) {
        ASSERT_NE(entry.Action, nullptr) << entry.Caption;
        EXPECT_EQ(entry.Action->shortcut(), entry.Key ? QKeySequence(entry.Key) : QKeySequence()) << entry.Caption;
        QString caption;
        CloseNextModal(caption);
        entry.Action->trigger();
        EXPECT_TRUE(caption.startsWith(QString::fromLatin1(entry.Caption))) << caption.toStdString();
    }
    EXPECT_FALSE(form->actDatabaseTypesNew->isVisible());
    EXPECT_TRUE(Answerer.Texts().isEmpty());

    // In the user role none of them can run.
    LogonRole = RoleUser;
    ASSERT_TRUE(WaitUntil([this] { return !form->actDatabasesNew->isEnabled(); }));
    for (const auto& entry : expected)
        EXPECT_FALSE(entry.Action->isEnabled()) << entry.Caption;
}

TEST_F(MainAdminTest, ASecondBookFromAnotherFolderIsOrderedAndShownAfterOk)
{
    const QString folder = world.dbs.AddAddressBook(QStringLiteral("branch"));
    {
        TBookBuilder branch(folder + QStringLiteral("Tovix2Database.mdb"));
        branch.Contact(QStringLiteral("Dora"), 0);
        branch.Exec(
            QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (0, %1, 1)").arg(NoneID));
    }
    bool listChecked = false;
    WhenModal<TFormDatabasesList>([&](TFormDatabasesList* list) {
        // The built-in book is first: no Move Up, no Edit or Delete buttons.
        EXPECT_FALSE(list->actMoveUp->isEnabled());
        WhenModal<TFormDatabaseEditor>([&](TFormDatabaseEditor* editor) {
            EXPECT_EQ(editor->windowTitle(), QStringLiteral("  New Database"));
            QTest::keyClicks(editor->dbedtName, QStringLiteral("Local Database"));
            editor->SetEmbeddedData(CommaTextFromList({folder}));
            editor->UpdateOkAction();
            editor->btnOK->click();
            EXPECT_EQ(editor->dbedtName->text(), QString());  // the name it had
            QTest::keyClicks(editor->dbedtName, QStringLiteral("Branch"));
            editor->btnOK->click();
        });
        list->actAdd->trigger();
        const QString orderOf = QStringLiteral("select OrderNo from Databases where Name = '%1'");
        EXPECT_EQ(LocalValue(orderOf.arg(QStringLiteral("Branch"))), QVariant(2));
        EXPECT_EQ(LocalValue(QStringLiteral("select length(GUID) from Databases where Name = 'Branch'")), QVariant(38));
        list->actMoveUpExecute();
        EXPECT_EQ(LocalValue(orderOf.arg(QStringLiteral("Branch"))), QVariant(1));
        EXPECT_EQ(LocalValue(orderOf.arg(QStringLiteral("Local Database"))), QVariant(2));
        list->actMoveDownExecute();
        EXPECT_EQ(LocalValue(orderOf.arg(QStringLiteral("Branch"))), QVariant(2));
        EXPECT_EQ(LocalValue(orderOf.arg(QStringLiteral("Local Database"))), QVariant(1));
        listChecked = true;
        list->actOk->trigger();
    });
    form->actDatabasesNew->trigger();
    ASSERT_TRUE(listChecked);
    EXPECT_EQ(Answerer.Texts(),
              QStringList{QStringLiteral("There is Database already named: \"Local Database\". Please enter a "
                                         "different name.")});
    // OK made the books anew: the tree shows the new book and its contact.
    ASSERT_EQ(DataClients.Count(), 2);
    EXPECT_EQ(DataClients.Items(1)->Name(), QStringLiteral("Branch"));
    TSCGTreeView* tree = form->FormFoldersTree->tvFolders;
    EXPECT_EQ(tree->findItems(QStringLiteral("Branch"), Qt::MatchExactly).size(), 1);
    EXPECT_EQ(tree->findItems(QStringLiteral("Dora"), Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    // The tree paints again once the pane does.
    EXPECT_TRUE(tree->updatesEnabled());
}

TEST_F(MainAdminTest, ATemplateAddedHereReachesTheMessageEditor)
{
    WhenModal<TBaseMultiDBGridListForm>([](TBaseMultiDBGridListForm* list) {
        WhenModal<TFormTemplateEditor>([](TFormTemplateEditor* editor) {
            QTest::keyClicks(editor->dbedtName, QStringLiteral("Fire drill"));
            QTest::keyClicks(editor->dbmemContent, QStringLiteral("Fire drill at noon"));
            editor->UpdateOkAction();
            editor->btnOK->click();
        });
        list->actAdd->trigger();
        list->actOk->trigger();
    });
    form->actEditTemplatesNew->trigger();
    QStringList names;
    for (const auto& entry : form->FormMessageEditor->TemplateNames())
        names << entry.Name;
    EXPECT_EQ(names, QStringList{QStringLiteral("Fire drill")});
}

TEST_F(MainAdminTest, ANewBookMayBeSharedAndAnExistingBookKeepsItsType)
{
    bool checked = false;
    WhenModal<TFormDatabasesList>([&](TFormDatabasesList* list) {
        WhenModal<TFormDatabaseEditor>([&](TFormDatabaseEditor* editor) {
            TNDBLookupComboBox* type = editor->dbcbTypeLookup;
            EXPECT_TRUE(type->isEnabled());
            const int shared = type->findText(QStringLiteral("Shared"));
            ASSERT_GE(shared, 0);
            type->setCurrentIndex(shared);
            emit type->activated(shared);
            auto* settings = qobject_cast<TFormEmbedAccessSharedEditor*>(editor->EmbeddedEditor());
            ASSERT_NE(settings, nullptr) << "the shared book's settings editor is embedded";
            settings->findChild<QComboBox*>(QStringLiteral("cbServerName"))
                ->setEditText(QStringLiteral("TovixServer.TovixRemoteDataModule"));
            QTest::keyClicks(editor->dbedtName, QStringLiteral("Remote"));
            editor->UpdateOkAction();
            editor->btnOK->click();
        });
        list->actAdd->trigger();
        // An existing book shows its type and keeps it.
        ASSERT_TRUE(list->DataSet()->Locate(QStringLiteral("Name"), QStringLiteral("Remote")));
        WhenModal<TFormDatabaseEditor>([&](TFormDatabaseEditor* editor) {
            EXPECT_FALSE(editor->dbcbTypeLookup->isEnabled());
            EXPECT_NE(qobject_cast<TFormEmbedAccessSharedEditor*>(editor->EmbeddedEditor()), nullptr);
            // Typing puts the row into edit state; the type still cannot change.
            QTest::keyClicks(editor->dbedtName, QStringLiteral("x"));
            EXPECT_FALSE(editor->dbcbTypeLookup->isEnabled());
            editor->reject();
        });
        list->actEdit->trigger();
        checked = true;
        list->actOk->trigger();
    });
    form->actDatabasesNew->trigger();
    ASSERT_TRUE(checked);
    EXPECT_EQ(LocalValue(QStringLiteral("select TypeNo from Databases where Name = 'Remote'")), QVariant(2));
    // A typed server name the door did not list has no GUID.
    EXPECT_EQ(LocalValue(QStringLiteral("select Data from Databases where Name = 'Remote'")).toString().toStdString(),
              "127.0.0.1,211,TovixServer.TovixRemoteDataModule,");
    ASSERT_EQ(DataClients.Count(), 2);
    EXPECT_EQ(DataClients.Items(1)->Name(), QStringLiteral("Remote"));
    EXPECT_EQ(form->FormFoldersTree->tvFolders->findItems(QStringLiteral("Remote"), Qt::MatchExactly).size(), 1);
}
