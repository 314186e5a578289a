#include "SelfTest.h"

#include "Units.h"

namespace lrf {

std::optional<SelfTestFrame> DecodeSelfTestEntry(std::string_view text, MainState& state) {
    MeasurementState& m = state.measurement;
    if (DecodeSelfTest(text, m).status == DecodeStatus::MalformedNumber)
        return std::nullopt;

    ConvertSelfTest(m, state.units.DistanceUnit, state.HeightUnit, state.HorizontalUnit);
    return SelfTestFrame{{m.LinearDistance, m.VerticalHeight, m.HorizontalDistance, m.Inclination},
                         SelfTestEndText(text) == "EE"};
}

} // namespace lrf
