// Test main of the panel tests: a QApplication on the main thread, every test under a watchdog.
// Run with --panel-child=<mode> it is one of the tests' child runs instead.
#include "PanelChild.h"

#include "common/Watchdog.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    constexpr const char *kChild = "--panel-child=";
    if (argc >= 2 && std::strncmp(argv[1], kChild, std::strlen(kChild)) == 0)
        return paneltest::childMain(argv[1] + std::strlen(kChild), argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::WatchEveryTest();
    return RUN_ALL_TESTS();
}
