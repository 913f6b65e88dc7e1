#pragma once
// Keeps the folder tree in step when a shared address book's new rows get
// their server IDs: every node of that book's folder, contact or group that
// carried the temporary ID takes the new one.

// Installs the hook once (at program start); main thread.
void FollowSharedTempIdsInFolderTree();
