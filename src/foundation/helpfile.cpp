#include "foundation/helpfile.h"

#include "platform/programfolder.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace {
QString& HelpPath()
{
    static QString path;
    return path;
}

std::function<bool(const QUrl&)>& Opener()
{
    static std::function<bool(const QUrl&)> opener;
    return opener;
}
}  // namespace

void SetHelpFile(const QString& path)
{
    HelpPath() = path;
}

QString HelpFile()
{
    return HelpPath().isEmpty() ? ProgramFolder() + QStringLiteral("Help.chm") : HelpPath();
}

bool ShowHelpTopic(int topic)
{
    const QString file = HelpFile();
    if (!QFileInfo(file).isFile())
        return false;
    // Desktop handlers of the file open it at its start; none of them takes
    // a help context, and a fragment would make some of them fail.
    Q_UNUSED(topic);
    const QUrl url = QUrl::fromLocalFile(file);
    if (Opener())
        return Opener()(url);
    return QDesktopServices::openUrl(url);
}

void SetHelpOpener(std::function<bool(const QUrl&)> opener)
{
    Opener() = std::move(opener);
}
