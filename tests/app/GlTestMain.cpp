// The entry of the window tests that need the GL view: the display that is there (the test runs
// under xvfb-run), offscreen only without one, where the tests skip themselves.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/MyApplication.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    Q_INIT_RESOURCE(vedora);
    MyApplication app(argc, argv);
    QCoreApplication::setApplicationName("vedora");
    return RUN_ALL_TESTS();
}
