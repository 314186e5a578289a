#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the windows open, as frame rectangles in the desktop's logical pixels
// (after any scale factor). Pure functions of the screen's rectangles, so that
// every screen and scale can be tried without one.
namespace lrf {

// The main window's place as the program was laid out.
inline constexpr QPoint kMainWindowPlace{338, 324};

// The main window's frame of size `frame` on a screen whose whole area is
// `screen` and whose free area (without panels) is `available`: at its design
// place on that screen where it lies inside the free area, otherwise moved up
// and left just enough; a window larger than the free area starts at its top
// left corner.
QRect MainWindowPlace(const QRect& screen, const QRect& available, const QSize& frame);

// The main window's top left and the log window's frame when the log window is
// shown. The log window goes directly below the main window, else beside it
// (LogWindowPlace). Where neither fits, the main window moves up as far as
// needed for the log window to fit below it; on a screen too low for both,
// the main window goes to the top and the log window below it with the height
// left (at least `smallestLog`), else over the lowest part of the main window.
struct WindowPair {
    QPoint mainTopLeft;
    QRect log;
};
WindowPair PlaceWindowPair(const QRect& mainFrame, const QSize& logSize, const QRect& available,
                           int smallestLog = 120);

// The chart window's frame: to the right of the log window, else to its left,
// top edges level; else inside the free area at its lower right, never over
// the main window's top left corner.
QRect ChartPlace(const QRect& logFrame, const QSize& size, const QRect& available);

} // namespace lrf
