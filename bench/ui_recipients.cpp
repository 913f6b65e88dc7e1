// Add to Recipients on folders of growing size, in the main window as the
// operator works it: an address book of 10,000 contacts, placed once more in
// folders of 1,000, 2,000 and 10,000 of them. For each folder the list is
// emptied, the folder selected and Ctrl+R's command run; the time runs until
// the window is idle again and painted (the commands of the recipients pane
// updated, the message editor's counters recounted). Then "Clear Selected" of
// the 10,000 rows. A size whose add takes over 30 s ends the run.
//   QT_QPA_PLATFORM=offscreen bench_ui_recipients
#include "benchbook.h"
#include "benchutil.h"
#include "data/datakinds.h"
#include "data/dmlocaldata.h"
#include "data/recipients.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "foundation/formsettings.h"
#include "foundation/scgtreeview.h"
#include "platform/programfolder.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmrecipients.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <memory>

namespace {

constexpr int ContactCount = 10000;
const int FolderSizes[] = {1000, 2000, 10000};

using bench::ChildNamed;
using bench::MemoryKb;
using bench::Report;
QTextStream& out = bench::Out();

QString FolderName(int size)
{
    return QStringLiteral("Folder of %1").arg(size);
}

void Fill(const QString& path)
{
    TNConnection book;
    book.SetDatabasePath(path);
    TNTransaction tx(book);
    bench::AddServerCarrierAndContacts(book, ContactCount);
    QSqlQuery folder(book.Database());
    folder.prepare(QStringLiteral("insert into Folders (Name, ParentID) values (?, 0)"));
    QSqlQuery assign = bench::PrepareFolderAssigns(book);
    for (int size : FolderSizes) {
        folder.addBindValue(FolderName(size));
        folder.exec();
        const int id = folder.lastInsertId().toInt();
        for (int i = 0; i < size; ++i)
            bench::PlaceContact(assign, id, i + 1);
    }
    tx.Commit();
}

// Until the event queue is empty and the window painted.
void Settle(QWidget& window)
{
    QApplication::processEvents();
    window.repaint();
    QApplication::processEvents();
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

    RegisterEmbeddedEditors();
    SetCarrierMaxLengthHook(&CarrierRecipientMaxLength);
    SetProgramFolder(folder);
    {
        TDModOptions options;
        TFormSettingsFile formSettings;
        TDModLocalData localData;
        auto form = std::make_unique<TFormMain>();
        form->resize(1200, 800);
        form->show();
        while (!form->FormFoldersTree)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        Settle(*form);
        TSCGTreeView* tree = form->FormFoldersTree->tvFolders;
        QTreeWidgetItem* root = tree->topLevelItem(0);
        root->setExpanded(true);
        Settle(*form);

        for (int size : FolderSizes) {
            RecipientList->Clear();
            QTreeWidgetItem* node = ChildNamed(root, FolderName(size));
            tree->clearSelection();
            tree->setCurrentItem(node);
            Settle(*form);
            timer.restart();
            form->FormFoldersTree->actAddToRecipients->trigger();
            Settle(*form);
            const QByteArray label = QStringLiteral("Ctrl+R on a folder of %1 contacts").arg(size).toLatin1();
            Report(label.constData(), timer);
            out << "  rows " << RecipientList->GetCount() << ", selected " << RecipientList->GetSelCount()
                << ", Clear Selected enabled " << (form->FormRecipients->actRemoveSelected->isEnabled() ? "yes" : "NO")
                << "\n";
            if (timer.elapsed() > 30000) {
                out << "stopped: too slow for the larger folders\n";
                break;
            }
        }

        if (RecipientList->GetCount() == ContactCount) {
            timer.restart();
            form->FormRecipients->actRemoveSelected->trigger();
            Settle(*form);
            Report("Clear Selected of the 10,000 rows", timer);
            out << "  rows left " << RecipientList->GetCount() << "\n";
        }
        form.reset();
    }
    out << "peak memory " << MemoryKb("VmHWM:") / 1024 << " MB\n";
    SetProgramFolder(QString());
    return 0;
}
