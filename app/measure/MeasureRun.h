#pragma once

#include "CPort.h"
#include "DeadlineTimer.h"
#include "LocalTime.h"
#include "MeasureOptions.h"
#include "Recorder.h"
#include "ReplyDecoder.h"
#include "ReplyGathering.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace lrf::measure {

// One measurement run without windows, with the window program's rules: a
// continuous run sends its next command the shot pause after the reply's
// arrival, the rotation run its next one a rotation period after the reply
// was handled; a reply the line delivers in pieces is gathered into one;
// every handled batch is decoded, brought into metres and km/h and recorded
// as the log window records it; a watchdog ends the run when no reply comes
// for 10 seconds. It ends by itself once the reply to its last shot has been
// handled, and tells how it ended with finished().
class MeasureRun : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kShotPause{10};
    static constexpr int kWatchdogMs = 10000;

    struct Settings {
        std::string port;
        cport::TBaudRate baudRate = cport::br19200;
        Mode mode = Mode::Distance;
        int rotationMs = 2000;
        int count = 1; // records; 0 until stopped
        FreeTexts texts;
    };

    MeasureRun(Settings settings, LogSink& log, Separators separators, QObject* parent = nullptr);
    ~MeasureRun() override;

    // Opens the port and sends the first shot (the rotation run: arms its
    // first period). False with the reason in `error` when the port did not open.
    bool Start(std::string& error);
    // Ends the run now with `exitCode` (a signal, a failed output).
    void Stop(int exitCode);

    bool Finished() const { return finished_; }
    int Records() const { return records_; }
    const Settings& settings() const { return settings_; }

    // Asked before each record: true when its output has gone (the reader of a
    // pipe closed it), which ends the run with kExitBrokenPipe before a record
    // is made that nobody would read.
    void setOutputGone(std::function<bool()> gone) { outputGone_ = std::move(gone); }

    // Test hook: a shorter watchdog.
    void setWatchdogInterval(int ms) { watchdog_.setInterval(ms); }

signals:
    // A record went to the log; rowComplete is false for the distance half of
    // a rotation pair, whose speed half completes the same row.
    void recorded(bool rowComplete);
    // The run is over: the port is closed, nothing more is recorded.
    void finished(int exitCode, const QString& message);

private:
    void received(int count);
    void handle(std::span<const std::uint8_t> batch, std::chrono::steady_clock::time_point arrived);
    void sendShot();
    void rotationTick();
    void finish(int exitCode, const QString& message = {});
    bool allSent() const;

    Settings settings_;
    Recorder recorder_;
    Separators separators_;
    cport::TComPort port_;
    ReplyGathering gathering_;
    MeasurementState measurement_;
    DisplayUnits units_;
    DeadlineTimer shotTimer_;
    QTimer rotationTimer_;
    QTimer watchdog_;
    bool rotationDistancePhase_ = false;
    std::int64_t shots_ = 0; // commands to send in all; 0 without end
    std::int64_t sent_ = 0;
    int records_ = 0;
    bool finished_ = false;
    std::function<bool()> outputGone_;
};

} // namespace lrf::measure
