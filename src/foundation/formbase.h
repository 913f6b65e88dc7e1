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
// destructor saves the placement alone.
//
// Only stored values move a window: one never saved keeps its designed size
// and the place its DesignedPosition names (the window system's choice, or
// centred). A restored size, and a designed minimum, never exceed the work
// area; a stored Left or Top outside the work area moves to its left or top
// edge, and so does one of a window cut down to the work area's width or
// height. Main thread only.

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
    // The directions in which the window had to be made smaller.
    Qt::Orientations FitIntoWorkArea(const QRect& area);
    void PlaceAsDesigned(const QRect& area);

    QWidget* m_window;
    QString m_className;  // taken while the window is whole
    bool m_saved = false;
};
