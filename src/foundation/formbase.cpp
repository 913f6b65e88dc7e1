#include "foundation/formbase.h"

#include "foundation/formsettings.h"
#include "platform/profilefile.h"

#include <QMetaObject>
#include <QWidget>

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
    if (!ini)
        return;
    QWidget* w = m_window;
    // The normal size and position are restored beneath a maximised state
    // too, so that un-maximising shows the placement of the last normal run.
    const int width = ini->ReadInteger(section, kWidth, -1);
    const int height = ini->ReadInteger(section, kHeight, -1);
    if (width != -1 && height != -1)
        w->resize(width, height);
    const QRect area = FormSettingsWorkArea();
    // The work area's edges as closed ranges: right and bottom one past the last pixel.
    const int left = Clamp(ini->ReadInteger(section, kLeft, w->x()), area.left(), area.left() + area.width());
    const int top = Clamp(ini->ReadInteger(section, kTop, w->y()), area.top(), area.top() + area.height());
    w->move(left, top);
    if (ini->ValueExists(section, kMaximized)) {
        if (ini->ReadBool(section, kMaximized, true))
            w->setWindowState(w->windowState() | Qt::WindowMaximized);
        else
            w->setWindowState(w->windowState() & ~Qt::WindowMaximized);
    }
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
