#include "messaging/popupwin.h"

#include "foundation/dmoptions.h"
#include "foundation/workarea.h"
#include "messaging/popupgeometry.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace {
QList<TPopupWin*>& Popups()
{
    static QList<TPopupWin*> popups;
    return popups;
}

constexpr int kFormSize = 240;
constexpr QRect kMessageRect{8, 71, 217, 161};
constexpr quint32 kFrameColor = 7829367;  // 0x777777

QFont CourierNew(int pixelHeight, bool bold = false)
{
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

QLabel* MakeImage(QWidget* parent, const char* name, QStyle::StandardPixmap icon)
{
    auto* image = new QLabel(parent);
    image->setObjectName(QLatin1String(name));
    image->setGeometry(14, 14, 32, 32);
    image->setPixmap(parent->style()->standardIcon(icon).pixmap(32, 32));
    image->setAttribute(Qt::WA_TranslucentBackground);
    image->hide();
    return image;
}
}  // namespace

QString PopupDisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

TPopupWin::TPopupWin() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName(QStringLiteral("PopupWin"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(CourierNew(15));
    resize(kFormSize, kFormSize);
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(-300, (screen ? screen->geometry().height() : 0) + 300);

    m_lblMsg = new QLabel(this);
    m_lblMsg->setObjectName(QStringLiteral("lblMsg"));
    m_lblMsg->setGeometry(kMessageRect);
    m_lblMsg->setWordWrap(true);
    m_lblMsg->setTextFormat(Qt::PlainText);
    m_lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblIcon = new QLabel(this);
    m_lblIcon->setObjectName(QStringLiteral("lblIcon"));
    m_lblIcon->move(90, 27);
    m_lblIcon->setFont(CourierNew(23, true));
    m_imgWarning = MakeImage(this, "imgWarning", QStyle::SP_MessageBoxWarning);
    m_imgError = MakeImage(this, "imgError", QStyle::SP_MessageBoxCritical);
    m_imgInfo = MakeImage(this, "imgInfo", QStyle::SP_MessageBoxInformation);
    // Clicks on the labels and images reach the form, which starts the
    // slide-out.
    for (QLabel* child : {m_lblMsg, m_lblIcon, m_imgWarning, m_imgError, m_imgInfo})
        child->setAttribute(Qt::WA_TransparentForMouseEvents);

    Popups().append(this);
    m_fadeInTimer = new QTimer(this);
    m_fadeInTimer->setInterval(15);
    connect(m_fadeInTimer, &QTimer::timeout, this, &TPopupWin::FadeInTick);
    m_fadeOutTimer = new QTimer(this);
    m_fadeOutTimer->setInterval(15);
    connect(m_fadeOutTimer, &QTimer::timeout, this, &TPopupWin::FadeOutTick);
    m_delayTimer = new QTimer(this);
    m_delayTimer->setInterval(5000);
    m_delayTimer->setSingleShot(true);
    connect(m_delayTimer, &QTimer::timeout, this, &TPopupWin::StartSlideOut);
    m_fadeInTimer->start();
}

TPopupWin::~TPopupWin()
{
    Popups().removeAll(this);
}

void TPopupWin::SetText(const QString& text)
{
    m_text = text;
    m_lblMsg->setText(PopupDisplayText(text));
}

void TPopupWin::SetKind(quint8 kind)
{
    m_kind = kind;
    m_imgWarning->setVisible(kind == pkMessage);
    m_imgError->setVisible(kind == pkError);
    m_imgInfo->setVisible(kind != pkMessage && kind != pkError);
    m_color1 = 0xFFFFFF;
    if (kind == pkError) {
        m_lblIcon->setText(QStringLiteral("Error"));
        m_color2 = 0x8080F0;
    } else if (kind == pkMessage) {
        m_lblIcon->setText(QStringLiteral("Message"));
        m_color2 = 0x80F0E0;
    } else {
        m_lblIcon->setText(QStringLiteral("Success"));
        m_color2 = 0xF0E080;
    }
    m_lblIcon->adjustSize();
}

void TPopupWin::Popup(int delaySeconds)
{
    const QFontMetrics metrics(m_lblMsg->font());
    const int needed =
        metrics.boundingRect(QRect(0, 0, kMessageRect.width(), 100000), Qt::TextWordWrap, m_lblMsg->text()).height();
    if (needed > m_lblMsg->height()) {
        const int grow = needed - m_lblMsg->height();
        m_lblMsg->resize(m_lblMsg->width(), needed);
        resize(width(), height() + grow);
    }
    show();
    raise();
    move(PopupStartPosition(m_position, WorkArea(), size()));
    // The delay comes from the options file: a huge value waits as long as
    // a timer can instead of overflowing.
    if (delaySeconds > 0)
        m_delayTimer->setInterval(int(std::min<qint64>(qint64(delaySeconds) * 1000, std::numeric_limits<int>::max())));
    m_stayUntilClicked = delaySeconds <= 0;
    PaintBackground();
}

void TPopupWin::FadeInTick()
{
    ++m_step;
    m_speed = PopupSpeed(m_step);
    const QRect area = WorkArea();
    if (!PopupAtFinalPosition(m_position, area, size(), pos())) {
        move(PopupSlideInStep(m_position, area, size(), pos(), m_speed));
        return;
    }
    m_fadeInTimer->stop();
    // A delay of 0 never fires: the popup stays until it is clicked.
    if (!m_stayUntilClicked)
        m_delayTimer->start();
}

void TPopupWin::StartSlideOut()
{
    m_fadeInTimer->stop();
    m_delayTimer->stop();
    m_fadeOutTimer->start();
}

void TPopupWin::FadeOutTick()
{
    if (m_step > 0)
        --m_step;
    m_speed = PopupSpeed(m_step);
    move(PopupSlideOutStep(m_position, pos(), m_speed));
    if (PopupHasLeft(m_position, WorkArea(), size(), pos())) {
        m_fadeInTimer->stop();
        m_fadeOutTimer->stop();
        m_delayTimer->stop();
        close();
    }
}

bool TPopupWin::SlidingIn() const
{
    return m_fadeInTimer->isActive();
}

bool TPopupWin::Waiting() const
{
    return !m_fadeInTimer->isActive() && !m_fadeOutTimer->isActive();
}

int TPopupWin::DelayMs() const
{
    return m_delayTimer->interval();
}

bool TPopupWin::SlidingOut() const
{
    return m_fadeOutTimer->isActive();
}

void TPopupWin::mousePressEvent(QMouseEvent* event)
{
    StartSlideOut();
    event->accept();
}

void TPopupWin::PaintBackground()
{
    if (m_painting)
        return;
    m_painting = true;
    const int w = width();
    m_bitmap = QImage(size(), QImage::Format_RGB888);
    for (int x = 0; x < w; ++x)
        m_bitmap.setPixelColor(x, 0, PopupGradientColor(m_color1, m_color2, x, w));
    for (int y = 1; y < m_bitmap.height(); ++y)
        std::copy_n(m_bitmap.constScanLine(0), m_bitmap.bytesPerLine(), m_bitmap.scanLine(y));
    QPainter frame(&m_bitmap);
    frame.setPen(PopupGradientColor(kFrameColor, kFrameColor, 0, 1));
    frame.drawRect(0, 0, w - 1, m_bitmap.height() - 1);
    frame.end();
    update();
    m_painting = false;
}

void TPopupWin::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_bitmap);
}

TPopupWin* ShowPopupWin(const QString& text, quint8 kind)
{
    auto* popup = new TPopupWin();
    popup->SetText(text);
    popup->SetKind(kind);
    popup->SetPosition(PopupWinPos);
    popup->Popup(PopupWinDelay);
    return popup;
}

const QList<TPopupWin*>& OpenPopupWins()
{
    return Popups();
}

void FreeAllPopupWins()
{
    while (!Popups().isEmpty())
        delete Popups().last();
}
