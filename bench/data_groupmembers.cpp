// The group editor's membership on a large address book: 100,000 contacts,
// a group of 10,000 members. Opening (every contact fetched once into the
// non-members list, the members found and ordered), saving unchanged, and
// saving with one member taken out and another put in; each step timed from
// the book's open client, with the peak memory of the whole run.
//   QT_QPA_PLATFORM=offscreen bench_data_groupmembers
#include "benchutil.h"
#include "data/basedataclient.h"
#include "data/dmlocaldata.h"
#include "data/groupmembers.h"
#include "data/regdataclients.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

constexpr int ContactCount = 100000;
constexpr int MemberCount = 10000;

using bench::MemoryKb;
using bench::Report;
QTextStream& out = bench::Out();

void Fill(const QString& path)
{
    TNConnection book;
    book.SetDatabasePath(path);
    TNTransaction tx(book);
    book.ExecSQL(QStringLiteral("insert into Servers (Name, TypeNo, Data) values ('Main', 1, '127.0.0.1,215,host')"));
    book.ExecSQL(QStringLiteral("insert into Carriers (TypeNo, ServerID, Name) values (4, 1, 'SMS')"));
    QSqlQuery contact(book.Database());
    contact.prepare(
        QStringLiteral("insert into Contacts (CarrierID, Name, FirstName, LastName, Company, JobTitle, Data) "
                       "values (1, ?, ?, ?, 'Example Ltd', 'Engineer', ?)"));
    for (int i = 0; i < ContactCount; ++i) {
        // Names in mixed letter case, so both orders have work to do.
        const int key = (i * 7919) % ContactCount;
        contact.addBindValue(
            (key % 2 ? QStringLiteral("contact %1") : QStringLiteral("Contact %1")).arg(key, 6, 10, QLatin1Char('0')));
        contact.addBindValue(QStringLiteral("First%1").arg(i));
        contact.addBindValue(QStringLiteral("Last%1").arg(i));
        contact.addBindValue(QStringLiteral("+64 21 %1,false").arg(i));
        contact.exec();
    }
    book.ExecSQL(QStringLiteral("insert into Groups (Name) values ('Everyone tenth')"));
    book.ExecSQL(QStringLiteral("insert into Groups (Name) values ('Other')"));
    QSqlQuery assign(book.Database());
    assign.prepare(QStringLiteral("insert into GroupAssigns (GroupID, ContactID) values (?, ?)"));
    for (int i = 0; i < MemberCount; ++i) {
        assign.addBindValue(1);
        assign.addBindValue(i * (ContactCount / MemberCount) + 1);
        assign.exec();
        assign.addBindValue(2);
        assign.addBindValue(i + 1);
        assign.exec();
    }
    tx.Commit();
}

qint64 Count(const QString& path, const QString& sql)
{
    TNConnection book;
    book.SetDatabasePath(path);
    return book.QueryValue(sql).toLongLong();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString bookPath = folder + AddressBookFileName();
    CreateLocalDataFile(folder + LocalDataFileName());
    CreateAddressBookFile(bookPath);
    QElapsedTimer timer;
    timer.start();
    Fill(bookPath);
    Report("build the address book (SQL)", timer);

    SetProgramFolder(folder);
    {
        TDModOptions options;
        TDModLocalData localData;
        TBaseDataClient* book = DataClients.Items(0);
        const long before = MemoryKb("VmRSS:");

        for (int round = 0; round < 2; ++round) {
            timer.restart();
            TNGroupMembers members(*book);
            members.Load(1);
            Report(round == 0 ? "open: 100,000 contacts, 10,000 members" : "open again", timer);
            if (round == 0)
                out << "members " << members.Members().RecordCount() << ", non-members "
                    << members.NonMembers().RecordCount() << ", memory of the lists "
                    << (MemoryKb("VmRSS:") - before) / 1024 << " MB\n";
            if (round == 1) {
                members.RemoveMembers({members.Members().RowBookmark(5000)});
                members.AddMembers({members.NonMembers().RowBookmark(0)});
            }
            timer.restart();
            members.Save(1);
            Report(round == 0 ? "save unchanged" : "save with one member changed", timer);
        }
    }
    out << "rows of the group "
        << Count(bookPath, QStringLiteral("select count(*) from GroupAssigns where GroupID = 1"))
        << ", of the other group "
        << Count(bookPath, QStringLiteral("select count(*) from GroupAssigns where GroupID = 2")) << "\n";
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    SetProgramFolder(QString());
    return 0;
}
