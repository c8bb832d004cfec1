// Test main: a QApplication on the main thread (the UI thread), then every test under a watchdog.
#include "common/Watchdog.h"
#include "framework/Look.h"
#include "framework/UiThread.h"
#include "res/Templates.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    fw::initUiThread();
    res::RegisterTemplates(); // the framework knows no template of its own
    fw::InitClassicLook();
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::WatchEveryTest();
    const int result = RUN_ALL_TESTS();
    fw::shutdownUiThread();
    return result;
}
