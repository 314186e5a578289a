#include "SelfTest.h"

#include "Units.h"

namespace lrf {

bool RunSelfTest(std::string_view text, MainState& state, const SelfTestSteps& steps) {
    MeasurementState& m = state.measurement;
    if (DecodeSelfTest(text, m).status == DecodeStatus::MalformedNumber)
        return false;

    m.LinearDistance = ConvertUnit(m.FrameUnit, state.units.DistanceUnit, m.LinearDistance);
    m.VerticalHeight = ConvertUnit(m.FrameUnit, state.HeightUnit, m.VerticalHeight);
    m.HorizontalDistance = ConvertUnit(m.FrameUnit, state.HorizontalUnit, m.HorizontalDistance);
    steps.showDistance(state.units.DistanceUnit, m.LinearDistance);

    if (steps.recordingOn())
        steps.record({m.LinearDistance, m.VerticalHeight, m.HorizontalDistance, m.Inclination});

    // Characters 22 and 23 of a one-frame text are the end byte.
    if (text.size() >= 23 && text.substr(21, 2) == "EE")
        steps.reArmShotTimers();
    return true;
}

} // namespace lrf
