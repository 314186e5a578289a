#include "Application.h"

#include <gtest/gtest.h>

// The window tests need one application object for the whole run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    lrf::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
