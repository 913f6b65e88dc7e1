// Entry point of every test program: a QApplication on the offscreen
// platform (so widget tests run without a screen), then GoogleTest. With
// "--hold-instance-lock PATH" the program is instead another running copy of
// Tovix for the tests of the one-copy rule (support/lockholder.h).
#include "support/lockholder.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--hold-instance-lock") == 0)
        return RunLockHolder(QString::fromLocal8Bit(argv[2]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovix 2"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
