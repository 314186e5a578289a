#include "MeasureRun.h"

#include "LinkInfo.h"
#include "MainPort.h"
#include "StringTable.h"

namespace lrf::measure {

namespace {

constexpr std::uint8_t kDistanceCommand = 0x0F;
constexpr std::uint8_t kSpeedCommand = 0x0D;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MeasureRun::MeasureRun(Settings settings, LogSink& log, Separators separators, QObject* parent)
    : QObject(parent)
    , settings_(std::move(settings))
    , recorder_(log)
    , separators_(std::move(separators))
    , gathering_([this](std::span<const std::uint8_t> batch,
                        std::chrono::steady_clock::time_point at) { handle(batch, at); },
                 ReplyGathering::WaitingIn(port_)) {
    rotationTimer_.setSingleShot(true);
    rotationTimer_.setTimerType(Qt::PreciseTimer);
    rotationTimer_.setInterval(settings_.rotationMs);
    watchdog_.setSingleShot(true);
    watchdog_.setTimerType(Qt::PreciseTimer);
    watchdog_.setInterval(kWatchdogMs);
    connect(&shotTimer_, &DeadlineTimer::timeout, this, &MeasureRun::sendShot);
    connect(&rotationTimer_, &QTimer::timeout, this, &MeasureRun::rotationTick);
    connect(&watchdog_, &QTimer::timeout, this,
            [this] { finish(kExitCommunication, FromUtf8(LoadStr(strCommunicationFailure))); });
    const std::int64_t perRecord = settings_.mode == Mode::Rotation ? 2 : 1;
    shots_ = perRecord * settings_.count;
}

MeasureRun::~MeasureRun() {
    port_.OnRxChar = nullptr;
    port_.OnDeviceLost = nullptr;
    port_.ClosePort();
}

bool MeasureRun::Start(std::string& error) {
    ConfigureMainPort(port_);
    port_.OnRxChar = [this](cport::TCustomComPort&, int count) { received(count); };
    port_.OnDeviceLost = [this](cport::TCustomComPort&) {
        // Ended from the event loop, not inside the port's own dispatch.
        QMetaObject::invokeMethod(
            this,
            [this] {
                finish(kExitDeviceGone,
                       QStringLiteral("The serial device is gone: the port has been closed."));
            },
            Qt::QueuedConnection);
    };
    try {
        port_.SetPort(settings_.port);
        port_.SetBaudRate(settings_.baudRate);
        port_.OpenPort();
    } catch (const cport::EComPort& e) {
        const std::string reason = cport::ComErrorReason(e);
        error = settings_.port + ": " + (reason.empty() ? "" : reason + "\n") + e.what();
        return false;
    } catch (const std::exception& e) {
        error = settings_.port + ": " + e.what();
        return false;
    }
    gathering_.setLink(cport::ReadLinkInfo(port_.Port()));
    gathering_.setLine(port_);
    recorder_.SetRecording(true); // recording on, as a run in the window switches it on

    watchdog_.start();
    if (settings_.mode == Mode::Rotation)
        rotationTimer_.start(); // the first command one period from now
    else
        sendShot();
    return true;
}

void MeasureRun::Stop(int exitCode) {
    finish(exitCode);
}

bool MeasureRun::allSent() const {
    return shots_ > 0 && sent_ >= shots_;
}

void MeasureRun::sendShot() {
    if (finished_)
        return;
    std::uint8_t command = settings_.mode == Mode::Speed ? kSpeedCommand : kDistanceCommand;
    if (settings_.mode == Mode::Rotation) {
        // Distance first, then speed, by turns; the phase tells the recording
        // step which half of the pair the reply is.
        rotationDistancePhase_ = !rotationDistancePhase_;
        command = rotationDistancePhase_ ? kDistanceCommand : kSpeedCommand;
    }
    ++sent_;
    try {
        port_.WriteBytes(&command, 1);
    } catch (const cport::EComPort& e) {
        // A vanished device reports itself through OnDeviceLost.
        if (!cport::IsDeviceGone(e))
            finish(kExitCommunication, QString::fromUtf8(e.what()));
    }
}

void MeasureRun::rotationTick() {
    sendShot();
}

void MeasureRun::received(int count) {
    if (finished_)
        return;
    std::string chunk;
    try {
        port_.ReadText(chunk, count);
    } catch (const cport::EComPort& e) {
        if (!cport::IsDeviceGone(e))
            finish(kExitCommunication, QString::fromUtf8(e.what()));
        return;
    }
    gathering_.receive({reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()},
                       port_.RxTime());
}

void MeasureRun::handle(std::span<const std::uint8_t> batch,
                        std::chrono::steady_clock::time_point arrived) {
    if (finished_)
        return;
    // A bad digit ends the handling of this batch: nothing is recorded and the
    // watchdog, still armed, reports the reply that did not come.
    const DecodeResult decoded = DecodeReply(batch, measurement_);
    if (decoded.status == DecodeStatus::MalformedNumber)
        return;
    ConvertForDisplay(measurement_, units_, decoded);

    MeasurementInputs inputs;
    inputs.LinearDistance = measurement_.LinearDistance;
    inputs.SpeedValue = measurement_.SpeedValue;
    inputs.DistanceUnit = units_.DistanceUnit;
    inputs.SpeedUnit = units_.SpeedUnit;
    inputs.RotationMode = settings_.mode == Mode::Rotation;
    inputs.RotationDistancePhase = rotationDistancePhase_;
    if (recorder_.Record(inputs, settings_.texts, LocalNow(), separators_) ==
        RecordOutcome::RefusedAtLimit) {
        finish(kExitOutputFailed, FromUtf8(LoadStr(RecordLimitMessage)));
        return;
    }
    ++records_;
    emit recorded(!(inputs.RotationMode && inputs.RotationDistancePhase));

    // Only a batch that ends like a frame answers the shot; after any other
    // the run waits for more, and the watchdog keeps counting.
    if (batch.empty() || batch.back() != 0xEE)
        return;
    watchdog_.stop();
    if (allSent()) {
        finish(kExitDone);
        return;
    }
    if (settings_.mode == Mode::Rotation) {
        if (!rotationTimer_.isActive())
            rotationTimer_.start();
    } else if (!shotTimer_.isActive()) {
        shotTimer_.start(arrived + kShotPause);
    }
    watchdog_.start();
}

void MeasureRun::finish(int exitCode, const QString& message) {
    if (finished_)
        return;
    finished_ = true;
    shotTimer_.stop();
    rotationTimer_.stop();
    watchdog_.stop();
    port_.OnRxChar = nullptr;
    port_.ClosePort();
    emit finished(exitCode, message);
}

} // namespace lrf::measure
