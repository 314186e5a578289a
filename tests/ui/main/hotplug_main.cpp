#include "Application.h"
#include "FakeUdevPreload.h"

#include <gtest/gtest.h>

// The window tests over a fake udev device tree need umockdev's preload library
// from the start, and one application object for the whole run.
int main(int argc, char** argv) {
    RestartUnderFakeUdev(argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    lrf::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
