#pragma once
// The world of the administration window tests: both database files in a
// temporary program folder with a server, an SMS carrier and the contacts
// Bob, Anna (placed in the folder tree) and Carl in the "Local Database" book (a second, empty book on
// request), the options, "FormSettings.ini", the local data module, every
// embedded editor registered, and the folder-tree and recipients panes shown
// in one window. Message boxes are answered by Answerer.
#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "platform/profilefile.h"
#include "support/messageanswerer.h"
#include "ui/admin/adminwindows.h"
#include "ui/admin/entitylists.h"
#include "ui/admin/recordeditors.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmrecipients.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"
#include "ui_main/eventwaits.h"
#include "ui_main/panefixture.h"

#include <gtest/gtest.h>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTest>

// Every embedded editor and administration window registered afresh.
inline void RegisterAllWindowsAnew()
{
    for (TBaseEmbedEditorsList* list : std::initializer_list<TBaseEmbedEditorsList*>{
             &CarrierEditorsList(), &ContactEditorsList(), &DatabaseEditorsList(), &ServerEditorsList()})
        list->Clear();
    RegisterEmbeddedEditors();
    RegisterAdminWindows();
}

class AdminFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ids = world.AddContacts({QStringLiteral("Bob"), QStringLiteral("Anna"), QStringLiteral("Carl")},
                                QStringLiteral("x"), QStringLiteral("127.0.0.1"), 2150);
        {
            // Anna is placed at the book's top level of the folder tree.
            TBookBuilder book(world.dbs.AddressBookPath());
            if (beforeStart)
                beforeStart(book);
            book.Insert(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (0, :G, :C)"),
                        {{QStringLiteral("G"), NoneID}, {QStringLiteral("C"), ids[1]}});
        }
        if (withSecondBook)
            world.AddSecondBook();
        RegisterAllWindowsAnew();
        world.Start();
        LogonRole = RoleAdmin;
        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        tree = new TFormFoldersTree;
        recipients = new TFormRecipients;
        layout->addWidget(tree);
        layout->addWidget(recipients);
        window->resize(600, 400);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        ClearAdminLaunchers();
        LogonRole = RoleUser;
    }

    TBaseDataClient* Book(int index = 0) const { return DataClients.Items(index); }
    QList<TBaseDataClient*> Books() const
    {
        QList<TBaseDataClient*> books;
        for (int i = 0; i < DataClients.Count(); ++i)
            books << DataClients.Items(i);
        return books;
    }
    // One value read with SQL from the default address book.
    QVariant BookValue(const QString& sql)
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        QSqlQuery query(book.Db());
        query.exec(sql);
        return query.next() ? query.value(0) : QVariant();
    }
    qint64 Rows(const QString& table, const QString& where = QString())
    {
        TBookBuilder book(world.dbs.AddressBookPath());
        return book.Count(table, where);
    }

    bool withSecondBook = false;
    std::function<void(TBookBuilder& book)> beforeStart;  // more rows for one test
    TPaneWorld world;
    QList<qint32> ids;  // Bob, Anna, Carl
    MessageAnswerer Answerer;
    std::unique_ptr<QWidget> window;
    TFormFoldersTree* tree = nullptr;
    TFormRecipients* recipients = nullptr;
};
