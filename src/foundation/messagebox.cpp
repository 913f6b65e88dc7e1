#include "foundation/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <memory>

namespace {
struct ButtonSpec {
    int bit;
    const char* caption;
    QMessageBox::ButtonRole role;
};

// In the class library's order of buttons.
constexpr ButtonSpec Buttons[] = {
    {mbYes, "&Yes", QMessageBox::YesRole},          {mbNo, "&No", QMessageBox::NoRole},
    {mbOK, "OK", QMessageBox::AcceptRole},          {mbCancel, "Cancel", QMessageBox::RejectRole},
    {mbAbort, "&Abort", QMessageBox::RejectRole},   {mbRetry, "&Retry", QMessageBox::AcceptRole},
    {mbIgnore, "&Ignore", QMessageBox::AcceptRole}, {mbAll, "&All", QMessageBox::YesRole},
    {mbNoToAll, "N&o to All", QMessageBox::NoRole}, {mbYesToAll, "Yes to &All", QMessageBox::YesRole},
};

const char* const ButtonProperty = "tovixButton";

QMessageBox::Icon IconOf(TMsgDlgType type)
{
    switch (type) {
        case TMsgDlgType::mtWarning:
            return QMessageBox::Warning;
        case TMsgDlgType::mtError:
            return QMessageBox::Critical;
        case TMsgDlgType::mtInformation:
            return QMessageBox::Information;
        case TMsgDlgType::mtConfirmation:
            return QMessageBox::Question;
        case TMsgDlgType::mtCustom:
            break;
    }
    return QMessageBox::NoIcon;
}

QString ApplicationTitle()
{
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Tovix 2") : title;
}

// A splash stays on top of every window: while a box is open (a start-up
// warning) it steps aside, so the operator can read and answer the box.
class TSplashesAside {
public:
    TSplashesAside()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowType() == Qt::SplashScreen && w->isVisible()) {
                m_hidden.append(w);
                w->hide();
            }
    }
    ~TSplashesAside()
    {
        for (const QPointer<QWidget>& w : m_hidden)
            if (w)
                w->show();
    }
    TSplashesAside(const TSplashesAside&) = delete;
    TSplashesAside& operator=(const TSplashesAside&) = delete;

private:
    QList<QPointer<QWidget>> m_hidden;
};

int ShowBox(const TMessageRequest& request)
{
    std::unique_ptr<QMessageBox> box(CreateMessageBox(request));
    TSplashesAside aside;
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    return clicked ? clicked->property(ButtonProperty).toInt() : 0;
}
}  // namespace

QMessageBox* CreateMessageBox(const TMessageRequest& request)
{
    auto* box = new QMessageBox(QApplication::activeWindow());
    box->setWindowTitle(request.Caption.isEmpty() ? ApplicationTitle() : request.Caption);
    box->setText(request.Text);
    box->setIcon(IconOf(request.Type));
    box->setWindowModality(Qt::ApplicationModal);

    const int buttons = request.Buttons ? request.Buttons : int(mbOK);
    QPushButton* first = nullptr;
    QPushButton* defaultButton = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* no = nullptr;
    QPushButton* ok = nullptr;
    for (const ButtonSpec& button : Buttons) {
        if (!(buttons & button.bit))
            continue;
        QPushButton* b = box->addButton(QString::fromLatin1(button.caption), button.role);
        b->setProperty(ButtonProperty, button.bit);
        if (!first)
            first = b;
        if (button.bit == request.DefaultButton)
            defaultButton = b;
        if (button.bit == mbCancel)
            cancel = b;
        else if (button.bit == mbNo)
            no = b;
        else if (button.bit == mbOK)
            ok = b;
    }
    box->setDefaultButton(defaultButton ? defaultButton : first);
    if (QPushButton* escape = cancel ? cancel : (no ? no : ok))
        box->setEscapeButton(escape);
    return box;
}

void InstallWidgetMessageBoxes()
{
    SetMessageHandler(ShowBox);
}
