// The main window's administration actions: each opens its list window
// through the launcher registered at start-up.
#include "data/adminlaunchers.h"
#include "data/dmlocaldata.h"
#include "foundation/images.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmmessageeditor.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace {
// Where an action shows beside the action list.
enum class TPlace { MenuAndToolBar, HiddenMenuEntry, Nowhere };

struct TAdminActionDef {
    QAction* TFormMain::*Member;
    const char* Name;
    const char* Caption;
    int Key;  // 0: none
    const char* Hint;
    int HelpContext;  // 0: none
    int Kind;         // a TDataKind; -1 for the address-book lists
    int Image;        // -1: none
    TPlace Place;
    bool GroupEnds;  // a tool-bar separator follows
};

constexpr int DatabasesKind = -1;
constexpr int DatabaseTypesKind = -2;

// In menu order.
const TAdminActionDef kAdminActions[] = {
    {&TFormMain::actEditContactsNew, "actEditContactsNew", "Contac&ts", Qt::Key_F9, "Edit Contacts", 1006, dkContacts,
     tbiContacts, TPlace::MenuAndToolBar, false},
    {&TFormMain::actEditGroupsNew, "actEditGroupsNew", "&Groups", Qt::Key_F10, "Edit Groups", 1007, dkGroups, tbiGroups,
     TPlace::MenuAndToolBar, false},
    {&TFormMain::actEditTemplatesNew, "actEditTemplatesNew", "Message Tem&plates", Qt::Key_F11,
     "Edit Message Templates", 1008, dkTemplates, tbiTemplates, TPlace::MenuAndToolBar, true},
    {&TFormMain::actEditCarriersNew, "actEditCarriersNew", "&Carriers", Qt::Key_F7, "Edit Carriers", 1009, dkCarriers,
     tbiCarriers, TPlace::MenuAndToolBar, false},
    {&TFormMain::actEditServersNew, "actEditServersNew", "&Servers", Qt::Key_F8, "Edit Servers", 1010, dkServers,
     tbiServers, TPlace::MenuAndToolBar, true},
    {&TFormMain::actDatabasesNew, "actDatabasesNew", "&Databases", Qt::Key_F12, "Edit the list of Databases", 1011,
     DatabasesKind, tbiDatabases, TPlace::MenuAndToolBar, true},
    {&TFormMain::actDatabaseTypesNew, "actDatabaseTypesNew", "Database &Types", 0, "", 0, DatabaseTypesKind, -1,
     TPlace::HiddenMenuEntry, false},
    {&TFormMain::actEditCarrierTypesNew, "actEditCarrierTypesNew", "Edit Ca&rrierTypes", 0, "", 0, dkCarrierTypes, -1,
     TPlace::Nowhere, false},
};

bool Registered(int kind)
{
    return kind < 0 ? DatabaseListsRegistered() : AdminListRegistered(TDataKind(kind));
}
}  // namespace

void TFormMain::BuildAdminActions()
{
    bool groupOpen = false;
    for (const TAdminActionDef& def : kAdminActions) {
        if (!Registered(def.Kind))
            continue;
        auto* action = new QAction(QString::fromLatin1(def.Caption), this);
        action->setObjectName(QString::fromLatin1(def.Name));
        if (def.Key)
            action->setShortcut(QKeySequence(def.Key));
        action->setToolTip(QString::fromLatin1(def.Hint));
        action->setStatusTip(action->toolTip());
        if (def.HelpContext)
            action->setProperty("HelpContext", def.HelpContext);
        const int kind = def.Kind;
        connect(action, &QAction::triggered, this, [this, kind] {
            if (kind == DatabasesKind) {
                EditDatabases();
            } else if (kind == DatabaseTypesKind) {
                if (DModLocalData)
                    DModLocalData->EditDatabaseTypes();
            } else {
                ShowAdminList(TDataKind(kind));
                // New or changed templates reach the message editor's list.
                if (kind == dkTemplates && FormMessageEditor)
                    FormMessageEditor->ReloadTemplates();
            }
        });
        this->*def.Member = action;
        AddAdminAction(action);
        if (def.Place == TPlace::Nowhere) {
            addAction(action);  // in the action list only
            continue;
        }
        mnuSettings->addAction(action);
        if (def.Place == TPlace::HiddenMenuEntry) {
            action->setVisible(false);
            continue;
        }
        tlbToolBar->addAction(action);
        groupOpen = true;
        if (def.GroupEnds) {
            tlbToolBar->addSeparator();
            groupOpen = false;
        }
    }
    if (groupOpen)
        tlbToolBar->addSeparator();
}

void TFormMain::EditDatabases()
{
    if (!DModLocalData)
        return;
    // OK makes the books and the tree anew from the edited list.
    if (DModLocalData->EditDatabases())
        ReloadContactsTree();
    if (FormMessageEditor)
        FormMessageEditor->RebuildDatabases();
}

void TFormMain::ApplyAdminImages()
{
    for (const TAdminActionDef& def : kAdminActions)
        if (QAction* action = this->*def.Member; action && def.Image >= 0)
            action->setIcon(DataModuleImages->imglToolBar.Icon(def.Image));
}
