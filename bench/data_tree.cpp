// The folder tree of a large address book: 50,000 contacts and 500 groups
// placed in 1,000 folders (about 60,000 placements), loaded into the folder
// tree through the local data module's client, as the pane does at its first
// show. Prints the time to a shown, sorted tree (the rows are read once per
// dataset and grouped by folder) and the peak memory.
//   QT_QPA_PLATFORM=offscreen bench_data_tree
#include "benchbook.h"
#include "benchutil.h"
#include "data/datakinds.h"
#include "data/dmlocaldata.h"
#include "data/folderstree.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "foundation/images.h"
#include "foundation/scgtreeview.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <memory>

namespace {

constexpr int ContactCount = 50000;
constexpr int GroupCount = 500;
constexpr int TopFolders = 100;
constexpr int SubFoldersEach = 9;  // 100 + 900 = 1,000 folders
constexpr int SecondPlacements = 10000;

using bench::MemoryKb;
using bench::Report;
QTextStream& out = bench::Out();

int Fill(const QString& path)
{
    TNConnection book;
    book.SetDatabasePath(path);
    TNTransaction tx(book);
    bench::AddServerCarrierAndContacts(book, ContactCount);
    QSqlQuery group(book.Database());
    group.prepare(QStringLiteral("insert into Groups (Name) values (?)"));
    for (int g = 0; g < GroupCount; ++g) {
        group.addBindValue(QStringLiteral("Group %1").arg(g));
        group.exec();
    }
    QSqlQuery folder(book.Database());
    folder.prepare(QStringLiteral("insert into Folders (Name, ParentID) values (?, ?)"));
    QList<int> folderIDs;
    for (int t = 0; t < TopFolders; ++t) {
        folder.addBindValue(QStringLiteral("Region %1").arg(t));
        folder.addBindValue(0);
        folder.exec();
        const int top = folder.lastInsertId().toInt();
        folderIDs << top;
        for (int s = 0; s < SubFoldersEach; ++s) {
            folder.addBindValue(QStringLiteral("Team %1").arg(s));
            folder.addBindValue(top);
            folder.exec();
            folderIDs << folder.lastInsertId().toInt();
        }
    }
    QSqlQuery assign(book.Database());
    assign.prepare(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (?, ?, ?)"));
    int placements = 0;
    auto place = [&](int folderID, int groupID, int contactID) {
        assign.addBindValue(folderID);
        assign.addBindValue(groupID);
        assign.addBindValue(contactID);
        assign.exec();
        ++placements;
    };
    for (int i = 0; i < ContactCount; ++i)
        place(folderIDs.at(i % folderIDs.size()), NoneID, i + 1);
    for (int i = 0; i < SecondPlacements; ++i)
        place(folderIDs.at((i * 31 + 7) % folderIDs.size()), NoneID, i * 5 + 1);
    for (int g = 0; g < GroupCount; ++g)
        place(folderIDs.at((g * 13) % folderIDs.size()), g + 1, NoneID);
    tx.Commit();
    return placements;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    CreateLocalDataFile(folder + LocalDataFileName());
    CreateAddressBookFile(folder + AddressBookFileName());
    QElapsedTimer timer;
    timer.start();
    const int placements = Fill(folder + AddressBookFileName());
    Report("build the address book (SQL)", timer);
    out << "placements " << placements << "\n";

    SetProgramFolder(folder);
    {
        TDModOptions options;
        TDModLocalData localData;
        TDataModuleImages images;
        TSCGTreeView tree;
        tree.resize(300, 700);
        FoldersTreeState->AttachToForm(nullptr, &tree, nullptr);
        tree.show();
        QApplication::processEvents();
        const long before = MemoryKb("VmRSS:");

        timer.restart();
        LoadFoldersTree(&tree);
        tree.topLevelItem(0)->setExpanded(true);
        tree.repaint();
        QApplication::processEvents();
        Report("load, sort and show the tree", timer);
        int nodes = 0;
        for (QTreeWidgetItemIterator it(&tree); *it; ++it)
            ++nodes;
        out << "nodes " << nodes << ", memory of the tree and datasets " << (MemoryKb("VmRSS:") - before) / 1024
            << " MB\n";

        timer.restart();
        ReloadFoldersTree(&tree);
        QApplication::processEvents();
        Report("reload (clear and load again)", timer);
    }
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    SetProgramFolder(QString());
    return 0;
}
