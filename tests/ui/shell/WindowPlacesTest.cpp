// Where the windows open for a few screens and scale factors. A scale factor
// divides the screen: 1920 x 1080 at 1.5 is 1280 x 720 for the windows, at 2
// 960 x 540. Frames: main 776 x 347 with its title bar, log 776 x 264, chart
// 520 x 360.

#include "WindowPlaces.h"

#include <gtest/gtest.h>

namespace {

using namespace lrf;

const QSize kMain(776, 347);
const QSize kLog(776, 264);

TEST(WindowPlaces, MainWindowAtItsPlaceWhereTheScreenHasRoomElseInside) {
    const struct {
        const char* name;
        QRect screen, available, expected;
    } cases[] = {
        {"full HD", {0, 0, 1920, 1080}, {0, 0, 1920, 1050}, {338, 324, 776, 347}},
        {"scale 1.5", {0, 0, 1280, 720}, {0, 0, 1280, 690}, {338, 324, 776, 347}},
        {"scale 2", {0, 0, 960, 540}, {0, 0, 960, 510}, {184, 163, 776, 347}},
        {"panel at the top", {0, 0, 960, 540}, {0, 40, 960, 500}, {184, 193, 776, 347}},
        {"second screen", {1920, 0, 1280, 720}, {1920, 0, 1280, 720}, {2258, 324, 776, 347}},
        {"smaller than the window", {0, 0, 640, 300}, {0, 0, 640, 300}, {0, 0, 776, 347}},
    };
    for (const auto& c : cases) {
        const QRect place = MainWindowPlace(c.screen, c.available, kMain);
        EXPECT_EQ(place, c.expected) << c.name;
        if (c.available.width() >= kMain.width() && c.available.height() >= kMain.height()) {
            EXPECT_TRUE(c.available.contains(place)) << c.name;
        }
    }
}

TEST(WindowPlaces, LogWindowNeverCoversTheMainWindowWhereBothFit) {
    const struct {
        const char* name;
        QRect available, mainFrame;
        QPoint mainTopLeft;
        QRect log;
    } cases[] = {
        {"below", {0, 0, 1920, 1050}, {338, 324, 776, 347}, {338, 324}, {338, 671, 776, 264}},
        {"beside", {0, 0, 1920, 690}, {338, 324, 776, 347}, {338, 324}, {1114, 324, 776, 264}},
        // Scale 1.5: neither below nor beside; the main window moves up.
        {"main moves up", {0, 0, 1280, 690}, {338, 324, 776, 347}, {338, 79}, {338, 426, 776, 264}},
        // Scale 2: too low for both; the log window takes the height left.
        {"log shortened", {0, 0, 960, 510}, {184, 163, 776, 347}, {184, 0}, {184, 347, 776, 163}},
        {"too low for any log", {0, 0, 960, 400}, {0, 0, 776, 347}, {0, 0}, {0, 136, 776, 264}},
    };
    for (const auto& c : cases) {
        const WindowPair pair = PlaceWindowPair(c.mainFrame, kLog, c.available);
        EXPECT_EQ(pair.mainTopLeft, c.mainTopLeft) << c.name;
        EXPECT_EQ(pair.log, c.log) << c.name;
        const QRect main(pair.mainTopLeft, c.mainFrame.size());
        EXPECT_TRUE(c.available.contains(pair.log)) << c.name;
        if (c.available.height() >= kMain.height() + 120) {
            EXPECT_FALSE(main.intersects(pair.log)) << c.name;
        }
    }
}

TEST(WindowPlaces, ChartBesideTheLogWindowNeverAtTheCorner) {
    const QSize chart(520, 360);
    const struct {
        const char* name;
        QRect available, logFrame, expected;
    } cases[] = {
        {"right", {0, 0, 1920, 1050}, {338, 671, 776, 264}, {1114, 671, 520, 360}},
        {"left", {0, 0, 1920, 1050}, {1100, 500, 776, 264}, {580, 500, 520, 360}},
        {"lower right", {0, 0, 960, 510}, {184, 347, 776, 163}, {440, 150, 520, 360}},
    };
    for (const auto& c : cases) {
        const QRect place = ChartPlace(c.logFrame, chart, c.available);
        EXPECT_EQ(place, c.expected) << c.name;
        EXPECT_TRUE(c.available.contains(place)) << c.name;
        EXPECT_NE(place.topLeft(), c.available.topLeft()) << c.name;
    }
}

} // namespace
