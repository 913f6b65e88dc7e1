#include "foundation/formbase.h"

#include "foundation/formsettings.h"
#include "platform/closereport.h"
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

// Moves a window's top-left corner left or up until its frame lies wholly
// inside the work area; a frame wider or taller than the area starts at its
// left or top edge.
QPoint InsideWorkArea(QPoint corner, const QSize& frame, const QRect& area)
{
    corner.setX(std::max(std::min(corner.x(), area.x() + area.width() - frame.width()), area.left()));
    corner.setY(std::max(std::min(corner.y(), area.y() + area.height() - frame.height()), area.top()));
    return corner;
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
    m_designMinimum = m_window->minimumSize();
    QString section;
    LoadFormSettings(section);
    OnProgramClose(m_window, [this] { StoreFormSettings(); });
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
    // A stored size below the window's minimum (saved by a run that had to
    // squeeze it) is raised to the minimum, and its stored corner, which
    // belonged to the squeezed window, gives way to the designed place.
    bool corrected = false;
    if (ini) {
        const int width = ini->ReadInteger(section, kWidth, -1);
        const int height = ini->ReadInteger(section, kHeight, -1);
        if (width != -1 && height != -1) {
            const QSize stored(width, height);
            const QSize raised = stored.expandedTo(w->minimumSize());
            corrected = raised != stored;
            w->resize(raised);
        }
    }
    FitIntoWorkArea(area);
    const bool hasLeft = ini && ini->ValueExists(section, kLeft);
    const bool hasTop = ini && ini->ValueExists(section, kTop);
    if ((hasLeft || hasTop) && !corrected) {
        // The work area's edges as closed ranges of pixels on it, so that no
        // stored corner puts the window wholly off the screen.
        const int left = Clamp(hasLeft ? ini->ReadInteger(section, kLeft, w->x()) : w->x(), area.left(), area.right());
        const int top = Clamp(hasTop ? ini->ReadInteger(section, kTop, w->y()) : w->y(), area.top(), area.bottom());
        // A corner stored at another scale factor or on a larger screen
        // would leave part of the window (its buttons) off the screen.
        w->move(InsideWorkArea(QPoint(left, top), w->size().grownBy(FrameMargins(w)), area));
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

void TFormBase::FitIntoWorkArea(const QRect& area)
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
    if (size != w->size())
        w->resize(size);
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
    // Centred, but never reaching off the work area.
    w->move(InsideWorkArea(corner, size, area));
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
    // A window squeezed below its minimum to fit a small work area (a large
    // scale factor) keeps the size and place of an earlier run instead.
    if (w->width() < m_designMinimum.width() || w->height() < m_designMinimum.height())
        return;
    ini->WriteInteger(section, kWidth, w->width());
    ini->WriteInteger(section, kHeight, w->height());
    ini->WriteInteger(section, kLeft, w->x());
    ini->WriteInteger(section, kTop, w->y());
}
