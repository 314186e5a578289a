#include "MeasurementController.h"

#include "Dialogs.h"
#include "ImageButton.h"
#include "NumericEdit.h"
#include "OneShotTimer.h"
#include "Texts.h"

#include <QCoreApplication>

namespace lrf {

namespace {

// Sets a flag for the length of a scope, also when an exception leaves it.
class FlagScope {
public:
    explicit FlagScope(bool& flag)
        : flag_(flag) {
        flag_ = true;
    }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

MeasurementController::MeasurementController(ControlState& state, Controls controls,
                                             QObject* parent)
    : QObject(parent)
    , state_(state)
    , controls_(controls)
    , distanceRun_{controls.RzBitBtn6, imgContinuousDistance, &timer1_, "0F"}
    , speedRun_{controls.RzBitBtn9, imgContinuousSpeed, &timer2_, "0D"} {
    ConfigureOneShot(timer3_, kRotationIntervalMs);
    ConfigureOneShot(timer4_, kWatchdogIntervalMs);
    connect(&timer1_, &DeadlineTimer::timeout, this, &MeasurementController::Timer1Timer);
    connect(&timer2_, &DeadlineTimer::timeout, this, &MeasurementController::Timer2Timer);
    connect(&timer3_, &QTimer::timeout, this, &MeasurementController::Timer3Timer);
    connect(&timer4_, &QTimer::timeout, this, &MeasurementController::Timer4Timer);
}

void MeasurementController::send(const char* command) {
    emit commandToSend(command);
}

// Marked before it is written: a shot whose write failed is still owed.
void MeasurementController::sendRunShot(const char* command) {
    unanswered_ = command;
    send(command);
}

void MeasurementController::setRunning(ImageButton* button, int idleImage, int idleCaption,
                                       bool running) {
    button->setImageIndex(running ? imgRunning : idleImage);
    button->setText(LoadText(running ? strStopTesting : idleCaption));
}

void MeasurementController::RzBitBtn5Click() {
    SwitchOn(timer4_);
    send("0F");
}

void MeasurementController::RzBitBtn8Click() {
    SwitchOn(timer4_);
    send("0D");
}

void MeasurementController::RzBitBtn6Click() {
    continuousClick(distanceRun_);
}

void MeasurementController::RzBitBtn9Click() {
    continuousClick(speedRun_);
}

void MeasurementController::continuousClick(const RunButton& run) {
    if (run.button->imageIndex() != run.idleImage) {
        stopContinuous(run);
        return;
    }
    emit runStarting();
    // A shot count of 1 is a single shot: no run starts and the button stays idle.
    const bool startsRun = controls_.RzNumericEdit1->value() != 1;
    if (startsRun) {
        state_.ContinuousActive = true;
        setRunning(run.button, run.idleImage, strContinuousTesting, true);
        const int count = controls_.RzNumericEdit1->value();
        state_.ContinuousCount = count;
        state_.RemainingCount = count;
    }
    SwitchOn(timer4_);
    if (startsRun)
        sendRunShot(run.command);
    else
        send(run.command);
}

void MeasurementController::stopContinuous(const RunButton& run) {
    unanswered_ = nullptr;
    state_.ContinuousActive = false;
    setRunning(run.button, run.idleImage, strContinuousTesting, false);
    controls_.RzNumericEdit1->setValue(state_.ContinuousCount);
    run.shotTimer->stop();
    SwitchOff(timer4_);
}

void MeasurementController::Timer1Timer() {
    continuousTick(distanceRun_, timer1Ticking_, true);
}

void MeasurementController::Timer2Timer() {
    continuousTick(speedRun_, timer2Ticking_, false);
}

// One shot of a continuous run. The timer goes off before pending messages are
// processed, so a reply handled in there re-arms it for the next shot instead
// of finding it still on. A tick that comes again while the first one is still
// processing messages is put off until the first has returned.
void MeasurementController::continuousTick(const RunButton& run, bool& ticking,
                                           bool processMessages) {
    if (ticking) {
        switchOnShotTimer(*run.shotTimer, DeadlineTimer::Clock::now());
        return;
    }
    FlagScope scope(ticking);
    run.shotTimer->stop();
    sendRunShot(run.command);
    controls_.RzNumericEdit1->setValue(state_.RemainingCount);
    if (state_.RemainingCount == 2) {
        // The shot just sent is the last one of the run.
        state_.ContinuousActive = false;
        setRunning(run.button, run.idleImage, strContinuousTesting, false);
        controls_.RzNumericEdit1->setValue(state_.ContinuousCount);
    }
    if (state_.RemainingCount > 0)
        --state_.RemainingCount;
    if (processMessages)
        QCoreApplication::processEvents();
}

void MeasurementController::RzBitBtn7Click() {
    if (controls_.RzBitBtn7->imageIndex() == imgRotation) {
        state_.RotationMode = true;
        emit runStarting();
        state_.RotationDistancePhase = false;
        state_.ContinuousActive = true;
        setRunning(controls_.RzBitBtn7, imgRotation, strRotationMeasure, true);
        // The first command goes out one rotation period from now.
        SwitchOn(timer4_);
        SwitchOn(timer3_);
        return;
    }
    unanswered_ = nullptr;
    state_.RotationMode = false;
    state_.ContinuousActive = false;
    setRunning(controls_.RzBitBtn7, imgRotation, strRotationMeasure, false);
    SwitchOff(timer3_);
    SwitchOff(timer4_);
}

void MeasurementController::Timer3Timer() {
    if (timer3Ticking_) {
        SwitchOn(timer3_);
        return;
    }
    FlagScope scope(timer3Ticking_);
    SwitchOff(timer3_);
    if (state_.RotationDistancePhase) {
        state_.RotationDistancePhase = false;
        sendRunShot("0D");
    } else {
        state_.RotationDistancePhase = true;
        sendRunShot("0F");
    }
    QCoreApplication::processEvents();
}

// The watchdog's box is modal and runs its own message loop; a second expiry
// while it is open (a reply may have re-armed the watchdog meanwhile) opens no
// second box.
void MeasurementController::Timer4Timer() {
    if (watchdogBoxOpen_)
        return;
    {
        FlagScope scope(watchdogBoxOpen_);
        QWidget* parent = controls_.RzBitBtn7 ? controls_.RzBitBtn7->window() : nullptr;
        dialogs().showMessage(parent, QStringLiteral("Error"), LoadText(strCommunicationFailure));
    }
    if (controls_.RzBitBtn6->imageIndex() == imgRunning)
        RzBitBtn6Click();
    if (controls_.RzBitBtn9->imageIndex() == imgRunning)
        RzBitBtn9Click();
    if (controls_.RzBitBtn7->imageIndex() == imgRunning)
        RzBitBtn7Click();
    unanswered_ = nullptr; // the reply the watchdog gave up on
    SwitchOff(timer4_);
}

void MeasurementController::RzNumericEdit2Change() {
    if (controls_.RzNumericEdit2->value() <= 0)
        controls_.RzNumericEdit2->setValue(1);
    timer3_.setInterval(controls_.RzNumericEdit2->value());
}

void MeasurementController::ReArm(bool batchEndedWithEE,
                                  std::optional<DeadlineTimer::Clock::time_point> replyArrived) {
    SwitchOff(timer4_);
    if (batchEndedWithEE)
        unanswered_ = nullptr;
    if (!batchEndedWithEE || !state_.ContinuousActive)
        return;
    const auto from = replyArrived.value_or(DeadlineTimer::Clock::now());
    if (controls_.RzBitBtn6->imageIndex() == imgRunning) {
        switchOnShotTimer(timer1_, from);
        SwitchOn(timer4_);
    }
    if (controls_.RzBitBtn9->imageIndex() == imgRunning) {
        switchOnShotTimer(timer2_, from);
        SwitchOn(timer4_);
    }
    if (controls_.RzBitBtn7->imageIndex() == imgRunning) {
        SwitchOn(timer3_);
        SwitchOn(timer4_);
    }
}

// A shot timer already on keeps its moment, as a running timer keeps its interval.
void MeasurementController::switchOnShotTimer(DeadlineTimer& timer,
                                              DeadlineTimer::Clock::time_point from) {
    if (!timer.isActive())
        timer.start(from + shotInterval_);
}

void MeasurementController::ReArmShotTimers() {
    const auto now = DeadlineTimer::Clock::now();
    if (controls_.RzBitBtn6->imageIndex() == imgRunning)
        switchOnShotTimer(timer1_, now);
    if (controls_.RzBitBtn9->imageIndex() == imgRunning)
        switchOnShotTimer(timer2_, now);
}

void MeasurementController::StopAll() {
    if (controls_.RzBitBtn6->imageIndex() == imgRunning)
        stopContinuous(distanceRun_);
    if (controls_.RzBitBtn9->imageIndex() == imgRunning)
        stopContinuous(speedRun_);
    if (controls_.RzBitBtn7->imageIndex() == imgRunning)
        RzBitBtn7Click();
    unanswered_ = nullptr;
    SwitchOff(timer4_);
}

bool MeasurementController::RunInProgress() const {
    const bool running = controls_.RzBitBtn6->imageIndex() == imgRunning ||
                         controls_.RzBitBtn9->imageIndex() == imgRunning ||
                         controls_.RzBitBtn7->imageIndex() == imgRunning;
    return (state_.ContinuousActive && running) || unanswered_ != nullptr;
}

void MeasurementController::PauseRuns() {
    timer1_.stop();
    timer2_.stop();
    SwitchOff(timer3_);
    SwitchOff(timer4_);
}

void MeasurementController::ResumeRuns() {
    if (unanswered_) {
        SwitchOn(timer4_);
        send(unanswered_);
        return;
    }
    ReArm(true);
}

} // namespace lrf
