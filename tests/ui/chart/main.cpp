#include "Application.h"

#include <gtest/gtest.h>

// The window tests need one application object for the whole run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs this program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
