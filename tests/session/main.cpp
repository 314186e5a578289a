#include "MainPort.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// An event loop without windows, with the serial component's hand-over wired
// to it, as lrfmeasure has.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    lrf::InstallGuiHandOver();
    const int result = RUN_ALL_TESTS();
    lrf::RemoveGuiHandOver();
    return result;
}
