#pragma once
// The rules of the options dialog that need no window: the popup delay
// edit, the new-password check and its messages, the page remembered in
// "FormSettings.ini", the colour form of DatabaseCaptionColor, and OK and
// Cancel on the option store. Main thread only.

#include <QColor>
#include <QString>
#include <QStringList>

class TSCGOptions;

constexpr int PopupDelayMin = 0;  // 0: the popup stays until clicked
constexpr int PopupDelayMax = 180;
constexpr int NumericLengthMin = 1;
constexpr int NumericLengthMax = 1000;

// What the popup delay edit shows after a change, and the arrows' position
// (which PopupWinDelay takes). A number is clamped into 0..180; any other
// text (an empty one included) brings back the stored delay.
struct TNDelayEdit {
    int Position = 0;
    QString Text;
};
TNDelayEdit PopupDelayEdit(const QString& text, int storedDelay);

// The apply-password action is enabled while the typed password is another
// one than the current: letter case alone makes no other password.
bool NewPasswordDiffers(const QString& typed, const QString& current);

// Applying a new password: the new and the confirming text must match
// (letter case aside). Message is the box's text for the role's word.
struct TNPasswordCheck {
    bool Matched = false;
    QString Message;
};
TNPasswordCheck CheckNewPassword(const QString& newText, const QString& confirmText, const QString& roleWord);

// The page to show: the stored index when it names one of the pages, else
// the designed one.
int PageToShow(int storedIndex, int pageCount, int designedPage);

// DatabaseCaptionColor is kept as 0x00BBGGRR.
quint32 BGRFromColor(const QColor& color);

// The folder of the program without its trailing separator (the shared-data
// folder's fallback).
QString ProgramFolderWithoutSeparator();

// OK and Cancel on the store. OK runs the handlers of the changed options
// and writes "Settings.ini"; when a write fails the operator sees the INI
// error and the unwritten changes stay pending (OK may be pressed again).
// Their handlers have run by then, so a Cancel after such a failure puts the
// saved values of those options back into effect as well.
class TNOptionsApplier {
public:
    explicit TNOptionsApplier(TSCGOptions& options) : m_options(options) {}

    // True when every option was applied and written.
    bool Apply();
    void Cancel();

private:
    TSCGOptions& m_options;
    QStringList m_inEffectUnsaved;  // handlers ran, values not written
};
