#pragma once
// A program folder with a local address book, its data module started on
// demand and a folder tree loaded from it, for the folder-tree tests.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/folderstree.h"
#include "foundation/scgtreeview.h"
#include "platform/commatext.h"

#include <QApplication>
#include <QSqlQuery>
#include <memory>

inline const QString OtherGuid = QStringLiteral("{00000000-0000-0000-0000-0000000000B2}");

class FoldersTreeTest : public LocalDataFixture {
protected:
    void SetUp() override
    {
        LocalDataFixture::SetUp();
        Book = std::make_unique<TBookBuilder>(Dbs.AddressBookPath());
        Carrier = Book->Carrier(QStringLiteral("SMS"), 4, 0);
    }
    void TearDown() override
    {
        Tree.reset();
        Clipboard.reset();
        FoldersTreeState->Destroying = false;
        Book.reset();
        LocalDataFixture::TearDown();
    }

    // Starts the local data module (one client per address book) and loads
    // the tree.
    void Load()
    {
        StartLocalData();
        Tree = std::make_unique<TSCGTreeView>();
        Clipboard = std::make_unique<QTreeWidget>();
        FoldersTreeState->AttachToForm(nullptr, Tree.get(), Clipboard.get());
        LoadFoldersTree(Tree.get());
    }

    qint32 Folder(const QString& name, qint32 parent)
    {
        return Book->Insert(QStringLiteral("insert into Folders (Name, ParentID) values (:Name, :ParentID)"),
                            {{QStringLiteral("Name"), name}, {QStringLiteral("ParentID"), parent}});
    }
    void Place(qint32 folder, qint32 contact, qint32 group = NoneID)
    {
        Book->Insert(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (:F, :G, :C)"),
                     {{QStringLiteral("F"), folder}, {QStringLiteral("G"), group}, {QStringLiteral("C"), contact}});
    }
    void PlaceGroup(qint32 folder, qint32 group) { Place(folder, NoneID, group); }
    QString AddOtherBook()
    {
        const QString folder = Dbs.AddAddressBook(QStringLiteral("other"));
        TBookBuilder local(Dbs.LocalDataPath());
        local.Exec(QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) "
                                  "values (1, 'Other', 2, :Data, :GUID)"),
                   {{QStringLiteral("Data"), CommaTextFromList({folder})}, {QStringLiteral("GUID"), OtherGuid}});
        return folder + QStringLiteral("Tovix2Database.mdb");
    }

    // The nodes become the tree's whole selection.
    void SelectOnly(std::initializer_list<QTreeWidgetItem*> nodes)
    {
        Tree->clearSelection();
        for (QTreeWidgetItem* node : nodes)
            node->setSelected(true);
    }
    TNTreeNode* Root(int index = 0) const { return TNTreeNode::From(Tree->topLevelItem(index)); }
    static QStringList Captions(const QTreeWidgetItem* parent)
    {
        QStringList captions;
        for (int i = 0; i < parent->childCount(); ++i)
            captions << parent->child(i)->text(0);
        return captions;
    }
    TNTreeNode* Child(const QTreeWidgetItem* parent, const QString& caption) const
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == caption)
                return TNTreeNode::From(parent->child(i));
        return nullptr;
    }
    qint64 Rows(const QString& table, const QString& where = QString()) { return Book->Count(table, where); }
    QList<QPair<QString, int>> OpenFolderRows()
    {
        TBookBuilder local(Dbs.LocalDataPath());
        QSqlQuery query(local.Db());
        query.exec(QStringLiteral("select DatabaseGUID, FolderID from FoldersOpen order by DatabaseGUID, FolderID"));
        QList<QPair<QString, int>> rows;
        while (query.next())
            rows.append({query.value(0).toString(), query.value(1).toInt()});
        return rows;
    }
    void AddOpenFolder(const QString& guid, int folderID)
    {
        TBookBuilder local(Dbs.LocalDataPath());
        local.Exec(QStringLiteral("insert into FoldersOpen (DatabaseGUID, FolderID) values (:G, :F)"),
                   {{QStringLiteral("G"), guid}, {QStringLiteral("F"), folderID}});
    }
    QString LocalGuid()
    {
        TBookBuilder local(Dbs.LocalDataPath());
        return local.Value(QStringLiteral("select GUID from Databases where Name = 'Local Database'")).toString();
    }

    std::unique_ptr<TBookBuilder> Book;
    std::unique_ptr<TSCGTreeView> Tree;
    std::unique_ptr<QTreeWidget> Clipboard;
    qint32 Carrier = 0;
};
