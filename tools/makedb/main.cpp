// tovix2-makedb <folder>: creates "LocalData2.mdb" and "Tovix2Database.mdb"
// in the folder from the schema SQL when they are absent; existing files are
// left alone. Exit code 0 on success, 1 on failure, 2 on wrong use.
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include "db/databasefiles.h"
#include "db/dberror.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        err << "usage: tovix2-makedb <folder>\n";
        return 2;
    }
    const QString folder = args.at(1);
    if (!QDir(folder).exists()) {
        err << "tovix2-makedb: no folder \"" << folder << "\"\n";
        return 1;
    }
    try {
        for (const QString& name : CreateMissingDatabaseFiles(folder))
            out << "created " << QDir(folder).filePath(name) << "\n";
    } catch (const EDatabaseError& e) {
        err << "tovix2-makedb: " << e.Message() << "\n";
        return 1;
    }
    return 0;
}
