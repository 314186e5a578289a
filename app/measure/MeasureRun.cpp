#include "MeasureRun.h"

#include "StringTable.h"

namespace lrf::measure {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

RunMode SessionRun(Mode mode) {
    switch (mode) {
    case Mode::Speed:
        return RunMode::Speed;
    case Mode::Rotation:
        return RunMode::Rotation;
    case Mode::Distance:
        break;
    }
    return RunMode::Distance;
}

} // namespace

MeasureRun::MeasureRun(Settings settings, LogSink& log, Separators separators, QObject* parent)
    : QObject(parent)
    , settings_(std::move(settings))
    , session_(SessionOptions{.watchdogWaitsForCompleteReply = true})
    , recorder_(log)
    , separators_(std::move(separators)) {
    session_.setRotationPeriod(settings_.rotationMs);
    connect(&session_, &MeasurementSession::measured, this, &MeasureRun::record);
    connect(&session_, &MeasurementSession::runCompleted, this, [this] { finish(kExitDone); });
    connect(&session_, &MeasurementSession::noReply, this,
            [this] { finish(kExitCommunication, FromUtf8(LoadStr(strCommunicationFailure))); });
    connect(&session_, &MeasurementSession::deviceGone, this, [this] {
        finish(kExitDeviceGone,
               QStringLiteral("The serial device is gone: the port has been closed."));
    });
    connect(&session_, &MeasurementSession::portFailed, this,
            [this](const QString& reason) { finish(kExitCommunication, reason); });
}

bool MeasureRun::Start(std::string& error) {
    if (std::optional<std::string> failed = session_.open(settings_.port, settings_.baudRate)) {
        error = *failed;
        return false;
    }
    recorder_.SetRecording(true); // recording on, as a run in the window switches it on
    const std::int64_t perRecord = settings_.mode == Mode::Rotation ? 2 : 1;
    session_.startRun(SessionRun(settings_.mode), perRecord * settings_.count);
    return true;
}

void MeasureRun::Stop(int exitCode) {
    finish(exitCode);
}

void MeasureRun::record(const Measurement& m) {
    if (finished_)
        return;
    if (outputGone_ && outputGone_()) {
        finish(kExitBrokenPipe);
        return;
    }
    emit measuring(m);
    const MeasurementInputs inputs = RecordInputs(m, DisplayUnits{});
    if (recorder_.Record(inputs, settings_.texts, LocalNow(), separators_) ==
        RecordOutcome::RefusedAtLimit) {
        finish(kExitOutputFailed, FromUtf8(LoadStr(RecordLimitMessage)));
        return;
    }
    ++records_;
    emit recorded(!(inputs.RotationMode && inputs.RotationDistancePhase));
}

void MeasureRun::finish(int exitCode, const QString& message) {
    if (finished_)
        return;
    finished_ = true;
    session_.close();
    emit finished(exitCode, message);
}

} // namespace lrf::measure
