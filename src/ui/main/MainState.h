#pragma once

#include "ControlState.h"
#include "ReplyDecoder.h"

#include <cstdint>

namespace lrf {

// Everything the main window measures and controls, in one plain struct that the
// window owns and the tests can build and inspect.
struct MainState {
    MeasurementState measurement;
    DisplayUnits units;
    std::uint8_t HeightUnit = 0;
    std::uint8_t HorizontalUnit = 0;
    ControlState control;
};

} // namespace lrf
