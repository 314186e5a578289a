#pragma once

#include "LocalTime.h"

#include <QString>

class QLocale;
class QWidget;

namespace lrf {

class TFrmShowData;

// What the main window's buttons do with the log window.

// btnShowDataClick: places the log window directly below the main window (same
// left edge, top at the main window's bottom frame edge), shows it and selects
// its last row.
void btnShowDataClick(QWidget& mainWindow, TFrmShowData& logWindow);

// The save dialog's settings: one filter "*.csv", default suffix "csv".
inline const QString kCsvFilter = QStringLiteral("*.csv");
inline const QString kCsvSuffix = QStringLiteral("csv");

// btnSaveDataClick: asks for a file name through lrf::dialogs() (starting from
// the previous one); on a choice, stores it in logWindow.SaveFileName and sends
// WM_DATA_SAVE. Returns false when the operator cancelled. A file error is
// shown by the application object.
bool btnSaveDataClick(QWidget& mainWindow, TFrmShowData& logWindow);

// A locale's decimal separator and the date and time separators of its short
// formats, for the records.
Separators LocaleSeparators(const QLocale& locale);
// LocaleSeparators of the system locale.
Separators SystemSeparators();

} // namespace lrf
