#include "data/shareddatafolder.h"

#include "foundation/options.h"
#include "platform/programfolder.h"

#include <QDir>

QString GetSharedDataFolder()
{
    TNOption* option = Options->OptionByName(QStringLiteral("SharedDataFolder"));
    QString folder = IncludeTrailingPathDelimiter(option->AsString());
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = ProgramFolder();
        option->SetValue(folder);
    }
    return folder + QStringLiteral("SharedData");
}
