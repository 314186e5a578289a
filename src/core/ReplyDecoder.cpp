#include "ReplyDecoder.h"

#include "Units.h"

namespace lrf {

// Filled in with the decoding steps.
DecodeResult DecodeReply(std::span<const std::uint8_t>, MeasurementState& state)
{
    state.LinearDistance = kNoDistance;
    state.SpeedValue = kNoSpeed;
    state.FrameUnit = 0;
    return {};
}

DecodeResult DecodeSelfTest(std::string_view, MeasurementState& state)
{
    state.LinearDistance = state.VerticalHeight = state.HorizontalDistance = 0.0;
    state.Inclination = 361.0;
    state.FrameUnit = 0;
    return {};
}

void ConvertForDisplay(MeasurementState&, const DisplayUnits&) {}

} // namespace lrf
