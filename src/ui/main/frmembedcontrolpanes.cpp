#include "ui/main/frmembedcontrolpanes.h"

#include "data/recipients.h"
#include "foundation/scgtreeview.h"
#include "messaging/sendoutbox.h"
#include "ui/main/frmembedcontrol.h"
#include "ui/main/frmfolderstree.h"
#include "ui/main/frmmain.h"
#include "ui/main/frmmessageeditor.h"
#include "ui/main/frmrecipients.h"

#include <QAction>
#include <QLayout>
#include <QPointer>

namespace {

// The five steps of embedding a pane: the host panel becomes its parent, it
// fills the panel, has no border and shows.
template <class TPane>
TPane* Embed(QWidget* host)
{
    auto* pane = new TPane(host);
    pane->setWindowFlags(Qt::Widget);
    pane->setContentsMargins(0, 0, 0, 0);
    host->layout()->addWidget(pane);
    pane->setVisible(true);
    return pane;
}

}  // namespace

void EmbedComposingPanes(TFormMain& form)
{
    form.FormEmbedControl = Embed<TFormEmbedControl>(form.pnlEmbedControl);
    // The send bar's host is as wide as the bar.
    form.pnlEmbedControl->setFixedWidth(form.FormEmbedControl->width());
    form.FormMessageEditor = Embed<TFormMessageEditor>(form.pnlEmbedMessageEditor);
    form.FormRecipients = Embed<TFormRecipients>(form.pnlEmbedRecipients);

    // The panes go with the window; the hooks check that they still exist.
    QPointer<TFormMessageEditor> editor = form.FormMessageEditor;
    QPointer<TFormRecipients> recipients = form.FormRecipients;
    QPointer<TFormMain> window = &form;
    RecipientList->SetOnCountersChanged([editor] {
        if (editor)
            editor->UpdateCounters();
    });
    RecipientList->SetOnInsertEditorText([editor](const QString& text) {
        if (editor)
            editor->InsertText(text);
    });
    editor->UpdateCounters();

    TNSendBarLinks links;
    links.Editor = form.FormMessageEditor;
    links.SetSendProgress = [window](int current, int total) {
        if (window)
            window->SetSendProgress(current, total);
    };
    links.RemoveAllRecipients = [recipients] {
        if (recipients)
            recipients->actRemoveAll->trigger();
    };
    links.SendOutBox = [] { SendOutBox(); };
    form.FormEmbedControl->SetLinks(std::move(links));

    form.actFocusOnRecipients = new QAction(&form);
    form.actFocusOnRecipients->setObjectName(QStringLiteral("actFocusOnRecipients"));
    form.actFocusOnRecipients->setShortcut(QKeySequence(Qt::ALT | Qt::Key_P));
    form.addAction(form.actFocusOnRecipients);
    QObject::connect(form.actFocusOnRecipients, &QAction::triggered, &form, [recipients] {
        if (recipients)
            recipients->lvRecipients->setFocus(Qt::ShortcutFocusReason);
    });
}

void OrderPanesForTab(TFormMain& form)
{
    if (!form.FormFoldersTree || !form.FormRecipients || !form.FormMessageEditor || !form.FormEmbedControl)
        return;
    TFormMessageEditor* editor = form.FormMessageEditor;
    TFormEmbedControl* bar = form.FormEmbedControl;
    const QList<QWidget*> order = {form.FormFoldersTree->tvFolders,
                                   form.FormRecipients->lvRecipients,
                                   editor->cbexTemplateNames,
                                   editor->btnSelectDatabase,
                                   editor->memMessageText,
                                   bar->btnSend,
                                   bar->btnClearRecipients,
                                   bar->btnClearMessageText,
                                   bar->btnExit};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
