// The group editor window on a large address book: 100,000 contacts, a group
// of 10,000 members. Through the groups list as the program runs it: the
// editor opened and painted (every contact read once, both grids filled),
// closed with OK unchanged (the group row and its 10,000 membership rows
// written), and opened again, one member taken out and another put in, and
// OK. Each step timed; the peak memory of the whole run.
//   QT_QPA_PLATFORM=offscreen bench_ui_groupeditor
#include "benchutil.h"
#include "data/basedataclient.h"
#include "data/dmlocaldata.h"
#include "data/regdataclients.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "platform/programfolder.h"
#include "ui/admin/entitylists.h"
#include "ui/admin/groupeditor.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"
#include "ui/main/frmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

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
    book.ExecSQL(QStringLiteral("insert into Groups (Name) values ('Every tenth')"));
    QSqlQuery assign(book.Database());
    assign.prepare(QStringLiteral("insert into GroupAssigns (GroupID, ContactID) values (1, ?)"));
    for (int i = 0; i < MemberCount; ++i) {
        assign.addBindValue(i * (ContactCount / MemberCount) + 1);
        assign.exec();
    }
    tx.Commit();
}

qint64 Members(const QString& path)
{
    TNConnection book;
    book.SetDatabasePath(path);
    return book.QueryValue(QStringLiteral("select count(*) from GroupAssigns where GroupID = 1")).toLongLong();
}

// Runs Step on the editor once it is up and painted, timing from Start.
void WhenEditorUp(QElapsedTimer& timer, const char* label, std::function<void(TFormGroupEditor*)> step)
{
    QTimer::singleShot(0, qApp, [&timer, label, step = std::move(step)] {
        auto* editor = qobject_cast<TFormGroupEditor*>(QApplication::activeModalWidget());
        if (!editor) {
            WhenEditorUp(timer, label, step);
            return;
        }
        editor->repaint();
        Report(label, timer);
        step(editor);
        timer.restart();
        editor->UpdateOkAction();
        editor->btnOK->click();
    });
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
        auto list = TBaseMultiDBGridListForm::ForDataSource<TFormGroupsListNew>(
            nullptr, &RecordEditorOf<TFormGroupEditor>, book->GetDataSource(dkGroups), false, nullptr);
        list->LocateByID(1);
        const long before = MemoryKb("VmRSS:");

        TNItemInfo info;
        timer.restart();
        // Unchanged, OK stays disabled: the name is touched so that OK runs
        // and writes the row and the whole membership as it is.
        WhenEditorUp(timer, "open and show: 100,000 contacts, 10,000 members", [&](TFormGroupEditor* editor) {
            out << "members " << editor->dbgMembers->DataSet()->RecordCount() << ", non-members "
                << editor->dbgNonMembers->DataSet()->RecordCount() << ", memory "
                << (MemoryKb("VmRSS:") - before) / 1024 << " MB\n";
            editor->dbedtName->setModified(true);
        });
        list->EditRecord(info);
        Report("save unchanged (OK)", timer);

        timer.restart();
        WhenEditorUp(timer, "open and show again", [](TFormGroupEditor* editor) {
            TNDBGrid* members = editor->dbgMembers;
            members->selectionModel()->select(members->model()->index(5000, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
            editor->RemoveSelectedMembers();
            TNDBGrid* others = editor->dbgNonMembers;
            others->ClearMarks();
            others->selectionModel()->select(others->model()->index(0, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
            editor->AddSelectedMembers();
        });
        list->EditRecord(info);
        Report("save with one member changed (OK)", timer);
    }
    out << "membership rows " << Members(bookPath) << "\n";
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    SetProgramFolder(QString());
    return 0;
}
