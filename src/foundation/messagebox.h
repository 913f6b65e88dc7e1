#pragma once
// Real message boxes for MessageDlg / ShowMessage (platform/messagedlg.h).
//
// The program installs them once at start-up; tests keep their own answering
// handler instead. The boxes carry the icon of the request's type, its
// buttons with the class library's captions ("&Yes", "&No", "OK", "Cancel",
// "&Abort", "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All") and
// the request's caption, or the application's title when it has none.
// Escape (and the close box) means Cancel, else No, else OK when the box has
// such a button.

#include "platform/messagedlg.h"

class QMessageBox;

void InstallWidgetMessageBoxes();

// Builds the box for a request without showing it (the caller owns it).
// Each button carries its TMsgDlgBtn bit in the property "tovixButton".
QMessageBox* CreateMessageBox(const TMessageRequest& request);
