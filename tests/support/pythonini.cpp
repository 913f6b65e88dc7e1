#include "pythonini.h"

#include <QProcess>
#include <QStandardPaths>

QStringList ReadIniWithPython(const QString& path)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return {};
    const char* script = R"(
import configparser, sys
p = configparser.RawConfigParser()
p.optionxform = str
p.read(sys.argv[1], encoding='utf-8')
for s in p.sections():
    for k, v in p.items(s):
        print(s + '|' + k + '|' + v)
)";
    QProcess proc;
    proc.start(python, {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!proc.waitForFinished(30000) || proc.exitCode() != 0)
        return {QStringLiteral("python failed: ") + QString::fromUtf8(proc.readAllStandardError())};
    return QString::fromUtf8(proc.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
