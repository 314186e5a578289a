#include "MeasurementSession.h"

#include "CPort.h"
#include "CommandSender.h"
#include "LinkInfo.h"
#include "MainPort.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

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

// Switching on a timer that runs already keeps its moment; off and on restarts it.
void SwitchOn(QTimer& timer) {
    if (!timer.isActive())
        timer.start();
}

void ConfigureOneShot(QTimer& timer, int intervalMs) {
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
}

// The commands' way out: the serial component while the port is open.
class PortCommands final : public CommandPort {
public:
    explicit PortCommands(cport::TComPort& port)
        : port_(port) {}
    bool connected() const override { return port_.Connected(); }
    void writeBytes(std::span<const std::uint8_t> bytes) override {
        port_.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
    }
    void writeText(std::string_view text) override { port_.WriteText(text); }

private:
    cport::TComPort& port_;
};

std::int32_t ShotCount(std::int64_t shots) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        shots, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

MeasurementSession::MeasurementSession(SessionOptions options, ControlState* control,
                                       QObject* parent)
    : QObject(parent)
    , options_(options)
    , control_(control ? *control : ownControl_)
    , port_(std::make_unique<cport::TComPort>())
    , commands_(std::make_unique<PortCommands>(*port_))
    , gathering_([this](std::span<const std::uint8_t> batch,
                        FrameGatherer::Clock::time_point at) { handle(batch, at); },
                 ReplyGathering::WaitingIn(*port_)) {
    ConfigureOneShot(rotationTimer_, kRotationPeriodMs);
    ConfigureOneShot(watchdog_, kWatchdogMs);
    connect(&distanceTimer_, &DeadlineTimer::timeout, this, &MeasurementSession::distanceTick);
    connect(&speedTimer_, &DeadlineTimer::timeout, this, &MeasurementSession::speedTick);
    connect(&rotationTimer_, &QTimer::timeout, this, &MeasurementSession::rotationTick);
    connect(&watchdog_, &QTimer::timeout, this, &MeasurementSession::watchdogExpired);

    ConfigureMainPort(*port_);
    port_->OnRxChar = [this](cport::TCustomComPort&, int count) { received(count); };
    // Told at once, inside the port's dispatch: the owner closes the port or
    // waits for the device from there.
    port_->OnDeviceLost = [this](cport::TCustomComPort&) { emit deviceGone(); };
    port_->OnAfterOpen = [this](cport::TCustomComPort&) { opened(); };
}

MeasurementSession::~MeasurementSession() {
    port_->OnRxChar = nullptr;
    port_->OnDeviceLost = nullptr;
    port_->OnAfterOpen = nullptr;
    port_->ClosePort();
}

std::optional<std::string> MeasurementSession::open(const std::string& portName,
                                                    cport::TBaudRate rate) {
    try {
        port_->SetPort(portName);
        port_->SetBaudRate(rate);
        port_->OpenPort();
    } catch (const cport::EComPort& e) {
        const std::string reason = cport::ComErrorReason(e);
        return portName + ": " + (reason.empty() ? "" : reason + "\n") + e.what();
    } catch (const std::exception& e) {
        return portName + ": " + e.what();
    }
    return std::nullopt;
}

// The port opened, by open() or by its owner: replies are gathered for its line.
void MeasurementSession::opened() {
    link_ = cport::ReadLinkInfo(port_->Port());
    gathering_.setLink(link_);
    gathering_.setLine(*port_);
    emit portOpened();
}

void MeasurementSession::close() {
    stopRun();
    port_->ClosePort();
}

bool MeasurementSession::isOpen() const {
    return port_->Connected();
}

bool MeasurementSession::running(RunMode mode) const {
    switch (mode) {
    case RunMode::Distance:
        return distanceRun_.running;
    case RunMode::Speed:
        return speedRun_.running;
    case RunMode::Rotation:
        return rotationRunning_;
    case RunMode::None:
        break;
    }
    return false;
}

RunMode MeasurementSession::run() const {
    for (const RunMode mode : {RunMode::Distance, RunMode::Speed, RunMode::Rotation})
        if (running(mode))
            return mode;
    return RunMode::None;
}

bool MeasurementSession::busy() const {
    return (control_.ContinuousActive && run() != RunMode::None) || owed_.has_value();
}

MeasurementSession::Continuous& MeasurementSession::continuous(RunMode mode) {
    return mode == RunMode::Speed ? speedRun_ : distanceRun_;
}

void MeasurementSession::singleShot(Shot shot) {
    SwitchOn(watchdog_);
    write(shot);
}

