#include "data/adminlaunchers.h"

#include <array>

namespace {
std::array<TAdminLauncher, DataKindCount>& Launchers()
{
    static std::array<TAdminLauncher, DataKindCount> launchers;
    return launchers;
}

const TAdminLauncher& LauncherOf(TDataKind kind)
{
    return Launchers().at(size_t(kind));
}

struct TDatabaseListLaunchers {
    std::function<bool()> Databases;
    std::function<void()> DatabaseTypes;
};

TDatabaseListLaunchers& DatabaseListLaunchers()
{
    static TDatabaseListLaunchers launchers;
    return launchers;
}
}  // namespace

void RegisterDatabaseListLaunchers(std::function<bool()> databases, std::function<void()> databaseTypes)
{
    DatabaseListLaunchers() = {std::move(databases), std::move(databaseTypes)};
}

bool DatabaseListsRegistered()
{
    return bool(DatabaseListLaunchers().Databases);
}

bool ShowDatabasesList()
{
    const auto show = DatabaseListLaunchers().Databases;
    return show && show();
}

bool ShowDatabaseTypesList()
{
    const auto show = DatabaseListLaunchers().DatabaseTypes;
    if (!show)
        return false;
    show();
    return true;
}

void RegisterAdminLauncher(TDataKind kind, TAdminLauncher launcher)
{
    Launchers().at(size_t(kind)) = std::move(launcher);
}

void ClearAdminLaunchers()
{
    Launchers().fill(TAdminLauncher());
    DatabaseListLaunchers() = {};
}

bool AdminListRegistered(TDataKind kind)
{
    return bool(LauncherOf(kind).ShowList);
}

bool AdminOperationRegistered(TDataKind kind, TAdminOperation operation)
{
    const TAdminLauncher& launcher = LauncherOf(kind);
    switch (operation) {
        case TAdminOperation::ShowList:
            return bool(launcher.ShowList);
        case TAdminOperation::PickFromAll:
            return bool(launcher.PickFromAll);
        case TAdminOperation::PickFromBook:
            return bool(launcher.PickFromBook);
        case TAdminOperation::AddRecord:
            return bool(launcher.AddRecord);
        case TAdminOperation::EditRecord:
            return bool(launcher.EditRecord);
        case TAdminOperation::DeleteRecord:
            return bool(launcher.DeleteRecord);
    }
    return false;
}

bool ShowAdminList(TDataKind kind)
{
    // A copy: the window may run long enough for the registry to change.
    const auto show = LauncherOf(kind).ShowList;
    if (!show)
        return false;
    show();
    return true;
}

TBaseDataClient* PickFromAllBooks(TDataKind kind, TNSelectionList& picked)
{
    const auto pick = LauncherOf(kind).PickFromAll;
    return pick ? pick(picked) : nullptr;
}

bool PickFromBook(TDataKind kind, TBaseDataClient* book, TNSelectionList& picked)
{
    const auto pick = LauncherOf(kind).PickFromBook;
    if (!pick)
        return false;
    pick(book, picked);
    return true;
}

bool AddRecordInBook(TDataKind kind, TBaseDataClient* book, TNItemInfo& info)
{
    const auto add = LauncherOf(kind).AddRecord;
    if (!add)
        return false;
    add(book, info);
    return true;
}

bool EditRecordInBook(TDataKind kind, TBaseDataClient* book, qint32 id, TNItemInfo& info)
{
    const auto edit = LauncherOf(kind).EditRecord;
    return edit && edit(book, id, info);
}

bool DeleteRecordInBook(TDataKind kind, TBaseDataClient* book, qint32 id)
{
    const auto erase = LauncherOf(kind).DeleteRecord;
    return erase && erase(book, id);
}
