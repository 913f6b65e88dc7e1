#pragma once
// The options data module: the program's option table (26 options in
// "Settings.ini") with the change handlers that put applied values into
// effect, and the program-wide copies of a few option values.
//
// Creating the module sets up the table, loads "Settings.ini", points the
// global Options at its store and fills NumericAllowedChars,
// MaxNumericLength and DatabaseCaptionColor. Every option is written back
// when the program closes (a close step, before any window goes), or, for a
// module destroyed otherwise, when it is destroyed; a failed write is told
// among the failures of the close (ReportCloseFailure) and shut-down goes on
// (the destructor never throws and shows nothing).

#include "foundation/options.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

class TDModOptions : public QObject {
    Q_OBJECT
public:
    explicit TDModOptions(QObject* parent = nullptr);
    ~TDModOptions() override;

    TSCGOptions& SCGOptions() { return m_options; }

private:
    void OnApplyLargeTreeIcons(TNOption* sender);
    void OnApplyAddDisplayNameToMessage(TNOption* sender);
    void OnApplyFollowedByChar(TNOption* sender);
    void OnApplyEntryInUpperCase(TNOption* sender);
    void OnApplyMaxNumericLength(TNOption* sender);
    void OnApplyNumericAllowedChars(TNOption* sender);
    void OnApplyDatabaseCaptionColor(TNOption* sender);
    void OnApplyPrefixAddInEditor(TNOption* sender);
    void OnApplyPopupWinDelay(TNOption* sender);
    void OnApplyPopupWinPos(TNOption* sender);
    void OnApplyPopupForSuccess(TNOption* sender);
    void OnApplyPopupForFailure(TNOption* sender);

    // Writes every option back, once; a failure is reported, not thrown.
    void SaveOnce() noexcept;

    TSCGOptions m_options;
    bool m_saved = false;
};

// Program-wide copies of option values (initial values before any handler
// or reader has set them).
extern bool AddDisplayNameToMessage;  // false
extern bool PrefixAddInEditor;        // false
extern bool EntryInUpperCase;         // false
extern QString FollowedByChar;        // ":"
extern QString NumericAllowedChars;   // "0123456789[]-"
extern int MaxNumericLength;          // 20
extern quint32 DatabaseCaptionColor;  // 16711680 (0x00BBGGRR: blue)
extern quint8 PopupWinPos;            // 3: popup edge code (3 bottom right ... 0 middle left)
extern int PopupWinDelay;             // 60 seconds
// Whether a delivery report pops up. The message processor's thread reads
// them at each report; the main thread sets them at module creation, when
// the options are applied and when a send starts (RefreshPopupReportFlags).
extern std::atomic<bool> PopupForSuccess;  // false
extern std::atomic<bool> PopupForFailure;  // true
// Main thread: the two flags take the options' current values.
void RefreshPopupReportFlags();

// Hooks that later windows install (empty: nothing happens).
// The folder tree switches between its large and small images.
extern std::function<void(bool)> OnLargeTreeIconsChanged;
// The message editor recounts its length display.
extern std::function<void()> OnMessageEditorOptionsChanged;
// The folder tree repaints its address-book captions in DatabaseCaptionColor.
extern std::function<void()> OnDatabaseCaptionColorChanged;

// The popup edge code of an option value of PopupWinPos (0 gives 3, 1 gives
// 2, 2 gives 1, 3 gives 0); -1 for a value outside 0..3.
int PopupEdgeCode(int optionValue);
