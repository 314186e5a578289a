#pragma once

#include "LocalTime.h"
#include "SystemSeparators.h"

#include <QString>

class QRect;
class QSize;
class QWidget;

namespace lrf {

class TFrmShowData;

// What the main window's buttons do with the log window.

// btnShowDataClick: places the log window directly below the main window (same
// left edge, top at the main window's bottom frame edge) when it fits there on
// the main window's screen, otherwise where PlaceWindowPair puts the two
// (WindowPlaces.h), which may move the main window up; shows it and selects
// its last row.
void btnShowDataClick(QWidget& mainWindow, TFrmShowData& logWindow);

// The log window's frame rectangle, of frame size `size`, for a main window
// whose frame is `mainFrame` on a screen whose free area is `screen`: directly
// below the main window when that lies on the screen; otherwise beside it, to
// the right or to the left, top edges level; otherwise below it, moved up and
// sideways just enough to lie on the screen (covering part of the main window).
// A window larger than the screen starts at the screen's top left corner.
QRect LogWindowPlace(const QRect& mainFrame, const QSize& size, const QRect& screen);

// The save dialog's settings: one filter "*.csv", default suffix "csv".
inline const QString kCsvFilter = QStringLiteral("*.csv");
inline const QString kCsvSuffix = QStringLiteral("csv");

// btnSaveDataClick: asks for a file name through lrf::dialogs() (starting from
// the previous one); on a choice, stores it in logWindow.SaveFileName and sends
// WM_DATA_SAVE. Returns false when the operator cancelled. A file error is
// shown by the application object.
bool btnSaveDataClick(QWidget& mainWindow, TFrmShowData& logWindow);

} // namespace lrf
