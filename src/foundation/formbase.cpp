#include "foundation/formbase.h"

#include "foundation/formsettings.h"
#include "platform/profilefile.h"

#include <QApplication>
#include <QMargins>
#include <QMetaObject>
#include <QRect>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {
const QString kMaximized = QStringLiteral("Maximized");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");

// Clamps one coordinate of the top-left corner to the closed range of the
// work area; a window may still reach past its right or bottom edge.
int Clamp(int value, int low, int high)
{
    return value < low || value > high ? low : value;
}

// The window frame's margins: the window's own once it is up, else those of
// another decorated window on the screen (the window system gives every
// normal window the same frame), else none.
QMargins FrameMargins(const QWidget* window)
{
    if (window->isVisible() && window->windowHandle())
        return window->windowHandle()->frameMargins();
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible() || !other->windowHandle() ||
            (other->windowFlags() & Qt::FramelessWindowHint) ||
            (other->windowType() != Qt::Window && other->windowType() != Qt::Dialog))
            continue;
        const QMargins margins = other->windowHandle()->frameMargins();
        if (!margins.isNull())
            return margins;
    }
    return {};
}
}  // namespace

TFormBase::TFormBase(QWidget* window) : m_window(window) {}

TFormBase::~TFormBase()
{
    if (!m_saved && !m_className.isEmpty()) {
        // The derived part is gone: only the base placement can be kept.
        try {
            QString section;
            SavePlacement(section);
        } catch (const EProfileFileError& error) {
            ReportFormSettingsError(error);
        } catch (...) {
        }
    }
}

void TFormBase::RestoreFormSettings()
{
    m_className = QString::fromLatin1(m_window->metaObject()->className());
    if (DesignSizeIsMinimum())
        m_window->setMinimumSize(m_window->size());
    QString section;
    LoadFormSettings(section);
}

void TFormBase::StoreFormSettings()
{
    if (m_saved)
        return;
    m_saved = true;
    try {
        QString section;
        SaveFormSettings(section);
    } catch (const EProfileFileError& error) {
        ReportFormSettingsError(error);
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

void TFormBase::LoadFormSettings(QString& section)
{
    section = m_className.isEmpty() ? QString::fromLatin1(m_window->metaObject()->className()) : m_className;
    TNProfileFile* ini = FormSettingsIni;
    QWidget* w = m_window;
    const QRect area = FormSettingsWorkArea();
    // The normal size and position are restored beneath a maximised state
    // too, so that un-maximising shows the placement of the last normal run.
    if (ini) {
        const int width = ini->ReadInteger(section, kWidth, -1);
        const int height = ini->ReadInteger(section, kHeight, -1);
        if (width != -1 && height != -1)
            w->resize(width, height);
    }
    const Qt::Orientations shrunk = FitIntoWorkArea(area);
    const bool hasLeft = ini && ini->ValueExists(section, kLeft);
    const bool hasTop = ini && ini->ValueExists(section, kTop);
    if (hasLeft || hasTop) {
        // The work area's edges as closed ranges of pixels on it, so that no
        // stored corner puts the window wholly off the screen.
        int left = Clamp(hasLeft ? ini->ReadInteger(section, kLeft, w->x()) : w->x(), area.left(), area.right());
        int top = Clamp(hasTop ? ini->ReadInteger(section, kTop, w->y()) : w->y(), area.top(), area.bottom());
        // A window cut down to the work area's width or height fills it
        // from its edge, so that none of it (its buttons) is off the screen.
        if (shrunk & Qt::Horizontal)
            left = area.left();
        if (shrunk & Qt::Vertical)
            top = area.top();
        w->move(left, top);
    } else {
        PlaceAsDesigned(area);
    }
    if (ini && ini->ValueExists(section, kMaximized)) {
        if (ini->ReadBool(section, kMaximized, true))
            w->setWindowState(w->windowState() | Qt::WindowMaximized);
        else
            w->setWindowState(w->windowState() & ~Qt::WindowMaximized);
    }
}

Qt::Orientations TFormBase::FitIntoWorkArea(const QRect& area)
{
    // A size stored at another scale factor or on a larger screen, or a
    // design larger than this screen, would put controls off the screen.
    QWidget* w = m_window;
    const QMargins frame = FrameMargins(w);
    const QSize room = area.size().shrunkBy(frame);
    const QSize minimum = w->minimumSize().boundedTo(room);
    if (minimum != w->minimumSize())
        w->setMinimumSize(minimum);
    const QSize size = w->size().boundedTo(room);
    Qt::Orientations shrunk;
    if (size.width() < w->width())
        shrunk |= Qt::Horizontal;
    if (size.height() < w->height())
        shrunk |= Qt::Vertical;
    if (size != w->size())
        w->resize(size);
    return shrunk;
}

void TFormBase::PlaceAsDesigned(const QRect& area)
{
    QWidget* w = m_window;
    QRect over = area;
    switch (DesignedPosition()) {
        case TFormPosition::Designed:
            return;
        case TFormPosition::OwnerFormCenter:
            if (const QWidget* owner = w->parentWidget() ? w->parentWidget()->window() : nullptr)
                over = owner->frameGeometry();
            break;
        case TFormPosition::DesktopCenter:
            break;
    }
    const QSize size = w->size().grownBy(FrameMargins(w));
    const QPoint corner(over.x() + (over.width() - size.width()) / 2, over.y() + (over.height() - size.height()) / 2);
    // Centred, but never with its top-left corner off the work area.
    w->move(std::max(corner.x(), area.left()), std::max(corner.y(), area.top()));
}

void TFormBase::SaveFormSettings(QString& section)
{
    SavePlacement(section);
}

void TFormBase::SavePlacement(QString& section)
{
    section = m_className;
    TNProfileFile* ini = FormSettingsIni;
    if (!ini || section.isEmpty())
        return;
    QWidget* w = m_window;
    if (w->windowState() & Qt::WindowMaximized) {
        // The normal placement stored by an earlier run stays in the file.
        ini->WriteBool(section, kMaximized, true);
        return;
    }
    ini->WriteBool(section, kMaximized, false);
    ini->WriteInteger(section, kWidth, w->width());
    ini->WriteInteger(section, kHeight, w->height());
    ini->WriteInteger(section, kLeft, w->x());
    ini->WriteInteger(section, kTop, w->y());
}
