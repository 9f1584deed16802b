#include <gtest/gtest.h>

#include <QApplication>

// Every test binary gets an application object (offscreen unless told otherwise), so that
// widgets, fonts, timers and child processes work as in the program.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
