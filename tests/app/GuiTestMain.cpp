// The window tests' entry: a real application object, offscreen unless a display is chosen.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/MyApplication.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // CTest lists the tests at build time, where no display may exist.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Keep the tests' fallback settings out of the real user's configuration folder.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    Q_INIT_RESOURCE(vedora);
    MyApplication app(argc, argv);
    QCoreApplication::setApplicationName("vedora");
    return RUN_ALL_TESTS();
}
