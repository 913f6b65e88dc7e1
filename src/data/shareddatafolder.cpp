#include "data/shareddatafolder.h"

#include "foundation/options.h"
#include "platform/programfolder.h"

#include <QDir>

QString GetSharedDataFolder()
{
    TNOption* option = Options->OptionByName(QStringLiteral("SharedDataFolder"));
    QString folder = IncludeTrailingPathDelimiter(option->AsString());
    // A relative folder (the default "SharedData" among them) lies in the
    // program's folder, as the settings files do, wherever the program was
    // started from.
    if (!folder.isEmpty() && QDir::isRelativePath(folder))
        folder = ProgramFolder() + folder;
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = ProgramFolder();
        option->SetValue(folder);
    }
    return folder + QStringLiteral("SharedData");
}
