#pragma once

#include "DeadlineTimer.h"
#include "MainState.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string_view>

namespace lrf {

class ImageButton;
class NumericEdit;

// The five measurement modes: single distance and speed shots, continuous
// distance and speed runs of a given number of shots, and the rotation run that
// alternates distance and speed shots. A run never waits for a reply: each
// handled reply re-arms the one-shot timer that sends the next command, and a
// watchdog reports a reply that does not come. What the rest of the window does
// for it (writing a command, switching recording on, showing the log) it
// announces; its owner connects those signals directly, so they have run when
// the emit returns and the order of the steps stays as written here.
class MeasurementController : public QObject {
    Q_OBJECT

public:
    // The controls whose state this unit reads and writes. The run buttons'
    // image indices are their states.
    struct Controls {
        ImageButton* RzBitBtn6 = nullptr;      // continuous distance run
        ImageButton* RzBitBtn9 = nullptr;      // continuous speed run
        ImageButton* RzBitBtn7 = nullptr;      // rotation run
        NumericEdit* RzNumericEdit1 = nullptr; // shot count
        NumericEdit* RzNumericEdit2 = nullptr; // rotation period in ms
    };

    static constexpr int kShotIntervalMs = 10;
    static constexpr int kRotationIntervalMs = 2000;
    static constexpr int kWatchdogIntervalMs = 10000;

    MeasurementController(ControlState& state, Controls controls, QObject* parent = nullptr);

    void RzBitBtn5Click(); // single distance shot
    void RzBitBtn8Click(); // single speed shot
    void RzBitBtn6Click(); // start or stop the continuous distance run
    void RzBitBtn9Click(); // start or stop the continuous speed run
    void RzBitBtn7Click(); // start or stop the rotation run

    void Timer1Timer(); // next shot of the continuous distance run
    void Timer2Timer(); // next shot of the continuous speed run
    void Timer3Timer(); // next shot of the rotation run
    void Timer4Timer(); // watchdog expiry

    void RzNumericEdit2Change(); // the rotation period was edited

    // The last step of every reply handled to its end: the watchdog goes off and,
    // when the batch ended with 0xEE and a run is active, the shot timer of every
    // running button and the watchdog are switched on again.
    // The next shot of a continuous run leaves the shot pause after
    // `replyArrived`, the moment the reply reached the port (now when not
    // given): drawing and recording do not slow the run down, and the command
    // never leaves before the instrument's pause is over.
    void ReArm(bool batchEndedWithEE,
               std::optional<DeadlineTimer::Clock::time_point> replyArrived = std::nullopt);

    // The self-test's re-arm: the shot timer of a running continuous distance or
    // speed run goes on; the watchdog and the rotation run are left alone.
    void ReArmShotTimers();

    // Stops every running mode and the watchdog without a message, for a port
    // that is gone (the operator has been told already).
    void StopAll();

    // A run is active, or the last shot of a run still waits for its reply.
    bool RunInProgress() const;
    // For a device that vanished in the middle of a run: no shot and no watchdog
    // until ResumeRuns; the runs' state stays as it is.
    void PauseRuns();
    // Sends again the run's shot whose reply was lost with the device (it was
    // counted when it was sent), or, when the last reply had been handled, arms
    // the next shot as that reply did.
    void ResumeRuns();

    DeadlineTimer& Timer1() { return timer1_; }
    DeadlineTimer& Timer2() { return timer2_; }
    QTimer& Timer3() { return timer3_; }
    QTimer& Timer4() { return timer4_; }

    // Test hook: a shorter watchdog, so that tests need not wait ten seconds.
    void setWatchdogInterval(int ms) { timer4_.setInterval(ms); }
    // Test hook: a shorter pause between the shots of a continuous run.
    void setShotInterval(int ms) { shotInterval_ = std::chrono::milliseconds(ms); }
    std::chrono::milliseconds shotInterval() const { return shotInterval_; }

signals:
    // A command to write to the instrument as hex text: "0F" or "0D".
    void commandToSend(std::string_view hexText);
    // A continuous or rotation run is being started (a continuous button pressed
    // with a shot count of 1 too): recording is to be on and the log window shown,
    // before the run's state changes and its first command goes out.
    void runStarting();

private:
    struct RunButton {
        ImageButton* button;
        int idleImage;
        DeadlineTimer* shotTimer;
        const char* command;
    };

    void continuousClick(const RunButton& run);
    void stopContinuous(const RunButton& run);
    void continuousTick(const RunButton& run, bool& ticking, bool processMessages);
    void setRunning(ImageButton* button, int idleImage, int idleCaption, bool running);
    void send(const char* command);
    void sendRunShot(const char* command);
    void switchOnShotTimer(DeadlineTimer& timer, DeadlineTimer::Clock::time_point from);

    ControlState& state_;
    Controls controls_;
    DeadlineTimer timer1_; // the shot timers of the continuous runs fire at a moment,
    DeadlineTimer timer2_; // the shot pause after the reply arrived
    QTimer timer3_;
    QTimer timer4_;
    RunButton distanceRun_;
    RunButton speedRun_;
    std::chrono::milliseconds shotInterval_{kShotIntervalMs};
    bool timer1Ticking_ = false;
    bool timer2Ticking_ = false;
    bool timer3Ticking_ = false;
    bool watchdogBoxOpen_ = false;
    const char* unanswered_ = nullptr; // the run's last shot, until its reply is handled
};

} // namespace lrf
