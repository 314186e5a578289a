#include "WindowPlaces.h"

#include <algorithm>

namespace lrf {

namespace {

// Moves `place` up and left (or down and right) just enough to lie inside
// `area`; a place larger than the area keeps the area's top left corner.
QRect Inside(QRect place, const QRect& area) {
    // QRect::right() and bottom() are the last pixel inside, hence the + 1.
    place.moveLeft(std::max(area.left(), std::min(place.left(), area.right() + 1 - place.width())));
    place.moveTop(std::max(area.top(), std::min(place.top(), area.bottom() + 1 - place.height())));
    return place;
}

QRect Below(const QRect& frame, const QSize& size) {
    return {QPoint(frame.left(), frame.bottom() + 1), size};
}

} // namespace

QRect MainWindowPlace(const QRect& screen, const QRect& available, const QSize& frame) {
    return Inside(QRect(screen.topLeft() + kMainWindowPlace, frame), available);
}

WindowPair PlaceWindowPair(const QRect& mainFrame, const QSize& logSize, const QRect& available,
                           int smallestLog) {
    const QRect below = Below(mainFrame, logSize);
    const QRect right(QPoint(mainFrame.right() + 1, mainFrame.top()), logSize);
    const QRect left(QPoint(mainFrame.left() - logSize.width(), mainFrame.top()), logSize);
    for (const QRect& place : {below, right, left})
        if (available.contains(place))
            return {mainFrame.topLeft(), place};

    // Stacked, moved up as far as needed (and inside the screen sideways).
    QRect main = Inside(mainFrame, available);
    if (available.bottom() - main.bottom() < logSize.height())
        main.moveTop(
            std::max(available.top(), available.bottom() + 1 - logSize.height() - main.height()));
    QRect log = Inside(Below(main, logSize), available);
    const int left_below = available.bottom() - main.bottom();
    if (log.intersects(main) && left_below >= smallestLog)
        log = QRect(QPoint(log.left(), main.bottom() + 1), QSize(logSize.width(), left_below));
    return {main.topLeft(), log};
}

QRect ChartPlace(const QRect& logFrame, const QSize& size, const QRect& available) {
    const QRect right(QPoint(logFrame.right() + 1, logFrame.top()), size);
    const QRect left(QPoint(logFrame.left() - size.width(), logFrame.top()), size);
    for (const QRect& place : {right, left})
        if (available.contains(place))
            return place;
    return Inside(
        QRect(available.bottomRight() - QPoint(size.width(), size.height()) + QPoint(1, 1), size),
        available);
}

} // namespace lrf
