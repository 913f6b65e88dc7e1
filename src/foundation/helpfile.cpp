#include "foundation/helpfile.h"

#include "platform/messagedlg.h"
#include "platform/programfolder.h"

#include <QDesktopServices>
#include <QDir>
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
    const QString file = QDir::toNativeSeparators(HelpFile());
    if (!QFileInfo(file).isFile()) {
        MessageDlg(QStringLiteral("The help file \"%1\" was not found beside the program.").arg(file),
                   TMsgDlgType::mtWarning, mbOK);
        return false;
    }
    // Desktop handlers of the file open it at its start; none of them takes
    // a help context, and a fragment would make some of them fail.
    Q_UNUSED(topic);
    const QUrl url = QUrl::fromLocalFile(file);
    if (Opener() ? Opener()(url) : QDesktopServices::openUrl(url))
        return true;
    MessageDlg(QStringLiteral("The help file \"%1\" could not be opened: no program is set up to show it.").arg(file),
               TMsgDlgType::mtWarning, mbOK);
    return false;
}

void SetHelpOpener(std::function<bool(const QUrl&)> opener)
{
    Opener() = std::move(opener);
}
