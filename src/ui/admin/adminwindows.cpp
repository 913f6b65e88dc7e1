#include "ui/admin/adminwindows.h"

#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "data/regdataclients.h"
#include "ui/admin/entitylists.h"
#include "ui/admin/reconciledialog.h"
#include "ui/admin/recordeditors.h"

#include <QApplication>

namespace {
QList<TBaseDataClient*> AllBooks()
{
    QList<TBaseDataClient*> books;
    for (int i = 0; i < DataClients.Count(); ++i)
        books << DataClients.Items(i);
    return books;
}

// The window over one book's rows, built without showing.
template <class L>
std::unique_ptr<L> HiddenList(TRecordEditorClass editorClass, TDataKind kind, TBaseDataClient* book)
{
    return TBaseMultiDBGridListForm::ForDataSource<L>(QApplication::activeWindow(), editorClass,
                                                      book->GetDataSource(kind), false, nullptr);
}

template <class L>
TAdminLauncher LauncherOf(TRecordEditorClass editorClass, TDataKind kind)
{
    TAdminLauncher launcher;
    launcher.ShowList = [editorClass, kind] {
        if (auto form = TBaseMultiDBGridListForm::ForDataClients<L>(QApplication::activeWindow(), editorClass,
                                                                    AllBooks(), kind, false, nullptr))
            form->ShowModal();
    };
    launcher.PickFromAll = [kind](TNSelectionList& picked) -> TBaseDataClient* {
        TBaseDataClient* chosen = nullptr;
        auto form = TBaseMultiDBGridListForm::ForDataClients<L>(QApplication::activeWindow(), nullptr, AllBooks(), kind,
                                                                true, &picked, &chosen);
        return form && form->ShowModal() == QDialog::Accepted ? chosen : nullptr;
    };
    launcher.PickFromBook = [kind](TBaseDataClient* book, TNSelectionList& picked) {
        auto form = TBaseMultiDBGridListForm::ForDataSource<L>(QApplication::activeWindow(), nullptr,
                                                               book->GetDataSource(kind), true, &picked);
        form->ShowModal();
    };
    launcher.DeleteRecord = [kind](TBaseDataClient* book, qint32 id) {
        auto form = HiddenList<L>(nullptr, kind, book);
        if (!form->LocateByID(id))
            return false;
        form->DeleteRecords();
        return true;
    };
    if (!editorClass)
        return launcher;
    launcher.AddRecord = [editorClass, kind](TBaseDataClient* book, TNItemInfo& info) {
        HiddenList<L>(editorClass, kind, book)->AddRecord(info);
    };
    launcher.EditRecord = [editorClass, kind](TBaseDataClient* book, qint32 id, TNItemInfo& info) {
        auto form = HiddenList<L>(editorClass, kind, book);
        if (!form->LocateByID(id))
            return false;
        form->EditRecord(info);
        return true;
    };
    return launcher;
}
}  // namespace

void RegisterAdminWindows()
{
    RegisterAdminLauncher(dkContacts,
                          LauncherOf<TFormContactsListNew>(&RecordEditorOf<TFormContactEditor>, dkContacts));
    // Groups are picked and deleted here; their editor comes with the group
    // editor window, and so does their list launcher.
    TAdminLauncher groups = LauncherOf<TFormGroupsListNew>(nullptr, dkGroups);
    groups.ShowList = nullptr;
    RegisterAdminLauncher(dkGroups, groups);
    RegisterAdminLauncher(dkCarriers,
                          LauncherOf<TFormCarriersListNew>(&RecordEditorOf<TFormCarrierEditorNew>, dkCarriers));
    RegisterAdminLauncher(dkServers, LauncherOf<TFormServersListNew>(&RecordEditorOf<TFormServerEditor>, dkServers));
    // Rows a paging server refuses when a shared book's changes are applied.
    InstallReconcileDialog();
}
