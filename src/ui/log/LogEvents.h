#pragma once

#include "MeasurementRecord.h"

#include <QEvent>

namespace lrf {

// The messages the main window sends to the log window, as event types with
// their window-message numbers. They are sent with QCoreApplication::sendEvent,
// so each one has been handled completely when the send returns, also while
// the log window is hidden.
inline constexpr QEvent::Type WM_DATA_ADD = static_cast<QEvent::Type>(1224);
inline constexpr QEvent::Type WM_DATA_CLEAR = static_cast<QEvent::Type>(1226);
inline constexpr QEvent::Type WM_DATA_SAVE = static_cast<QEvent::Type>(1230);
inline constexpr QEvent::Type WM_DATA_AUTOSAVE = static_cast<QEvent::Type>(1232);

// WM_DATA_ADD with its record. wParam 0 writes the whole row Index + 1,
// wParam 1 only its speed and speed-unit cells. The record belongs to the
// sender and is read only while the event is handled.
class DataAddEvent : public QEvent {
public:
    DataAddEvent(const TAData& record, int wParam)
        : QEvent(WM_DATA_ADD)
        , record(record)
        , wParam(wParam) {}

    const TAData& record;
    const int wParam;
};

} // namespace lrf
