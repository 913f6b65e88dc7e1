#include "ui/admin/adminwindows.h"

#include "data/adminlaunchers.h"
#include "data/basedataclient.h"
#include "data/dmlocaldata.h"
#include "data/regdataclients.h"
#include "ui/admin/databaseslist.h"
#include "ui/admin/entitylists.h"
#include "ui/admin/groupeditor.h"
#include "ui/admin/reconciledialog.h"
#include "ui/admin/recordeditors.h"
#include "ui/admin/typeeditors.h"
#include "ui/admin/typelists.h"

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

// A picker that edits gets the editor too (the groups picker).
template <class L>
TAdminLauncher LauncherOf(TRecordEditorClass editorClass, TDataKind kind, bool pickerEdits = false)
{
    TAdminLauncher launcher;
    launcher.ShowList = [editorClass, kind] {
        if (auto form = TBaseMultiDBGridListForm::ForDataClients<L>(QApplication::activeWindow(), editorClass,
                                                                    AllBooks(), kind, false, nullptr))
            form->ShowModal();
    };
    const TRecordEditorClass pickerEditor = pickerEdits ? editorClass : nullptr;
    launcher.PickFromAll = [kind, pickerEditor](TNSelectionList& picked) -> TBaseDataClient* {
        TBaseDataClient* chosen = nullptr;
        auto form = TBaseMultiDBGridListForm::ForDataClients<L>(QApplication::activeWindow(), pickerEditor, AllBooks(),
                                                                kind, true, &picked, &chosen);
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
bool ShowDatabases()
{
    if (!DModLocalData)
        return false;
    auto form = TBaseGridListForm::Create<TFormDatabasesList>(QApplication::activeWindow(),
                                                              &RecordEditorOf<TFormDatabaseEditor>,
                                                              DModLocalData->dsQryDatabases(), false, nullptr);
    return form->ShowModal() == QDialog::Accepted;
}

void ShowDatabaseTypes()
{
    if (!DModLocalData)
        return;
    auto form = TBaseMultiDBGridListForm::ForDataSource<TFormDatabaseTypesListNew>(
        QApplication::activeWindow(), &RecordEditorOf<TFormDatabaseTypeEditor>, DModLocalData->dsDatabaseTypes(), false,
        nullptr);
    form->ShowModal();
}
}  // namespace

void RegisterAdminWindows()
{
    RegisterAdminLauncher(dkContacts,
                          LauncherOf<TFormContactsListNew>(&RecordEditorOf<TFormContactEditor>, dkContacts));
    RegisterAdminLauncher(dkGroups, LauncherOf<TFormGroupsListNew>(&RecordEditorOf<TFormGroupEditor>, dkGroups, true));
    RegisterAdminLauncher(dkTemplates,
                          LauncherOf<TFormTemplatesListNew>(&RecordEditorOf<TFormTemplateEditor>, dkTemplates));
    RegisterAdminLauncher(dkCarrierTypes, LauncherOf<TFormCarrierTypesListNew>(
                                              &RecordEditorOf<TFormCarrierTypesEditorNew>, dkCarrierTypes));
    RegisterDatabaseListLaunchers(ShowDatabases, ShowDatabaseTypes);
    RegisterAdminLauncher(dkCarriers,
                          LauncherOf<TFormCarriersListNew>(&RecordEditorOf<TFormCarrierEditorNew>, dkCarriers));
    RegisterAdminLauncher(dkServers, LauncherOf<TFormServersListNew>(&RecordEditorOf<TFormServerEditor>, dkServers));
    // Rows a paging server refuses when a shared book's changes are applied.
    InstallReconcileDialog();
}
