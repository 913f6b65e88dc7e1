#include "data/shareddatafolder.h"

#include "foundation/options.h"
#include "platform/programfolder.h"

#include <QDir>

namespace {
const QString kSharedData = QStringLiteral("SharedData");
}

QString GetSharedDataFolder()
{
    TNOption* option = Options->OptionByName(QStringLiteral("SharedDataFolder"));
    QString folder = IncludeTrailingPathDelimiter(option->AsString());
    // A relative folder (the default "SharedData" among them) lies in the
    // program's folder, as the settings files do, wherever the program was
    // started from.
    if (!folder.isEmpty() && QDir::isRelativePath(folder)) {
        folder = ProgramFolder() + folder;
        // The default names a folder that does not exist on the first start,
        // so the caches go to the program's folder + "SharedData", and the
        // option becomes the program's folder, which is saved only when the
        // program ends in order. After a crash the option is still relative
        // and names that very folder, which exists by now: it stands for the
        // program's folder again, so the caches are found where they are.
        if (QDir::cleanPath(folder) == QDir::cleanPath(ProgramFolder() + kSharedData))
            folder.clear();
    }
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = ProgramFolder();
        option->SetValue(folder);
    }
    return folder + kSharedData;
}
