#include "Application.h"
#include "PortControl.h"

#include <gtest/gtest.h>

// One application object for the whole run, with the serial component's
// hand-over wired to it the way the program wires it.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs this program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    lrf::InstallGuiHandOver();
    const int result = RUN_ALL_TESTS();
    lrf::RemoveGuiHandOver();
    return result;
}
