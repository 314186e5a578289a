#pragma once

#include "ComTypes.h"
#include "ControlState.h"
#include "DeadlineTimer.h"
#include "LinkInfo.h"
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

class CommandPort;

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

// One measurement session: the port, the runs, and the way from the bytes on
// the line to typed measurements.
//
// The three runs are independent switches that share one set of counters
// (ControlState): each may run beside the others, every complete reply re-arms
// every running one, and ending any of them clears ContinuousActive, so that
// the others are no longer re-armed although they still count as running.
// A run never waits for a reply: a complete reply arms the next shot the shot
// pause after it reached the port (the rotation run: a rotation period after
// it was handled), and a watchdog reports a reply that does not come.
//
// It knows no window and no file; what happened it announces, and its
// subscribers are connected directly, so they have run when an emit returns
// and may stop a run or close the session from there. Commands are written as
// hex text while the port is open; with the port closed a shot goes nowhere and
// the watchdog reports it.
class MeasurementSession : public QObject {
    Q_OBJECT

public:
    using Clock = FrameGatherer::Clock;

    static constexpr std::chrono::milliseconds kShotPause{10};
    static constexpr int kRotationPeriodMs = 2000;
    static constexpr int kWatchdogMs = 10000;

    // `control` is where the run's counters live; the session's own when none.
    explicit MeasurementSession(SessionOptions options = {}, ControlState* control = nullptr,
                                QObject* parent = nullptr);
    ~MeasurementSession() override;

    // Opens `portName` with the main port's settings at `rate`. None when it is
    // open, else the reason as the operator is to read it.
    std::optional<std::string> open(const std::string& portName, cport::TBaudRate rate);
    // Stops every run without a word and closes the port.
    void close();
    bool isOpen() const;
    // The port itself, for an owner that opens and closes it on its own terms:
    // the session follows its opening and closing.
    cport::TComPort& port() { return *port_; }

    // A single shot: the watchdog waits for its reply.
    void singleShot(Shot shot);
    // Starts a run. A continuous run sends `shots` commands in all (0 or less:
    // without end) and its first one now; a count of 1 is a single shot that
    // starts no run. The rotation run sends its first command one rotation
    // period from now, and `shots` commands in all when above 0 (both halves
    // count). A run already running is left as it is.
    void startRun(RunMode mode, std::int64_t shots);
    // Stops one run: its timer and the watchdog go off; an answer still on its
    // way is handled.
    void stopRun(RunMode mode);
    // Stops every run and the watchdog.
    void stopRun();

    bool running(RunMode mode) const;
    // The first running run (distance, speed, rotation), or None.
    RunMode run() const;
    const ControlState& control() const { return control_; }
    // A run is re-armed by replies, or its last shot still waits for its reply.
    bool busy() const;

    // The shot ticks: the next command of the continuous distance run, of the
    // continuous speed run, of the rotation run. Their timers call them.
    void distanceTick();
    void speedTick();
    void rotationTick();

    // Called from a measured() subscriber: the handling of this reply ends
    // here. The runs are not re-armed and the watchdog keeps counting.
    void skipReArm() {
        if (skip_)
            *skip_ = true;
    }

    // For a device that vanished: no shot and no watchdog until resume(); the
    // runs stay as they are.
    void suspend();
    // Sends again the shot whose reply was lost with the device (it counted when
    // it went out), or arms the next shot as a complete reply does.
    void resume();
    // The self-test's re-arm: the shot timers of the running continuous runs go
    // on from now; the watchdog and the rotation run are left alone.
    void reArmShotTimers();

    void setRotationPeriod(int ms);
    int rotationPeriod() const { return rotationTimer_.interval(); }
    void setShotPause(std::chrono::milliseconds pause) { shotPause_ = pause; }
    std::chrono::milliseconds shotPause() const { return shotPause_; }
    void setWatchdogInterval(int ms) { watchdog_.setInterval(ms); }

    ReplyGathering& gathering() { return gathering_; }
    // The serial link of the port as it was opened.
    const cport::LinkInfo& link() const { return link_; }
    DeadlineTimer& distanceTimer() { return distanceTimer_; }
    DeadlineTimer& speedTimer() { return speedTimer_; }
    QTimer& rotationTimer() { return rotationTimer_; }
    QTimer& watchdog() { return watchdog_; }

signals:
    // A handled reply. Empty values for a batch that was no frame; a batch with
    // a bad digit is no reply and announces nothing.
    void measured(const lrf::Measurement& m);
    // A complete batch came in, before it is decoded (also one with a bad digit).
    void replyArrived(lrf::MeasurementSession::Clock::time_point at);
    // A run started or stopped (by its stop, its last shot or the watchdog).
    void runChanged(lrf::RunMode mode, bool running);
    // A continuous run's tick sent a shot: the shot count as the run shows it
    // now (the shots left before this one counted down; the count captured at
    // the start for a run without end).
    void shotCounted(std::int32_t shown);
    // The reply to the last shot of a counted run has been handled.
    void runCompleted();
    // No reply came within the watchdog's interval; the runs stop after this.
    void noReply();
    // A command was written (or found the port closed); `at` is just before it.
    void commandSent(lrf::MeasurementSession::Clock::time_point at);
    // The port opened, by open() or by its owner.
    void portOpened();
    // The device vanished; the port is left to its owner.
    void deviceGone();
    // Writing or reading failed for another reason.
    void portFailed(const QString& reason);

private:
    struct Continuous {
        RunMode mode;
        Shot shot;
        DeadlineTimer* timer;
        bool running = false;
        bool ticking = false;
    };

    Continuous& continuous(RunMode mode);
    void startContinuous(Continuous& run, std::int64_t shots);
    void stopContinuous(Continuous& run);
    void continuousTick(Continuous& run, bool processEvents);
    void startRotation(std::int64_t shots);
    void stopRotation();
    void sendRunShot(Shot shot);
    void write(Shot shot);
    void received(int count);
    void handle(std::span<const std::uint8_t> batch, Clock::time_point arrived);
    void armRuns(Clock::time_point from);
    void armShotTimer(DeadlineTimer& timer, Clock::time_point from);
    void watchdogExpired();
    void opened();

    SessionOptions options_;
    ControlState ownControl_;
    ControlState& control_;
    std::unique_ptr<cport::TComPort> port_;
    std::unique_ptr<CommandPort> commands_;
    ReplyGathering gathering_;
    MeasurementState decoded_;
    DeadlineTimer distanceTimer_; // fire at a moment: the shot pause after the reply
    DeadlineTimer speedTimer_;
    QTimer rotationTimer_;
    QTimer watchdog_;
    std::chrono::milliseconds shotPause_ = kShotPause;
    Continuous distanceRun_{RunMode::Distance, Shot::Distance, &distanceTimer_};
    Continuous speedRun_{RunMode::Speed, Shot::Speed, &speedTimer_};
    bool rotationRunning_ = false;
    bool rotationTicking_ = false;
    std::int64_t rotationLeft_ = 0; // commands the rotation run still sends; 0 without end
    std::optional<Shot> owed_;      // a run's shot whose complete reply has not come yet
    bool lastShotSent_ = false;     // a counted run sent its last shot
    bool noReplyOpen_ = false;      // the watchdog's report is still being told
    bool* skip_ = nullptr;          // the reply being handled ends without the re-arm step
    cport::LinkInfo link_;
};

} // namespace lrf
