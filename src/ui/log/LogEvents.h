#pragma once

#include "MeasurementRecord.h"
#include "RecordValue.h"

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
// wParam 1 only its speed and speed-unit cells. The record, and the numbers
// its texts show when the sender has them, belong to the sender and are read
// only while the event is handled.
class DataAddEvent : public QEvent {
public:
    DataAddEvent(const TAData& record, int wParam, const LogValues* values = nullptr)
        : QEvent(WM_DATA_ADD)
        , record(record)
        , wParam(wParam)
        , values(values) {}

    const TAData& record;
    const int wParam;
    const LogValues* const values; // nullptr: read them from the texts
};

} // namespace lrf
