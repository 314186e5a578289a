#include "LogWindowSink.h"

#include "LogEvents.h"

#include <QCoreApplication>

namespace lrf {

void LogWindowSink::Add(const TAData& record, RowPart part) {
    // wParam 1 fills only the speed cells of the row.
    DataAddEvent event(record, part == RowPart::SpeedCells ? 1 : 0);
    QCoreApplication::sendEvent(&logWindow, &event);
}

void LogWindowSink::AddWithValues(const TAData& record, const LogValues& values, RowPart part) {
    DataAddEvent event(record, part == RowPart::SpeedCells ? 1 : 0, &values);
    QCoreApplication::sendEvent(&logWindow, &event);
}

void LogWindowSink::Clear() {
    QEvent event(WM_DATA_CLEAR);
    QCoreApplication::sendEvent(&logWindow, &event);
}

void LogWindowSink::AutoSave() {
    QEvent event(WM_DATA_AUTOSAVE);
    QCoreApplication::sendEvent(&logWindow, &event);
}

} // namespace lrf
