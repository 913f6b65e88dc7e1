// Dataset layer figures on an address book of 100,000 contacts in 1,000
// groups: opening the tables, scanning them, locating and looking up by key,
// lookup fields over the memberships, posting rows. Prints one line per
// figure.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

#include "benchutil.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/sqldataset.h"
#include "db/transaction.h"

namespace {

constexpr int ContactCount = 100000;
constexpr int GroupCount = 1000;

using bench::MemoryKb;
using bench::Report;
QTextStream& out = bench::Out();

void Fill(TNConnection& book)
{
    TNTransaction tx(book);
    book.ExecSQL(QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('Main', 1, '127.0.0.1,215,host')"));
    book.ExecSQL(QStringLiteral("insert into Carriers (TypeNo, ServerID, Name) values (4, 1, 'SMS')"));
    QSqlQuery contact(book.Database());
    contact.prepare(
        QStringLiteral("insert into Contacts (CarrierID, Name, FirstName, LastName, Data) "
                       "values (1, ?, ?, ?, ?)"));
    for (int i = 0; i < ContactCount; ++i) {
        contact.addBindValue(QStringLiteral("Contact %1").arg((i * 7919) % ContactCount, 6, 10, QLatin1Char('0')));
        contact.addBindValue(QStringLiteral("First%1").arg(i % 500));
        contact.addBindValue(QStringLiteral("Last%1").arg(i % 2000));
        contact.addBindValue(QStringLiteral("+64 21 %1,0").arg(i));
        contact.exec();
    }
    QSqlQuery group(book.Database());
    group.prepare(QStringLiteral("insert into Groups (Name) values (?)"));
    for (int g = 0; g < GroupCount; ++g) {
        group.addBindValue(QStringLiteral("Group %1").arg(g));
        group.exec();
    }
    QSqlQuery member(book.Database());
    member.prepare(QStringLiteral("insert into GroupAssigns (GroupID, ContactID) values (?, ?)"));
    for (int i = 0; i < ContactCount; ++i) {
        member.addBindValue(i % GroupCount + 1);
        member.addBindValue(i + 1);
        member.exec();
    }
    tx.Commit();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(AddressBookFileName());
    CreateAddressBookFile(path);
    TNConnection book;
    book.SetDatabasePath(path);
    QElapsedTimer timer;
    timer.start();
    Fill(book);
    Report("build 100,000 contacts, 1,000 groups (SQL)", timer);

    TNSqlTable carriers;
    carriers.SetConnection(&book);
    carriers.SetTableName(QStringLiteral("Carriers"));
    TNSqlTable contacts;
    contacts.SetConnection(&book);
    contacts.SetTableName(QStringLiteral("Contacts"));
    contacts.SetIndexFieldNames(QStringLiteral("Name"));
    contacts.AddLookupField(QStringLiteral("FLCarriers_Name"), QStringLiteral("CarrierID"), &carriers,
                            QStringLiteral("ID"), QStringLiteral("Name"));
    const long before = MemoryKb("VmRSS:");
    timer.restart();
    contacts.Open();
    Report("open Contacts by Name (100,000 rows)", timer);
    out << "memory of the open Contacts " << (MemoryKb("VmRSS:") - before) / 1024 << " MB\n";

    timer.restart();
    qint64 length = 0;
    TNField* name = contacts.FieldByName(QStringLiteral("Name"));
    contacts.DisableControls();
    for (contacts.First(); !contacts.Eof(); contacts.Next())
        length += name->AsString().size();
    contacts.EnableControls();
    Report("scan Contacts reading Name", timer);

    timer.restart();
    int found = 0;
    for (int i = 1; i <= 10000; ++i)
        found += contacts.Locate(QStringLiteral("ID"), (i * 9973) % ContactCount + 1) ? 1 : 0;
    Report("10,000 Locate by ID", timer);

    // Each one walks 99,900 rows before its match.
    timer.restart();
    for (int i = 0; i < 100; ++i)
        found +=
            contacts.Locate(QStringLiteral("Name"), QStringLiteral("contact 0999"), loCaseInsensitive | loPartialKey)
                ? 1
                : 0;
    Report("100 Locate case-insensitive partial (full scans)", timer);

    TNSqlTable assigns;
    assigns.SetConnection(&book);
    assigns.SetTableName(QStringLiteral("GroupAssigns"));
    assigns.AddLookupField(QStringLiteral("FLContacts_Name"), QStringLiteral("ContactID"), &contacts,
                           QStringLiteral("ID"), QStringLiteral("Name"));
    assigns.AddLookupField(QStringLiteral("FLContacts_FLCarriers_Name"), QStringLiteral("ContactID"), &contacts,
                           QStringLiteral("ID"), QStringLiteral("FLCarriers_Name"));
    timer.restart();
    assigns.Open();
    TNField* memberName = assigns.FieldByName(QStringLiteral("FLContacts_Name"));
    TNField* carrierName = assigns.FieldByName(QStringLiteral("FLContacts_FLCarriers_Name"));
    assigns.DisableControls();
    for (assigns.First(); !assigns.Eof(); assigns.Next())
        length += memberName->AsString().size() + carrierName->AsString().size();
    assigns.EnableControls();
    Report("open and scan GroupAssigns with 2 lookup fields", timer);

    timer.restart();
    assigns.SetFilter(QStringLiteral("GroupID=5"));
    assigns.SetFiltered(true);
    const int members = assigns.RecordCount();
    Report("filter GroupAssigns on GroupID=5", timer);

    TNSqlTable texts;
    texts.SetConnection(&book);
    texts.SetTableName(QStringLiteral("Templates"));
    texts.Open();
    timer.restart();
    {
        TNTransaction tx(book);
        for (int i = 0; i < 10000; ++i) {
            texts.Append();
            texts.FieldByName(QStringLiteral("Name"))->SetAsString(QString::number(i));
            texts.Post();
        }
        tx.Commit();
    }
    Report("10,000 dataset posts in one transaction", timer);

    timer.restart();
    contacts.Refresh();
    Report("refresh Contacts", timer);

    out << "located " << found << ", members of group 5: " << members << ", text " << length << "\n";
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    return 0;
}
