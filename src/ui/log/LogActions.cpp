#include "LogActions.h"

#include "Dialogs.h"
#include "LogEvents.h"
#include "ShowDataFrm.h"
#include "WindowPlaces.h"

#include <QCoreApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace lrf {

QRect LogWindowPlace(const QRect& mainFrame, const QSize& size, const QRect& screen) {
    const QRect below(QPoint(mainFrame.left(), mainFrame.top() + mainFrame.height()), size);
    const QRect right(QPoint(mainFrame.left() + mainFrame.width(), mainFrame.top()), size);
    const QRect left(QPoint(mainFrame.left() - size.width(), mainFrame.top()), size);
    for (const QRect& place : {below, right, left})
        if (screen.contains(place))
            return place;
    // QRect::right() and bottom() are the last pixel inside, hence the + 1.
    const int x =
        std::max(screen.left(), std::min(below.left(), screen.right() + 1 - size.width()));
    const int y =
        std::max(screen.top(), std::min(below.top(), screen.bottom() + 1 - size.height()));
    return {QPoint(x, y), size};
}

void btnShowDataClick(QWidget& mainWindow, TFrmShowData& logWindow) {
    const QRect frame = mainWindow.frameGeometry();
    // Until the log window has been shown once its frame is not known: take
    // the main window's, both being decorated alike.
    QSize margins = logWindow.frameGeometry().size() - logWindow.size();
    if (margins.isNull())
        margins = frame.size() - mainWindow.size();
    const QSize size = logWindow.size() + margins;
    QRect place(QPoint(frame.left(), frame.top() + frame.height()), size);
    if (const QScreen* screen = mainWindow.screen()) {
        // Both windows on the screen, the main window's controls uncovered
        // where the screen is high enough for both.
        const WindowPair pair = PlaceWindowPair(frame, size, screen->availableGeometry());
        if (pair.mainTopLeft != frame.topLeft())
            mainWindow.move(pair.mainTopLeft);
        place = pair.log;
        if (place.size() != size)
            logWindow.resize(place.size() - margins);
    }
    logWindow.move(place.topLeft());
    logWindow.show();
    logWindow.GotoLastRow();
}

bool btnSaveDataClick(QWidget& mainWindow, TFrmShowData& logWindow) {
    const QString name =
        dialogs().getSaveFileName(&mainWindow, logWindow.SaveFileName, kCsvFilter, kCsvSuffix);
    if (name.isEmpty())
        return false;
    logWindow.SaveFileName = name;
    QEvent save(WM_DATA_SAVE);
    QCoreApplication::sendEvent(&logWindow, &save);
    return true;
}

} // namespace lrf
