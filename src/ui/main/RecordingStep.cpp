#include "RecordingStep.h"

#include "Dialogs.h"
#include "LogActions.h"

#include <QString>

namespace lrf {

bool RecordReply(Recorder& recorder, const MainState& state, const FreeTexts& texts,
                 QWidget* parent) {
    MeasurementInputs inputs;
    inputs.LinearDistance = state.measurement.LinearDistance;
    inputs.SpeedValue = state.measurement.SpeedValue;
    inputs.DistanceUnit = state.units.DistanceUnit;
    inputs.SpeedUnit = state.units.SpeedUnit;
    inputs.RotationMode = state.control.RotationMode;
    inputs.RotationDistancePhase = state.control.RotationDistancePhase;
    if (recorder.Record(inputs, texts, LocalNow(), SystemSeparators()) !=
        RecordOutcome::RefusedAtLimit)
        return true;
    const std::string_view message = LoadStr(RecordLimitMessage);
    dialogs().showMessage(
        parent, QString::fromLatin1(RecordLimitCaption),
        QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
    return false;
}

void RecordSelfTest(Recorder& recorder, const SelfTestInputs& values, const FreeTexts& texts) {
    recorder.RecordSelfTest(values, texts, LocalNow(), SystemSeparators());
}

} // namespace lrf
