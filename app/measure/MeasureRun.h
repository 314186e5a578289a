#pragma once

#include "ComTypes.h"
#include "LocalTime.h"
#include "MeasureOptions.h"
#include "MeasurementSession.h"
#include "Recorder.h"

#include <QObject>

#include <functional>
#include <string>

namespace lrf::measure {

// One measurement run without windows: the measurement session with the window
// program's pacing, gathering and decoding, and every reply recorded in metres
// and km/h as the log window records it. Nobody can stop it by hand, so the
// session's watchdog waits for a complete reply: a run that gets none for 10
// seconds ends. It ends by itself once the reply to its last shot has been
// handled, and tells how it ended with finished().
class MeasureRun : public QObject {
    Q_OBJECT

public:
    struct Settings {
        std::string port;
        cport::TBaudRate baudRate = cport::br19200;
        Mode mode = Mode::Distance;
        int rotationMs = 2000;
        int count = 1; // records; 0 until stopped
        FreeTexts texts;
    };

    MeasureRun(Settings settings, LogSink& log, Separators separators, QObject* parent = nullptr);

    // Opens the port and starts the run. False with the reason in `error` when
    // the port did not open.
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
    void setWatchdogInterval(int ms) { session_.setWatchdogInterval(ms); }

signals:
    // A reply is about to be recorded: its typed values, before the log has
    // its line.
    void measuring(const lrf::Measurement& m);
    // A record went to the log; rowComplete is false for the distance half of
    // a rotation pair, whose speed half completes the same row.
    void recorded(bool rowComplete);
    // The run is over: the port is closed, nothing more is recorded.
    void finished(int exitCode, const QString& message);

private:
    void record(const Measurement& m);
    void finish(int exitCode, const QString& message = {});

    Settings settings_;
    MeasurementSession session_;
    Recorder recorder_;
    Separators separators_;
    int records_ = 0;
    bool finished_ = false;
    std::function<bool()> outputGone_;
};

} // namespace lrf::measure
