#pragma once
// TFormBase: placement of a window kept in "FormSettings.ini".
//
// A mixin beside the Qt window class, so the main window (QMainWindow) and
// the dialogs (QDialog) share it:
//
//     class TFormOptions : public QDialog, public TFormBase {
//         TFormOptions(QWidget* parent) : QDialog(parent), TFormBase(this)
//         {   ...build the controls, resize to the designed size...
//             RestoreFormSettings();   // last step of the constructor
//         }
//         ~TFormOptions() override { StoreFormSettings(); }  // first step
//     };
//
// RestoreFormSettings makes the designed size the minimum when
// DesignSizeIsMinimum says so, then runs LoadFormSettings; StoreFormSettings
// runs SaveFormSettings. Overrides call the base first and then read or write
// their own keys in the section it hands back (the window's class name, as
// moc knows it, e.g. "TFormMain"). Without the explicit call the base
// destructor saves the placement alone. When the program closes, every
// window still there stores its settings before any window goes (a close
// step, see platform/closereport.h); its destructor then stores nothing.
//
// Only stored values move a window: one never saved keeps its designed size
// and the place its DesignedPosition names (the window system's choice, or
// centred). A restored size, and a designed minimum, never exceed the work
// area; a stored size below the minimum is raised to it and the window then
// opens at its designed place. A stored Left or Top outside the work area
// moves to its left or top edge, and a window that fits the work area is
// moved left and up until it lies wholly inside it (one that does not fit
// starts at its left or top edge). A size below the designed minimum is
// never stored. Main thread only.

#include <QSize>
#include <QString>

class QRect;

class QWidget;

// Where a window without a stored position opens: where its constructor or
// the window system puts it, centred on the desktop's work area, or centred
// over its owner's window (the work area when it has none).
enum class TFormPosition { Designed, DesktopCenter, OwnerFormCenter };

class TFormBase {
public:
    explicit TFormBase(QWidget* window);
    virtual ~TFormBase();
    TFormBase(const TFormBase&) = delete;
    TFormBase& operator=(const TFormBase&) = delete;

    QWidget* FormWidget() const { return m_window; }

protected:
    virtual void LoadFormSettings(QString& section);
    virtual void SaveFormSettings(QString& section);
    virtual bool DesignSizeIsMinimum() const { return false; }
    virtual TFormPosition DesignedPosition() const { return TFormPosition::Designed; }

    void RestoreFormSettings();
    // Never throws: a failed write is reported to the operator.
    void StoreFormSettings();

private:
    void SavePlacement(QString& section);
    void FitIntoWorkArea(const QRect& area);
    void PlaceAsDesigned(const QRect& area);

    QWidget* m_window;
    QString m_className;    // taken while the window is whole
    QSize m_designMinimum;  // before any cut to the work area
    bool m_saved = false;
};
