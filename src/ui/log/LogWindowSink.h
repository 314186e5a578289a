#pragma once

#include "Recorder.h"

class QObject;

namespace lrf {

// Delivers the recording step's calls to the log window as its synchronous
// messages (QCoreApplication::sendEvent): WM_DATA_ADD, WM_DATA_CLEAR and
// WM_DATA_AUTOSAVE, each handled when the call returns. A file error of the automatic save is shown
// by the application object and does not come back here.
class LogWindowSink final : public LogSink {
public:
    explicit LogWindowSink(QObject& logWindow)
        : logWindow(logWindow) {}

    void Add(const TAData& record, RowPart part) override;
    void AddWithValues(const TAData& record, const LogValues& values, RowPart part) override;
    void Clear() override;
    void AutoSave() override;

private:
    QObject& logWindow;
};

} // namespace lrf
