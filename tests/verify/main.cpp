#include <QGuiApplication>

#include <gtest/gtest.h>

// The report needs fonts and images: a GUI application on the offscreen platform.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
