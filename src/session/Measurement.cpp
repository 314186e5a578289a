#include "Measurement.h"

namespace lrf {

Measurement MakeMeasurement(const MeasurementState& state, const DecodeResult& decoded,
                            std::span<const std::uint8_t> frame,
                            FrameGatherer::Clock::time_point arrived) {
    Measurement m;
    m.arrived = arrived;
    m.unit = static_cast<UnitCode>(state.FrameUnit);
    if (decoded.tookDistance)
        m.distance = state.LinearDistance;
    if (decoded.tookInclination) {
        m.inclination = state.Inclination;
        // With an angle the instrument's one distance gives the other two.
        if (decoded.tookDistance) {
            m.height = state.VerticalHeight;
            m.horizontal = state.HorizontalDistance;
        }
    }
    if (decoded.tookSpeed)
        m.speed = state.SpeedValue;
    m.frame.assign(frame.begin(), frame.end());
    m.complete = !frame.empty() && frame.back() == 0xEE;
    return m;
}

// Rebuilds the state the decoder leaves and converts it the one way the readouts
// and the records always have, so that the texts made from it stay the same.
MeasurementState InUnits(const Measurement& m, const DisplayUnits& units) {
    MeasurementState state;
    state.FrameUnit = m.unit;
    state.LinearDistance = m.distance.value_or(kNoDistance);
    state.SpeedValue = m.speed.value_or(kNoSpeed);
    state.Inclination = m.inclination.value_or(0.0);
    DecodeResult decoded;
    decoded.status = DecodeStatus::Decoded;
    decoded.tookDistance = m.distance.has_value();
    decoded.tookSpeed = m.speed.has_value();
    ConvertForDisplay(state, units, decoded);
    return state;
}

MeasurementInputs RecordInputs(const Measurement& m, const DisplayUnits& units) {
    const MeasurementState state = InUnits(m, units);
    MeasurementInputs inputs;
    inputs.LinearDistance = state.LinearDistance;
    inputs.SpeedValue = state.SpeedValue;
    inputs.DistanceUnit = units.DistanceUnit;
    inputs.SpeedUnit = units.SpeedUnit;
    inputs.RotationMode = m.rotation;
    inputs.RotationDistancePhase = m.rotationDistanceHalf;
    return inputs;
}

} // namespace lrf
