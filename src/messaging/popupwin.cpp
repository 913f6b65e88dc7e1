#include "messaging/popupwin.h"

#include "foundation/dmoptions.h"
#include "foundation/workarea.h"
#include "messaging/popupgeometry.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
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

// The one timer that moves every sliding popup; it runs while one slides.
QTimer* SlideTimer()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setInterval(PopupTickMs);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, timer, [] {
            bool sliding = false;
            // A popup that has left closes, and its deletion waits for the
            // event loop, so the list stays whole during the round.
            for (TPopupWin* popup : QList<TPopupWin*>(Popups())) {
                sliding = popup->Animate() || sliding;
            }
            if (!sliding)
                timer->stop();
        });
    }
    return timer;
}

void StartSliding()
{
    if (QTimer* timer = SlideTimer(); !timer->isActive())
        timer->start();
}

constexpr int kFormSize = 240;
constexpr QRect kMessageRect{8, 71, 217, 161};
constexpr quint32 kFrameColor = 7829367;  // 0x777777
// How long a popup that has arrived is still put back in its place.
constexpr qint64 kSettleMs = 1000;

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
    m_delayTimer = new QTimer(this);
    m_delayTimer->setInterval(5000);
    m_delayTimer->setSingleShot(true);
    connect(m_delayTimer, &QTimer::timeout, this, &TPopupWin::StartSlideOut);
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
    const QRect area = WorkArea();
    const QFontMetrics metrics(m_lblMsg->font());
    const int needed =
        metrics.boundingRect(QRect(0, 0, kMessageRect.width(), 100000), Qt::TextWordWrap, m_lblMsg->text()).height();
    if (needed > m_lblMsg->height()) {
        // At most three quarters of the work area's height (window managers
        // keep a window as tall as the screen from its edge): the end of a
        // very long text is cut.
        const int grow = std::min(needed - m_lblMsg->height(), std::max(0, area.height() * 3 / 4 - height()));
        m_lblMsg->resize(m_lblMsg->width(), m_lblMsg->height() + grow);
        resize(width(), height() + grow);
    }
    m_start = PopupStartPosition(m_position, area, size());
    m_final = PopupFinalPosition(m_position, area, size());
    MoveTo(m_start);
    FollowModalDialog();
    show();
    raise();
    // The delay comes from the options file: a huge value waits as long as
    // a timer can instead of overflowing.
    if (delaySeconds > 0)
        m_delayTimer->setInterval(int(std::min<qint64>(qint64(delaySeconds) * 1000, std::numeric_limits<int>::max())));
    m_stayUntilClicked = delaySeconds <= 0;
    PaintBackground();
    m_phase = TPhase::SlidingIn;
    m_step = 0;
    m_clock.start();
    StartSliding();
}

bool TPopupWin::Animate()
{
    const qint64 elapsed = m_clock.isValid() ? m_clock.elapsed() : 0;
    if (m_phase == TPhase::SlidingIn) {
        m_step = PopupSlideInStep(elapsed);
        MoveTo(PopupSlideInPlace(m_start, m_final, elapsed));
        if (m_place != m_final)
            return true;
        m_phase = TPhase::Waiting;
        m_clock.start();
        // A delay of 0 never fires: the popup stays until it is clicked.
        if (!m_stayUntilClicked)
            m_delayTimer->start();
        return true;
    }
    if (m_phase == TPhase::SlidingOut) {
        m_step = std::max(0, m_outStep - PopupSlideInStep(elapsed));
        MoveTo(PopupSlideOutPlace(m_position, m_outFrom, m_outStep, elapsed));
        if (!PopupHasLeft(m_position, WorkArea(), size(), m_place))
            return true;
        m_phase = TPhase::Closed;
        m_delayTimer->stop();
        close();
        return false;
    }
    if (m_phase == TPhase::Waiting && elapsed < kSettleMs) {
        // Back to its place should the window system have moved it, or
        // reported a place it had before the last move.
        MoveTo(m_place);
        return true;
    }
    return false;
}

void TPopupWin::MoveTo(const QPoint& place)
{
    m_place = place;
    if (pos() != place)
        move(place);
}

void TPopupWin::StartSlideOut()
{
    if (m_phase == TPhase::SlidingOut || m_phase == TPhase::Closed)
        return;
    m_delayTimer->stop();
    m_outFrom = m_place;
    m_outStep = m_step;
    m_phase = TPhase::SlidingOut;
    m_clock.start();
    StartSliding();
}

bool TPopupWin::SlidingIn() const
{
    return m_phase == TPhase::SlidingIn;
}

bool TPopupWin::Waiting() const
{
    return m_phase == TPhase::Waiting;
}

int TPopupWin::DelayMs() const
{
    return m_delayTimer->interval();
}

bool TPopupWin::SlidingOut() const
{
    return m_phase == TPhase::SlidingOut;
}

void TPopupWin::FollowModalDialog()
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || parentWidget() == dialog)
        return;
    setParent(dialog, windowFlags());
    connect(dialog, &QDialog::finished, this, &TPopupWin::LeaveDialog);
}

void TPopupWin::LeaveDialog()
{
    QWidget* dialog = parentWidget();
    if (!dialog)
        return;
    disconnect(dialog, nullptr, this, nullptr);
    const QPoint at = pos();
    setParent(nullptr, windowFlags());
    move(at);
    // A dialog further down may still be open.
    FollowModalDialog();
    show();
    raise();
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
