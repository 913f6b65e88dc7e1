#include "platform/messagedlg.h"

#include <cstdio>

namespace {
TMessageHandler& Handler()
{
    static TMessageHandler handler;
    return handler;
}

int FirstButton(int buttons)
{
    for (int bit = 1; bit <= mbYesToAll; bit <<= 1)
        if (buttons & bit)
            return bit;
    return mbOK;
}
}  // namespace

int ShowMessageRequest(const TMessageRequest& request)
{
    if (Handler())
        return Handler()(request);
    std::fprintf(stderr, "%s\n", qPrintable(request.Text));
    return request.DefaultButton ? request.DefaultButton : FirstButton(request.Buttons);
}

int MessageDlg(const QString& text, TMsgDlgType type, int buttons, int defaultButton)
{
    TMessageRequest r;
    r.Text = text;
    r.Type = type;
    r.Buttons = buttons;
    r.DefaultButton = defaultButton;
    return ShowMessageRequest(r);
}

void ShowMessage(const QString& text)
{
    TMessageRequest r;
    r.Text = text;
    r.Type = TMsgDlgType::mtCustom;
    r.Buttons = mbOK;
    ShowMessageRequest(r);
}

TMessageHandler SetMessageHandler(TMessageHandler handler)
{
    TMessageHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}