void MeasurementSession::startRun(RunMode mode, std::int64_t shots) {
    if (mode == RunMode::Rotation)
        startRotation(shots);
    else if (mode != RunMode::None)
        startContinuous(continuous(mode), shots);
}

void MeasurementSession::startContinuous(Continuous& run, std::int64_t shots) {
    if (run.running)
        return;
    // A count of 1 is a single shot: no run starts.
    const bool startsRun = shots != 1;
    if (startsRun) {
        control_.ContinuousActive = true;
        run.running = true;
        control_.ContinuousCount = ShotCount(shots);
        control_.RemainingCount = control_.ContinuousCount;
        emit runChanged(run.mode, true);
    } else {
        lastShotSent_ = true;
    }
    SwitchOn(watchdog_);
    if (startsRun)
        sendRunShot(run.shot);
    else
        write(run.shot);
}

void MeasurementSession::startRotation(std::int64_t shots) {
    if (rotationRunning_)
        return;
    control_.RotationMode = true;
    control_.RotationDistancePhase = false;
    control_.ContinuousActive = true;
    rotationRunning_ = true;
    rotationLeft_ = std::max<std::int64_t>(shots, 0);
    emit runChanged(RunMode::Rotation, true);
    // The first command goes out one rotation period from now.
    SwitchOn(watchdog_);
    SwitchOn(rotationTimer_);
}

void MeasurementSession::stopRun(RunMode mode) {
    if (mode == RunMode::Rotation)
        stopRotation();
    else if (mode != RunMode::None)
        stopContinuous(continuous(mode));
}

void MeasurementSession::stopContinuous(Continuous& run) {
    owed_.reset();
    control_.ContinuousActive = false;
    const bool was = run.running;
    run.running = false;
    if (was)
        emit runChanged(run.mode, false);
    run.timer->stop();
    watchdog_.stop();
}

void MeasurementSession::stopRotation() {
    owed_.reset();
    control_.RotationMode = false;
    control_.ContinuousActive = false;
    const bool was = rotationRunning_;
    rotationRunning_ = false;
    if (was)
        emit runChanged(RunMode::Rotation, false);
    rotationTimer_.stop();
    watchdog_.stop();
}

void MeasurementSession::stopRun() {
    if (distanceRun_.running)
        stopContinuous(distanceRun_);
    if (speedRun_.running)
        stopContinuous(speedRun_);
    if (rotationRunning_)
        stopRotation();
    owed_.reset();
    lastShotSent_ = false;
    distanceTimer_.stop();
    speedTimer_.stop();
    rotationTimer_.stop();
    watchdog_.stop();
}

void MeasurementSession::distanceTick() {
    continuousTick(distanceRun_, true);
}

void MeasurementSession::speedTick() {
    continuousTick(speedRun_, false);
}

// One shot of a continuous run. The timer goes off before pending events are
// processed, so that a reply handled in there re-arms it for the next shot
// instead of finding it still on. A tick that comes again while the first one
// is still processing events is put off until the first has returned.
void MeasurementSession::continuousTick(Continuous& run, bool processEvents) {
    if (run.ticking) {
        armShotTimer(*run.timer, Clock::now());
        return;
    }
    FlagScope scope(run.ticking);
    run.timer->stop();
    sendRunShot(run.shot);
    emit shotCounted(control_.RemainingCount);
    if (control_.RemainingCount == 2) {
        // The shot just sent is the last one of the run; its reply completes it.
        control_.ContinuousActive = false;
        lastShotSent_ = true;
        run.running = false;
        emit runChanged(run.mode, false);
    }
    if (control_.RemainingCount > 0)
        --control_.RemainingCount;
    if (processEvents)
        QCoreApplication::processEvents();
}

// Distance first, then speed, by turns; the phase tells the recording which
// half of the pair a reply is.
void MeasurementSession::rotationTick() {
    if (rotationTicking_) {
        SwitchOn(rotationTimer_);
        return;
    }
    FlagScope scope(rotationTicking_);
    rotationTimer_.stop();
    control_.RotationDistancePhase = !control_.RotationDistancePhase;
    sendRunShot(control_.RotationDistancePhase ? Shot::Distance : Shot::Speed);
    if (rotationLeft_ > 0 && --rotationLeft_ == 0) {
        // The last command of a counted rotation run; the replies stay halves
        // of pairs until its reply has been handled.
        control_.ContinuousActive = false;
        lastShotSent_ = true;
        rotationRunning_ = false;
        emit runChanged(RunMode::Rotation, false);
    }
    QCoreApplication::processEvents();
}

