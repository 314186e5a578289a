#include "Application.h"

#include <gtest/gtest.h>

// The log window's tests run inside the program's own application object, so
// that errors thrown by its handlers are shown the way the program shows them.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // ctest lists the tests without the test environment; no display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
