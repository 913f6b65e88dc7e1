#include "platform/programfolder.h"

#include <QCoreApplication>

namespace {
QString& Override()
{
    static QString folder;
    return folder;
}
}  // namespace

QString IncludeTrailingPathDelimiter(const QString& folder)
{
    if (folder.isEmpty())
        return folder;
    if (folder.endsWith(u'\\'))
        return folder.left(folder.size() - 1) + u'/';
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString ProgramFolder()
{
    if (!Override().isEmpty())
        return Override();
    return IncludeTrailingPathDelimiter(QCoreApplication::applicationDirPath());
}

void SetProgramFolder(const QString& folder) { Override() = IncludeTrailingPathDelimiter(folder); }
