// Copy and paste in the folder tree of a large address book: a folder
// holding 100 sub-folders of 100 contacts each (10,000 placements) is copied
// and pasted into an empty folder of a book of 100,000 contacts, all of them
// placed (100,000 FolderAssigns rows before the paste). Prints the time of
// the copy and of the paste (rows written in one transaction, the tree
// sorted and shown) and of a move of the copy; then the original is cut and
// pasted, and a second folder as large removed. Prints each time and the
// peak memory.
//   QT_QPA_PLATFORM=offscreen bench_data_treepaste
#include "benchbook.h"
#include "benchutil.h"
#include "data/datakinds.h"
#include "data/dmlocaldata.h"
#include "data/folderstree.h"
#include "data/folderstreeclipboard.h"
#include "data/folderstreeedit.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "foundation/images.h"
#include "foundation/logonrole.h"
#include "foundation/scgtreeview.h"
#include "platform/messagedlg.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int ContactCount = 100000;
constexpr int FolderCount = 1000;  // 100 sub-folders of "Source", 100 of "Second", 800 others
constexpr int SourceSubFolders = 100;

using bench::ChildNamed;
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
    const int second = addFolder(QStringLiteral("Second"), 0);
    QList<int> folderIDs;
    for (int f = 0; f < FolderCount; ++f) {
        const int parent = f < SourceSubFolders ? source : f < 2 * SourceSubFolders ? second : others;
        folderIDs << addFolder(QStringLiteral("Team %1").arg(f), parent);
    }
    QSqlQuery assign = bench::PrepareFolderAssigns(book);
    // Contact i stands in folder i / 100: the first 10,000 below "Source",
    // the next 10,000 below "Second".
    for (int i = 0; i < ContactCount; ++i)
        bench::PlaceContact(assign, folderIDs.at(i / (ContactCount / FolderCount)), i + 1);
    tx.Commit();
}

// Folders and FolderAssigns rows in the file, read on a connection of its own.
qint64 BookRows(const QString& path)
{
    TNConnection book;
    book.SetDatabasePath(path);
    return book
        .QueryValue(QStringLiteral("select (select count(*) from Folders) + (select count(*) from FolderAssigns)"))
        .toLongLong();
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

        // Cut, paste and remove take rows from the start of the datasets,
        // where a row-by-row delete moves every later row: the original
        // "Source" (10,101 nodes) is cut (Ctrl+X: the nodes leave the tree,
        // nothing is written) and pasted into "Target" (its copies written,
        // its rows deleted, in one transaction); then "Second", as large, is
        // removed (Del, answered Yes).
        const QString bookPath = folder + AddressBookFileName();
        qint64 rows = BookRows(bookPath);
        timer.restart();
        tree.clearSelection();
        source->setSelected(true);
        CutSelectionToClipboard(&tree, &clipboard);
        tree.repaint();
        QApplication::processEvents();
        Report("cut the original (Ctrl+X)", timer);

        timer.restart();
        tree.clearSelection();
        target->setSelected(true);
        PasteFromClipboard(&clipboard, &tree);
        tree.repaint();
        QApplication::processEvents();
        Report("paste the cut (rows written and deleted)", timer);
        out << "nodes below the target " << CountBelow(target) << ", rows in the book before and after " << rows << " "
            << BookRows(bookPath) << ", source still in the tree "
            << (ChildNamed(root, QStringLiteral("Source")) ? "YES" : "no") << "\n";

        rows = BookRows(bookPath);
        QTreeWidgetItem* second = ChildNamed(root, QStringLiteral("Second"));
        out << "nodes removed " << 1 + CountBelow(second) << "\n";
        SetMessageHandler([](const TMessageRequest&) { return int(mbYes); });
        timer.restart();
        tree.clearSelection();
        second->setSelected(true);
        RemoveSelectedNodes(&tree, true);
        tree.repaint();
        QApplication::processEvents();
        Report("remove another as large (Del, answered Yes)", timer);
        SetMessageHandler({});
        out << "rows deleted " << rows - BookRows(bookPath) << "\n";
    }
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    SetProgramFolder(QString());
    return 0;
}
