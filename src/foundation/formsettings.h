#pragma once
// The window-placement file "FormSettings.ini" beside the program, shared by
// every window for the whole run (one section per window class).
//
// TFormSettingsFile owns it: the start-up sequence makes one before the first
// window and frees it after the last window has been destroyed. While it
// exists FormSettingsIni points at the file; windows made without one (in
// tests, say) simply keep their designed placement.
//
// Every write goes to disk at once and throws EProfileFileError when it
// fails. Windows save when the program closes (and, should they go before,
// while they are destroyed), so they report such a failure through
// ReportFormSettingsError instead of throwing; the operator is told once per
// run, however many windows fail. Main thread only.

#include <QRect>
#include <memory>

class TNProfileFile;
class EProfileFileError;

extern TNProfileFile* FormSettingsIni;

class TFormSettingsFile {
public:
    // Opens ProgramFolder() + "FormSettings.ini" and takes the work area.
    TFormSettingsFile();
    // Writes the file once more (which makes it when nothing was written);
    // a failed write is reported, not thrown.
    void Flush();
    // Flushes the file unless Flush ran, and frees it.
    ~TFormSettingsFile();
    TFormSettingsFile(const TFormSettingsFile&) = delete;
    TFormSettingsFile& operator=(const TFormSettingsFile&) = delete;

    TNProfileFile& File() { return *m_file; }

private:
    std::unique_ptr<TNProfileFile> m_file;
    bool m_flushed = false;
};

// The work area taken when the file was opened (the current one without a file).
QRect FormSettingsWorkArea();

// Tells "Unable to write to <path>" once per run, among the failures of the
// close (ReportCloseFailure): never a box from where it is called.
void ReportFormSettingsError(const EProfileFileError& error);
