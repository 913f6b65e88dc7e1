#include "ui/main/frmabout.h"

#include "foundation/images.h"
#include "platform/versioninfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TFormAbout* FormAbout = nullptr;

namespace {
QLabel* AddLabel(QVBoxLayout* layout, const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    layout->addWidget(label);
    return label;
}
}  // namespace

QString TFormAboutBase::ProductUrl()
{
    return QStringLiteral("https://www.tovix.example/");
}

TFormAboutBase::TFormAboutBase(TAboutStyle style, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint)
{
    const TAboutTexts texts = ProgramAboutTexts(style);
    setWindowTitle(texts.Caption);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pnlBottom = new QFrame(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setAutoFillBackground(true);
    QPalette white = pnlBottom->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    pnlBottom->setPalette(white);
    outer->addWidget(pnlBottom);

    auto* row = new QHBoxLayout(pnlBottom);
    imgLogo = new QLabel(pnlBottom);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(ProgramIcon(QStringLiteral("logo")).pixmap(96, 96));
    imgLogo->setAlignment(Qt::AlignTop);
    row->addWidget(imgLogo);

    auto* column = new QVBoxLayout;
    row->addLayout(column, 1);
    lblProductName = AddLabel(column, QStringLiteral("lblProductName"), texts.ProductName, pnlBottom);
    QFont big = lblProductName->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    lblProductName->setFont(big);
    lblProductVersion = AddLabel(column, QStringLiteral("lblProductVersion"), texts.ProductVersion, pnlBottom);
    lblLegalCopyRight = AddLabel(column, QStringLiteral("lblLegalCopyRight"), texts.LegalCopyRight, pnlBottom);
    lblCompanyName = AddLabel(column, QStringLiteral("lblCompanyName"), texts.CompanyName, pnlBottom);
    lblURL = AddLabel(column, QStringLiteral("lblURL"), ProductUrl(), pnlBottom);
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->setTextFormat(Qt::PlainText);
    QPalette link = lblURL->palette();
    link.setColor(QPalette::WindowText, QColor(0, 0, 0xcc));
    lblURL->setPalette(link);
    lblURL->installEventFilter(this);
    auto* line = new QFrame(pnlBottom);
    line->setFrameShape(QFrame::HLine);
    column->addWidget(line);
    lblWindowsVersion = AddLabel(column, QStringLiteral("lblWindowsVersion"), texts.WindowsVersion, pnlBottom);
    lblMemory = AddLabel(column, QStringLiteral("lblMemory"), texts.Memory, pnlBottom);
    column->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnClose = new QPushButton(QStringLiteral("&Close"), pnlBottom);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(btnClose);
    column->addLayout(buttons);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);

    TimerSplash.setInterval(500);
}

bool TFormAboutBase::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the address opens it with the desktop's browser.
    if (watched == lblURL && event->type() == QEvent::MouseButtonRelease) {
        QDesktopServices::openUrl(QUrl(lblURL->text()));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

TFormAbout::TFormAbout(QWidget* parent) : TFormAboutBase(TAboutStyle::Splash, parent)
{
    setObjectName(QStringLiteral("FormAbout"));
    connect(&TimerSplash, &QTimer::timeout, this, &TFormAbout::TimerSplashTimer);
}

TFormAbout::~TFormAbout()
{
    if (FormAbout == this)
        FormAbout = nullptr;
}

void TFormAbout::TimerSplashTimer()
{
    if (quint64(StartTick.elapsed()) > MinShowMs && (AutoClose || CloseRequested)) {
        TimerSplash.stop();
        if (FormAbout == this)
            FormAbout = nullptr;
        close();
    }
}

TFormAboutNew::TFormAboutNew(QWidget* parent) : TFormAboutBase(TAboutStyle::AboutBox, parent)
{
    setObjectName(QStringLiteral("FormAboutNew"));
}

void ShowSplash(quint32 minShowMs, bool autoClose)
{
    if (StartedAsComServer())
        return;
    auto* splash = new TFormAbout;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->MinShowMs = minShowMs;
    splash->StartTick.start();
    splash->AutoClose = autoClose;
    splash->btnClose->hide();
    splash->setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    FormAbout = splash;
    splash->show();
    // Paint it now: the rest of the start-up keeps the event loop busy.
    QCoreApplication::processEvents();
    splash->TimerSplash.start();
}

void HideSplash()
{
    if (StartedAsComServer())
        return;
    if (FormAbout)
        FormAbout->CloseRequested = true;
    FormAbout = nullptr;
}

void ShowAboutBox(const QString& captionSuffix)
{
    QPointer<TFormAboutNew> box = new TFormAboutNew;
    box->setWindowTitle(box->windowTitle() + captionSuffix);
    box->setProperty("HelpContext", 999);
    box->exec();
    delete box.data();
}