// Owed before it is written: a shot whose write failed is still owed.
void MeasurementSession::sendRunShot(Shot shot) {
    owed_ = shot;
    write(shot);
}

void MeasurementSession::write(Shot shot) {
    const Clock::time_point at = Clock::now();
    try {
        SendCommand(*commands_, shot == Shot::Distance ? "0F" : "0D", true);
    } catch (const cport::EComPort& e) {
        // A vanished device reports itself through deviceGone().
        if (!cport::IsDeviceGone(e))
            emit portFailed(QString::fromUtf8(e.what()));
    }
    emit commandSent(at);
}

void MeasurementSession::received(int count) {
    std::string chunk;
    try {
        port_->ReadText(chunk, count);
    } catch (const cport::EComPort& e) {
        if (!cport::IsDeviceGone(e))
            emit portFailed(QString::fromUtf8(e.what()));
        return;
    }
    gathering_.receive({reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()},
                       port_->RxTime());
}

void MeasurementSession::handle(std::span<const std::uint8_t> batch, Clock::time_point arrived) {
    emit replyArrived(arrived);
    // A bad digit ends the handling of this batch: nothing is announced, and an
    // armed watchdog later reports the reply that did not come.
    const DecodeResult decoded = DecodeReply(batch, decoded_);
    if (decoded.status == DecodeStatus::MalformedNumber)
        return;
    Measurement m = MakeMeasurement(decoded_, decoded, batch, arrived);
    m.rotation = control_.RotationMode;
    m.rotationDistanceHalf = control_.RotationMode && control_.RotationDistancePhase;

    // A subscriber may end this reply's handling, also from inside a nested
    // event loop that handles other replies meanwhile.
    bool skip = false;
    bool* const outer = skip_;
    skip_ = &skip;
    try {
        emit measured(m);
    } catch (...) {
        skip_ = outer;
        throw;
    }
    skip_ = outer;
    if (skip)
        return;

    // The re-arm step.
    if (!options_.watchdogWaitsForCompleteReply || m.complete)
        watchdog_.stop();
    if (!m.complete)
        return; // only a reply that ends like a frame answers the shot
    owed_.reset();
    if (lastShotSent_) {
        lastShotSent_ = false;
        if (!rotationRunning_)
            control_.RotationMode = false;
        emit runCompleted();
    }
    // Other runs go on: a count of 1 pressed beside a running run is a single
    // shot of its own.
    armRuns(arrived);
}

// Every running run's next shot and the watchdog for its reply, while the runs
// are re-armed at all.
void MeasurementSession::armRuns(Clock::time_point from) {
    if (!control_.ContinuousActive)
        return;
    if (distanceRun_.running) {
        armShotTimer(distanceTimer_, from);
        SwitchOn(watchdog_);
    }
    if (speedRun_.running) {
        armShotTimer(speedTimer_, from);
        SwitchOn(watchdog_);
    }
    if (rotationRunning_) {
        SwitchOn(rotationTimer_);
        SwitchOn(watchdog_);
    }
}

// A shot timer already on keeps its moment, as a running timer keeps its interval.
void MeasurementSession::armShotTimer(DeadlineTimer& timer, Clock::time_point from) {
    if (!timer.isActive())
        timer.start(from + shotPause_);
}

// The report may run a nested event loop (a message box): a second expiry
// meanwhile reports nothing more. The runs stop once it is told.
void MeasurementSession::watchdogExpired() {
    if (noReplyOpen_)
        return;
    {
        FlagScope scope(noReplyOpen_);
        emit noReply();
    }
    stopRun(); // and the reply it gave up on is owed no more
}

void MeasurementSession::suspend() {
    distanceTimer_.stop();
    speedTimer_.stop();
    rotationTimer_.stop();
    watchdog_.stop();
}

void MeasurementSession::resume() {
    if (owed_) {
        SwitchOn(watchdog_);
        write(*owed_);
        return;
    }
    watchdog_.stop();
    armRuns(Clock::now());
}

void MeasurementSession::reArmShotTimers() {
    const Clock::time_point now = Clock::now();
    if (distanceRun_.running)
        armShotTimer(distanceTimer_, now);
    if (speedRun_.running)
        armShotTimer(speedTimer_, now);
}

void MeasurementSession::setRotationPeriod(int ms) {
    rotationTimer_.setInterval(ms > 0 ? ms : 1);
}

} // namespace lrf
