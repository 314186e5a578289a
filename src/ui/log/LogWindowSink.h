#pragma once

#include "Recorder.h"

class QObject;

namespace lrf {

// Delivers the recording step's messages to the log window as synchronous
// events (QCoreApplication::sendEvent): each has been handled when the call
// returns. A file error of the automatic save is shown by the application
// object and does not come back here.
class LogWindowSink final : public LogSink {
public:
    explicit LogWindowSink(QObject& logWindow)
        : logWindow(logWindow) {}

    void DataAdd(const TAData& record, int wParam) override;
    void DataClear() override;
    void DataAutoSave() override;

private:
    QObject& logWindow;
};

} // namespace lrf
