#include "Application.h"
#include "MainPort.h"

#include <gtest/gtest.h>

// One application object for the whole run (the window program's log is the
// reference), with the serial component's hand-over wired to it.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    lrf::InstallGuiHandOver();
    const int result = RUN_ALL_TESTS();
    lrf::RemoveGuiHandOver();
    return result;
}
