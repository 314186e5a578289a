#include "Application.h"

#include <gtest/gtest.h>

// The journal's tests run in the program's own application object, with the
// log window offscreen, so that a failed save is shown as the program shows it.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
