#pragma once
// Fills an address book for the folder-tree benchmarks: one server, one SMS
// carrier and Count contacts with names in a scrambled order ("Contact
// 000123"), on the caller's connection and transaction; places contacts in
// folders; finds a node by caption.
#include "data/datakinds.h"
#include "db/connection.h"

#include <QSqlQuery>
#include <QTreeWidgetItem>

namespace bench {

inline void AddServerCarrierAndContacts(TNConnection& book, int count)
{
    book.ExecSQL(QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('Main', 1, '127.0.0.1,215,host')"));
    book.ExecSQL(QStringLiteral("insert into Carriers (TypeNo, ServerID, Name) values (4, 1, 'SMS')"));
    QSqlQuery contact(book.Database());
    contact.prepare(QStringLiteral("insert into Contacts (CarrierID, Name, Data) values (1, ?, ?)"));
    for (int i = 0; i < count; ++i) {
        contact.addBindValue(QStringLiteral("Contact %1").arg((i * 7919) % count, 6, 10, QLatin1Char('0')));
        contact.addBindValue(QStringLiteral("+64 21 %1,false").arg(i));
        contact.exec();
    }
}

// The FolderAssigns insert of PlaceContact, prepared on the book.
inline QSqlQuery PrepareFolderAssigns(TNConnection& book)
{
    QSqlQuery assign(book.Database());
    assign.prepare(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (?, ?, ?)"));
    return assign;
}

inline void PlaceContact(QSqlQuery& assign, int folderID, int contactID)
{
    assign.addBindValue(folderID);
    assign.addBindValue(NoneID);
    assign.addBindValue(contactID);
    assign.exec();
}

// The child of the tree node with that caption, or nullptr.
inline QTreeWidgetItem* ChildNamed(QTreeWidgetItem* parent, const QString& name)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    return nullptr;
}

}  // namespace bench
