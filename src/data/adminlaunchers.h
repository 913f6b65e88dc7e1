#pragma once
// The administration windows as the lower layers and the main window reach
// them: a registry of launchers by data kind, filled at start-up by the
// administration windows' library (RegisterAdminWindows) and called by the
// main window's actions, the recipients pane's pickers and the folder-tree
// editing. A kind with no launcher does nothing: the calls below return
// false (or nullptr) and leave their out-parameters as they were.
//
// Main thread only; every launcher runs a modal window or drives a hidden
// list window and returns when it is done.

#include "data/datakinds.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

class TBaseDataClient;

// The result of adding or editing a record through its list window.
struct TNItemInfo {
    qint32 ID = 0;
    QString Name;
    bool Accepted = false;  // the editor closed with OK and the row was posted
};

// Picked rows as a list window hands them back: the row's Name and its ID,
// in row order.
using TNSelectionList = QList<QPair<QString, qint32>>;

struct TAdminLauncher {
    // The list window over every address book, modal, not for selection.
    std::function<void()> ShowList;
    // A modal picker over every address book; fills Picked and returns the
    // address book the rows come from (nullptr when cancelled).
    std::function<TBaseDataClient*(TNSelectionList& picked)> PickFromAll;
    // A modal picker over one address book.
    std::function<void(TBaseDataClient* book, TNSelectionList& picked)> PickFromBook;
    // A new record through its editor, in one address book.
    std::function<void(TBaseDataClient* book, TNItemInfo& info)> AddRecord;
    // The record with that ID through its editor; false when it is not there.
    std::function<bool(TBaseDataClient* book, qint32 id, TNItemInfo& info)> EditRecord;
    // Deletes the record with that ID with the list window's side effects;
    // false when it is not there. Asks nothing.
    std::function<bool(TBaseDataClient* book, qint32 id)> DeleteRecord;
};

// Replaces the kind's launcher (an empty member leaves that operation
// missing).
void RegisterAdminLauncher(TDataKind kind, TAdminLauncher launcher);
// Forgets every launcher (tests).
void ClearAdminLaunchers();
bool AdminListRegistered(TDataKind kind);
// Which operations of a kind's launcher are there (the folder tree offers
// its contact and group commands by them).
enum class TAdminOperation { ShowList, PickFromAll, PickFromBook, AddRecord, EditRecord, DeleteRecord };
bool AdminOperationRegistered(TDataKind kind, TAdminOperation operation);

// The calls: false when the kind has no such launcher.
bool ShowAdminList(TDataKind kind);
TBaseDataClient* PickFromAllBooks(TDataKind kind, TNSelectionList& picked);
bool PickFromBook(TDataKind kind, TBaseDataClient* book, TNSelectionList& picked);
bool AddRecordInBook(TDataKind kind, TBaseDataClient* book, TNItemInfo& info);
bool EditRecordInBook(TDataKind kind, TBaseDataClient* book, qint32 id, TNItemInfo& info);
bool DeleteRecordInBook(TDataKind kind, TBaseDataClient* book, qint32 id);

// The address-book list and the address-book types list, which the local
// data module opens (EditDatabases, EditDatabaseTypes). The first answers
// true when the list was closed with OK: the data clients and the folder
// tree must then be made anew from the edited list.
void RegisterDatabaseListLaunchers(std::function<bool()> databases, std::function<void()> databaseTypes);
bool DatabaseListsRegistered();
// False when none is registered (or the list was cancelled).
bool ShowDatabasesList();
// False when none is registered.
bool ShowDatabaseTypesList();

// The list launchers of the main window's administration actions.
inline bool ShowContactsList()
{
    return ShowAdminList(dkContacts);
}
inline bool ShowGroupsList()
{
    return ShowAdminList(dkGroups);
}
inline bool ShowTemplatesList()
{
    return ShowAdminList(dkTemplates);
}
inline bool ShowCarrierTypesList()
{
    return ShowAdminList(dkCarrierTypes);
}
inline bool ShowCarriersList()
{
    return ShowAdminList(dkCarriers);
}
inline bool ShowServersList()
{
    return ShowAdminList(dkServers);
}
