#pragma once
// The main window's composing panes: embeds the send bar, the message editor
// and the recipients pane into their host panels (in that order, at the
// window's first show) and ties them together: the send bar reaches the
// editor, the status-bar progress, the recipients' "Clear All" and the send
// machinery; the recipient list recounts the editor and puts name prefixes
// into it. Adds actFocusOnRecipients (Alt+P).

class TFormMain;

void EmbedComposingPanes(TFormMain& form);
// Once the folder tree is embedded too: Tab walks the panes in the order of
// the work, folder tree, recipients, message editor, send bar (Shift+Tab
// back).
void OrderPanesForTab(TFormMain& form);
