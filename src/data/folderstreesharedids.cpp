#include "data/folderstreesharedids.h"

#include "data/folderstree.h"
#include "data/folderstreecut.h"
#include "data/folderstreenode.h"
#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "foundation/scgtreeview.h"

namespace {
bool NodeKindOf(TDataKind kind, TNodeKind* nodeKind)
{
    switch (kind) {
        case dkFolders:
            *nodeKind = nkFolder;
            return true;
        case dkContacts:
            *nodeKind = nkContact;
            return true;
        case dkGroups:
            *nodeKind = nkGroup;
            return true;
        default:
            return false;
    }
}
}  // namespace

void FollowSharedTempIdsInFolderTree()
{
    SetTempIdReplacedHook([](TSharedAccessClient* client, TDataKind kind, qint32 tempId, qint32 newId) {
        TNodeKind nodeKind = nkContact;
        if (!NodeKindOf(kind, &nodeKind))
            return;
        for (const QTreeWidget* tree : {static_cast<const QTreeWidget*>(FoldersTreeState->FolderTree.data()),
                                        static_cast<const QTreeWidget*>(FoldersTreeState->ClipboardTree.data())}) {
            if (!tree)
                continue;
            for (TNTreeNode* node : AllNodes(tree))
                if (node->Database == client && node->Kind == nodeKind && node->ID == tempId)
                    node->ID = newId;
        }
        CutTempIdReplaced(client, nodeKind, tempId, newId);
    });
}
