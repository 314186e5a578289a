#include "MeasurementSession.h"

#include "CPort.h"
#include "LinkInfo.h"
#include "MainPort.h"

namespace lrf {

MeasurementSession::MeasurementSession(SessionOptions options, QObject* parent)
    : QObject(parent)
    , options_(options)
    , port_(std::make_unique<cport::TComPort>())
    , gathering_([this](std::span<const std::uint8_t> batch,
                        FrameGatherer::Clock::time_point at) { handle(batch, at); },
                 ReplyGathering::WaitingIn(*port_)) {
    rotationTimer_.setSingleShot(true);
    rotationTimer_.setTimerType(Qt::PreciseTimer);
    rotationTimer_.setInterval(kRotationPeriodMs);
    watchdog_.setSingleShot(true);
    watchdog_.setTimerType(Qt::PreciseTimer);
    watchdog_.setInterval(kWatchdogMs);
    connect(&shotTimer_, &DeadlineTimer::timeout, this, &MeasurementSession::sendShot);
    connect(&rotationTimer_, &QTimer::timeout, this, &MeasurementSession::sendShot);
    connect(&watchdog_, &QTimer::timeout, this, &MeasurementSession::watchdogExpired);
}

MeasurementSession::~MeasurementSession() {
    port_->OnRxChar = nullptr;
    port_->OnDeviceLost = nullptr;
    port_->ClosePort();
}

std::optional<std::string> MeasurementSession::open(const std::string& portName,
                                                    cport::TBaudRate rate) {
    ConfigureMainPort(*port_);
    port_->OnRxChar = [this](cport::TCustomComPort&, int count) { received(count); };
    // Told from the event loop, not inside the port's own dispatch.
    port_->OnDeviceLost = [this](cport::TCustomComPort&) {
        QMetaObject::invokeMethod(this, &MeasurementSession::deviceGone, Qt::QueuedConnection);
    };
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
    gathering_.setLink(cport::ReadLinkInfo(port_->Port()));
    gathering_.setLine(*port_);
    open_ = true;
    return std::nullopt;
}

void MeasurementSession::close() {
    ++epoch_;
    open_ = false;
    stopRun();
    owed_.reset();
    port_->OnRxChar = nullptr;
    port_->ClosePort();
}

bool MeasurementSession::isOpen() const {
    return port_->Connected();
}

void MeasurementSession::singleShot(Shot shot) {
    if (!watchdog_.isActive())
        watchdog_.start();
    write(shot);
}

void MeasurementSession::startRun(RunMode mode, std::int64_t shots) {
    if (mode == RunMode::None) {
        stopRun();
        return;
    }
    ++epoch_;
    run_ = mode;
    shots_ = shots > 0 ? shots : 0;
    sent_ = 0;
    counted_ = false;
    rotation_ = mode == RunMode::Rotation;
    distanceHalf_ = false;
    emit runChanged(mode);
    if (!watchdog_.isActive())
        watchdog_.start();
    if (rotation_)
        rotationTimer_.start(); // the first command one period from now
    else
        sendShot();
}

void MeasurementSession::stopRun() {
    ++epoch_;
    const bool wasRunning = run_ != RunMode::None;
    owed_.reset();
    counted_ = false;
    rotation_ = false;
    shotTimer_.stop();
    rotationTimer_.stop();
    watchdog_.stop();
    run_ = RunMode::None;
    if (wasRunning)
        emit runChanged(RunMode::None);
}

// The run's next shot; it is owed until its complete reply is handled, also
// when writing it failed.
void MeasurementSession::sendShot() {
    if (run_ == RunMode::None)
        return;
    Shot shot = run_ == RunMode::Speed ? Shot::Speed : Shot::Distance;
    if (run_ == RunMode::Rotation) {
        // Distance first, then speed, by turns; the phase tells the recording
        // which half of the pair a reply is.
        distanceHalf_ = !distanceHalf_;
        shot = distanceHalf_ ? Shot::Distance : Shot::Speed;
    }
    ++sent_;
    owed_ = shot;
    if (shots_ > 0 && sent_ >= shots_) {
        // The last shot: the run stops sending, its reply completes it.
        counted_ = true;
        run_ = RunMode::None;
        emit runChanged(RunMode::None);
    }
    write(shot);
}

void MeasurementSession::write(Shot shot) {
    const auto command = static_cast<std::uint8_t>(shot);
    try {
        port_->WriteBytes(&command, 1);
    } catch (const cport::EComPort& e) {
        // A vanished device reports itself through deviceGone().
        if (!cport::IsDeviceGone(e))
            emit portFailed(QString::fromUtf8(e.what()));
    }
}

void MeasurementSession::received(int count) {
    if (!open_)
        return;
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

void MeasurementSession::handle(std::span<const std::uint8_t> batch,
                                FrameGatherer::Clock::time_point arrived) {
    if (!open_)
        return; // a frame's beginning held when the port was closed
    // A bad digit ends the handling of this batch: nothing is announced, and an
    // armed watchdog later reports the reply that did not come.
    const DecodeResult decoded = DecodeReply(batch, decoded_);
    if (decoded.status == DecodeStatus::MalformedNumber)
        return;
    Measurement m = MakeMeasurement(decoded_, decoded, batch, arrived);
    m.rotation = rotation_;
    m.rotationDistanceHalf = rotation_ && distanceHalf_;
    const std::uint64_t epoch = epoch_;
    emit measured(m);
    if (epoch != epoch_)
        return; // a subscriber stopped the run or closed the port

    if (!options_.watchdogWaitsForCompleteReply || m.complete)
        watchdog_.stop();
    // Only a reply that ends like a frame answers the shot.
    if (!m.complete)
        return;
    owed_.reset();
    if (counted_) {
        counted_ = false;
        rotation_ = false;
        emit runCompleted();
        return;
    }
    armNext(arrived);
}

// The next shot of a running run, and the watchdog for its reply. A timer
// already on keeps its moment.
void MeasurementSession::armNext(FrameGatherer::Clock::time_point from) {
    if (run_ == RunMode::None)
        return;
    if (run_ == RunMode::Rotation) {
        if (!rotationTimer_.isActive())
            rotationTimer_.start();
    } else if (!shotTimer_.isActive()) {
        shotTimer_.start(from + shotPause_);
    }
    if (!watchdog_.isActive())
        watchdog_.start();
}

void MeasurementSession::watchdogExpired() {
    const std::uint64_t epoch = epoch_;
    emit noReply();
    if (epoch == epoch_)
        stopRun();
}

void MeasurementSession::suspend() {
    shotTimer_.stop();
    rotationTimer_.stop();
    watchdog_.stop();
}

void MeasurementSession::resume() {
    if (owed_) {
        watchdog_.start();
        write(*owed_);
        return;
    }
    armNext(FrameGatherer::Clock::now());
}

void MeasurementSession::setRotationPeriod(int ms) {
    rotationTimer_.setInterval(ms > 0 ? ms : 1);
}

} // namespace lrf
