#pragma once

#include "ComTypes.h"
#include "DeadlineTimer.h"
#include "Measurement.h"
#include "ReplyDecoder.h"
#include "ReplyGathering.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace cport {
class TComPort;
}

namespace lrf {

// The two commands a shot sends.
enum class Shot : std::uint8_t { Distance = 0x0F, Speed = 0x0D };

// The runs: continuous distance or speed shots, and the rotation run that
// alternates a distance and a speed shot. Single shots are no run.
enum class RunMode { None, Distance, Speed, Rotation };

struct SessionOptions {
    // Off (the window program): every handled reply switches the watchdog off,
    // and only a complete one arms it again. On (lrfmeasure, which nobody can
    // stop by hand): a reply that does not end like a frame leaves it counting,
    // so that a run without a complete reply ends after the watchdog's interval.
    bool watchdogWaitsForCompleteReply = false;
};

// One measurement session: the port, the run, and the way from the bytes on
// the line to typed measurements. A run never waits for a reply: a complete
// reply arms the next shot the shot pause after it reached the port (the
// rotation run: a rotation period after it was handled), and a watchdog
// reports a reply that does not come. It knows no window and no file; what
// happened it announces, and its subscribers are connected directly, so they
// have run when an emit returns and may stop or close the session from there.
class MeasurementSession : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kShotPause{10};
    static constexpr int kRotationPeriodMs = 2000;
    static constexpr int kWatchdogMs = 10000;

    explicit MeasurementSession(SessionOptions options = {}, QObject* parent = nullptr);
    ~MeasurementSession() override;

    // Opens `portName` with the main port's settings at `rate`. None when it is
    // open, else the reason as the operator is to read it.
    std::optional<std::string> open(const std::string& portName, cport::TBaudRate rate);
    // Stops any run without a word and closes the port.
    void close();
    bool isOpen() const;
    cport::TComPort& port() { return *port_; }

    // A single shot: the watchdog waits for its reply.
    void singleShot(Shot shot);
    // Starts a run of `shots` commands in all (the rotation run: both halves
    // count), or without end for 0. A continuous run sends its first shot now,
    // the rotation run one rotation period from now.
    void startRun(RunMode mode, std::int64_t shots);
    // Stops the run and the watchdog; an answer still on its way is handled.
    void stopRun();
    RunMode run() const { return run_; }
    // Commands the run has still to send; 0 for a run without end.
    std::int64_t shotsLeft() const { return shots_ > 0 ? shots_ - sent_ : 0; }
    // A run is sending, or its last shot still waits for its reply.
    bool busy() const { return run_ != RunMode::None || owed_.has_value(); }

    // For a device that vanished: no shot and no watchdog until resume(); the
    // run stays as it is.
    void suspend();
    // Sends again the shot whose reply was lost with the device (it counted when
    // it went out), or arms the next shot as a complete reply does.
    void resume();

    void setRotationPeriod(int ms);
    int rotationPeriod() const { return rotationTimer_.interval(); }
    void setShotPause(std::chrono::milliseconds pause) { shotPause_ = pause; }
    void setWatchdogInterval(int ms) { watchdog_.setInterval(ms); }

    ReplyGathering& gathering() { return gathering_; }
    const DeadlineTimer& shotTimer() const { return shotTimer_; }

signals:
    // A handled reply. Empty values for a batch that was no frame; a batch with
    // a bad digit is no reply and announces nothing.
    void measured(const lrf::Measurement& m);
    // A run started, or sent its last shot or was stopped (RunMode::None).
    void runChanged(lrf::RunMode mode);
    // The reply to the last shot of a counted run has been handled.
    void runCompleted();
    // No reply came within the watchdog's interval; the run stops after this.
    void noReply();
    // The device vanished; the port is left to its owner.
    void deviceGone();
    // Writing or reading failed for another reason.
    void portFailed(const QString& reason);

private:
    void sendShot();
    void write(Shot shot);
    void received(int count);
    void handle(std::span<const std::uint8_t> batch, FrameGatherer::Clock::time_point arrived);
    void armNext(FrameGatherer::Clock::time_point from);
    void watchdogExpired();

    SessionOptions options_;
    std::unique_ptr<cport::TComPort> port_;
    ReplyGathering gathering_;
    MeasurementState decoded_;
    DeadlineTimer shotTimer_;
    QTimer rotationTimer_;
    QTimer watchdog_;
    std::chrono::milliseconds shotPause_ = kShotPause;
    RunMode run_ = RunMode::None;
    bool rotation_ = false; // replies are halves of pairs, until the run is over
    bool distanceHalf_ = false;
    std::int64_t shots_ = 0; // commands of the run in all; 0 without end
    std::int64_t sent_ = 0;
    std::optional<Shot> owed_; // the shot whose complete reply has not come yet
    bool counted_ = false;     // a counted run sent its last shot
    std::uint64_t epoch_ = 0;  // changes whenever a run starts, stops or the port closes
    bool open_ = false;        // between a successful open() and close()
};

} // namespace lrf
