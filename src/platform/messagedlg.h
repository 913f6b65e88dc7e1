#pragma once
// Operator-facing message boxes, reachable from every layer.
//
// The lower layers only call MessageDlg/ShowMessage; the widget layer
// installs the handler that shows real boxes (InstallWidgetMessageBoxes in
// foundation), and tests install one that records the texts and answers.
// Without a handler the text goes to stderr and the default answer is given.
// Main thread only.

#include <QString>
#include <functional>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons (and results): a set of these bits; a result of 0 means the box was
// closed without a button.
enum TMsgDlgBtn : int {
    mbYes = 0x1,
    mbNo = 0x2,
    mbOK = 0x4,
    mbCancel = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbAll = 0x80,
    mbNoToAll = 0x100,
    mbYesToAll = 0x200,
};

struct TMessageRequest {
    QString Text;
    TMsgDlgType Type = TMsgDlgType::mtInformation;
    int Buttons = mbOK;
    int DefaultButton = 0;  // 0: the first button of Buttons
    QString Caption;        // empty: the application's title
};

using TMessageHandler = std::function<int(const TMessageRequest&)>;

// Shows the box and returns the button pressed.
int MessageDlg(const QString& text, TMsgDlgType type, int buttons, int defaultButton = 0);
int ShowMessageRequest(const TMessageRequest& request);
// A plain box with one OK button captioned with the application's title.
void ShowMessage(const QString& text);

// Installs a handler; returns the previous one. An empty handler restores
// the stderr fallback.
TMessageHandler SetMessageHandler(TMessageHandler handler);
