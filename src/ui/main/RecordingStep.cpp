#include "RecordingStep.h"

#include "Dialogs.h"

#include <QString>

namespace lrf {

RecordOutcome RecordReply(Recorder& recorder, const MainState& state, const FreeTexts& texts) {
    MeasurementInputs inputs;
    inputs.LinearDistance = state.measurement.LinearDistance;
    inputs.SpeedValue = state.measurement.SpeedValue;
    inputs.DistanceUnit = state.units.DistanceUnit;
    inputs.SpeedUnit = state.units.SpeedUnit;
    inputs.RotationMode = state.control.RotationMode;
    inputs.RotationDistancePhase = state.control.RotationDistancePhase;
    return recorder.Record(inputs, texts, LocalNow(), CurrentSeparators());
}

void ShowRecordLimit(QWidget* parent) {
    const std::string_view message = LoadStr(RecordLimitMessage);
    dialogs().showMessage(
        parent, QString::fromLatin1(RecordLimitCaption),
        QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void RecordSelfTest(Recorder& recorder, const SelfTestInputs& values, const FreeTexts& texts) {
    recorder.RecordSelfTest(values, texts, LocalNow(), CurrentSeparators());
}

} // namespace lrf
