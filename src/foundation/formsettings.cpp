#include "foundation/formsettings.h"

#include "foundation/workarea.h"
#include "platform/closereport.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"

TNProfileFile* FormSettingsIni = nullptr;

namespace {
QRect g_workArea;
bool g_errorReported = false;
}  // namespace

TFormSettingsFile::TFormSettingsFile()
    : m_file(std::make_unique<TNProfileFile>(ProgramFolder() + QStringLiteral("FormSettings.ini")))
{
    g_workArea = WorkArea();
    g_errorReported = false;
    FormSettingsIni = m_file.get();
}

void TFormSettingsFile::Flush()
{
    m_flushed = true;
    try {
        m_file->UpdateFile();
    } catch (const EProfileFileError& error) {
        ReportFormSettingsError(error);
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

TFormSettingsFile::~TFormSettingsFile()
{
    if (FormSettingsIni == m_file.get())
        FormSettingsIni = nullptr;
    if (!m_flushed)
        Flush();
}

QRect FormSettingsWorkArea()
{
    return FormSettingsIni ? g_workArea : WorkArea();
}

void ReportFormSettingsError(const EProfileFileError& error)
{
    if (g_errorReported)
        return;
    g_errorReported = true;
    ReportCloseFailure(error.Message());
}
