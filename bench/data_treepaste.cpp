// Copy and paste in the folder tree of a large address book: a folder
// holding 100 sub-folders of 100 contacts each (10,000 placements) is copied
// and pasted into an empty folder of a book of 100,000 contacts, all of them
// placed (100,000 FolderAssigns rows before the paste). Prints the time of
// the copy and of the paste (rows written in one transaction, the tree
// sorted and shown) and the peak memory.
//   QT_QPA_PLATFORM=offscreen bench_data_treepaste
#include "benchbook.h"
#include "benchutil.h"
#include "data/datakinds.h"
#include "data/dmlocaldata.h"
#include "data/folderstree.h"
#include "data/folderstreeclipboard.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "foundation/images.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int ContactCount = 100000;
constexpr int FolderCount = 1000;  // 100 sub-folders of "Source", 900 others
constexpr int SourceSubFolders = 100;

using bench::MemoryKb;
using bench::Report;
QTextStream& out = bench::Out();

void Fill(const QString& path)
{
    TNConnection book;
    book.SetDatabasePath(path);
    TNTransaction tx(book);
    bench::AddServerCarrierAndContacts(book, ContactCount);
    QSqlQuery folder(book.Database());
    folder.prepare(QStringLiteral("insert into Folders (Name, ParentID) values (?, ?)"));
    auto addFolder = [&folder](const QString& name, int parent) {
        folder.addBindValue(name);
        folder.addBindValue(parent);
        folder.exec();
        return folder.lastInsertId().toInt();
    };
    const int source = addFolder(QStringLiteral("Source"), 0);
    addFolder(QStringLiteral("Target"), 0);
    const int others = addFolder(QStringLiteral("Others"), 0);
    QList<int> folderIDs;
    for (int f = 0; f < FolderCount; ++f)
        folderIDs << addFolder(QStringLiteral("Team %1").arg(f), f < SourceSubFolders ? source : others);
    QSqlQuery assign(book.Database());
    assign.prepare(QStringLiteral("insert into FolderAssigns (FolderID, GroupID, ContactID) values (?, ?, ?)"));
    // Contact i stands in folder i / 100: the first 10,000 below "Source".
    for (int i = 0; i < ContactCount; ++i) {
        assign.addBindValue(folderIDs.at(i / (ContactCount / FolderCount)));
        assign.addBindValue(NoneID);
        assign.addBindValue(i + 1);
        assign.exec();
    }
    tx.Commit();
}

QTreeWidgetItem* ChildNamed(QTreeWidgetItem* parent, const QString& name)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    return nullptr;
}

int CountBelow(const QTreeWidgetItem* node)
{
    int count = 0;
    for (int i = 0; i < node->childCount(); ++i)
        count += 1 + CountBelow(node->child(i));
    return count;
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
    Fill(folder + AddressBookFileName());
    Report("build the address book (SQL)", timer);

    SetProgramFolder(folder);
    {
        TDModOptions options;
        TDModLocalData localData;
        TDataModuleImages images;
        TSCGTreeView tree;
        QTreeWidget clipboard;
        tree.resize(300, 700);
        FoldersTreeState->AttachToForm(nullptr, &tree, &clipboard);
        tree.show();
        LoadFoldersTree(&tree);
        QTreeWidgetItem* root = tree.topLevelItem(0);
        root->setExpanded(true);
        QTreeWidgetItem* source = ChildNamed(root, QStringLiteral("Source"));
        QTreeWidgetItem* target = ChildNamed(root, QStringLiteral("Target"));
        source->setExpanded(true);
        target->setExpanded(true);
        QApplication::processEvents();
        out << "nodes copied " << 1 + CountBelow(source) << "\n";

        timer.restart();
        tree.clearSelection();
        source->setSelected(true);
        CopySelectionToClipboard(&tree, &clipboard);
        Report("copy the folder to the clipboard", timer);

        timer.restart();
        tree.clearSelection();
        target->setSelected(true);
        const bool pasted = PasteFromClipboard(&clipboard, &tree);
        tree.repaint();
        QApplication::processEvents();
        Report("paste it (rows in one transaction, sort, show)", timer);
        out << "pasted " << (pasted ? "yes" : "NO") << ", nodes below the target " << CountBelow(target) << "\n";

        // The pasted copy is moved back beside the original (a drop without
        // Ctrl): its rows are written anew and the old ones deleted.
        timer.restart();
        tree.clearSelection();
        target->child(0)->setSelected(true);
        LogonRole = RoleAdmin;
        FoldersTreeState->TreeStartDrag(nullptr, nullptr);
        FoldersTreeState->TreeDragDrop(static_cast<TNTreeNode*>(ChildNamed(root, QStringLiteral("Others"))), false);
        FoldersTreeState->TreeEndDrag();
        tree.repaint();
        QApplication::processEvents();
        Report("move it (drop without Ctrl)", timer);
        out << "nodes below the target after the move " << CountBelow(target) << "\n";
    }
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    SetProgramFolder(QString());
    return 0;
}
