// The main window's administration actions: each opens its list window over
// every address book through the launcher registered at start-up.
#include "data/adminlaunchers.h"
#include "foundation/images.h"
#include "ui/main/frmmain.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace {
struct TAdminActionDef {
    QAction* TFormMain::*Member;
    const char* Name;
    const char* Caption;
    Qt::Key Key;
    const char* Hint;
    int HelpContext;
    TDataKind Kind;
    int Image;
};

// In menu order; the tool-bar groups are contacts | carriers, servers.
const TAdminActionDef kAdminActions[] = {
    {&TFormMain::actEditContactsNew, "actEditContactsNew", "Contac&ts", Qt::Key_F9, "Edit Contacts", 1006, dkContacts,
     tbiContacts},
    {&TFormMain::actEditCarriersNew, "actEditCarriersNew", "&Carriers", Qt::Key_F7, "Edit Carriers", 1009, dkCarriers,
     tbiCarriers},
    {&TFormMain::actEditServersNew, "actEditServersNew", "&Servers", Qt::Key_F8, "Edit Servers", 1010, dkServers,
     tbiServers},
};
}  // namespace

void TFormMain::BuildAdminActions()
{
    for (const TAdminActionDef& def : kAdminActions) {
        if (!AdminListRegistered(def.Kind))
            continue;
        auto* action = new QAction(QString::fromLatin1(def.Caption), this);
        action->setObjectName(QString::fromLatin1(def.Name));
        action->setShortcut(QKeySequence(def.Key));
        action->setToolTip(QString::fromLatin1(def.Hint));
        action->setStatusTip(action->toolTip());
        action->setProperty("HelpContext", def.HelpContext);
        const TDataKind kind = def.Kind;
        connect(action, &QAction::triggered, this, [kind] { ShowAdminList(kind); });
        mnuSettings->addAction(action);
        this->*def.Member = action;
        AddAdminAction(action);
        if (kind == dkCarriers && actEditContactsNew)
            tlbToolBar->addSeparator();
        tlbToolBar->addAction(action);
    }
    if (actEditContactsNew || actEditCarriersNew || actEditServersNew)
        tlbToolBar->addSeparator();
}

void TFormMain::ApplyAdminImages()
{
    for (const TAdminActionDef& def : kAdminActions)
        if (QAction* action = this->*def.Member)
            action->setIcon(DataModuleImages->imglToolBar.Icon(def.Image));
}
