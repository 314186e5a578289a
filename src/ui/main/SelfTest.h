#pragma once

#include "MainState.h"
#include "Recorder.h"

#include <functional>
#include <string_view>

namespace lrf {

// The hidden frame entry: one reply frame typed as hex text goes through
// decoding, conversion, the distance readout and the log, with no instrument.
// Unlike a received reply it records height, horizontal distance and angle.
struct SelfTestSteps {
    std::function<void(std::uint8_t unit, double value)> showDistance;
    std::function<void(const SelfTestInputs& values)> record; // runs only while recording
    std::function<bool()> recordingOn;
    // Re-arms the shot timer of a running continuous distance or speed run.
    std::function<void()> reArmShotTimers;
};

// btnTestClick. Returns false when a bad digit ended it before anything was
// shown or recorded.
bool RunSelfTest(std::string_view text, MainState& state, const SelfTestSteps& steps);

} // namespace lrf
