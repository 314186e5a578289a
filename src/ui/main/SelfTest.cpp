#include "SelfTest.h"

#include "Units.h"

namespace lrf {

bool RunSelfTest(std::string_view text, MainState& state, const SelfTestSteps& steps) {
    MeasurementState& m = state.measurement;
    if (DecodeSelfTest(text, m).status == DecodeStatus::MalformedNumber)
        return false;

    ConvertSelfTest(m, state.units.DistanceUnit, state.HeightUnit, state.HorizontalUnit);
    steps.showDistance(state.units.DistanceUnit, m.LinearDistance);

    if (steps.recordingOn())
        steps.record({m.LinearDistance, m.VerticalHeight, m.HorizontalDistance, m.Inclination});

    if (SelfTestEndText(text) == "EE")
        steps.reArmShotTimers();
    return true;
}

} // namespace lrf
