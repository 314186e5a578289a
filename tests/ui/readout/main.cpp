#include <QApplication>
#include <QPalette>
#include <gtest/gtest.h>

#include "CellImages.h"
#include "Fonts.h"

// The readout tests need a real application object; a button colour that differs
// clearly from white and black keeps outline pixels distinguishable.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Test discovery runs this program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's faces, as the program loads them: a system without them
    // (Windows) would otherwise lay the panels out in a wider stand-in.
    lrf::LoadWindowFonts();
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Button, lrf::test::kButtonFace);
    QApplication::setPalette(palette);
    return RUN_ALL_TESTS();
}
