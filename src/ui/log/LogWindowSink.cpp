#include "LogWindowSink.h"

#include "LogEvents.h"

#include <QCoreApplication>

namespace lrf {

void LogWindowSink::DataAdd(const TAData& record, int wParam) {
    DataAddEvent event(record, wParam);
    QCoreApplication::sendEvent(&logWindow, &event);
}

void LogWindowSink::DataClear() {
    QEvent event(WM_DATA_CLEAR);
    QCoreApplication::sendEvent(&logWindow, &event);
}

void LogWindowSink::DataAutoSave() {
    QEvent event(WM_DATA_AUTOSAVE);
    QCoreApplication::sendEvent(&logWindow, &event);
}

} // namespace lrf
